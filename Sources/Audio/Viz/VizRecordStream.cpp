#include "Audio/Viz/VizRecordStream.h"

#include <limits>

#include "Core/CInputStream.h"

namespace qel {

namespace {

// Counts what a record writes, so that its size goes in front without building it twice in memory.
class CByteCounter : public COutputStream {
public:
    CError* write(const void*, uint32_t count) override {
        m_count += count;
        return nullptr;
    }
    uint64_t count() const { return m_count; }

private:
    uint64_t m_count = 0;
};

// The declared bytes of one record as a stream of their own: the record cannot read past them, and
// its counts are checked against what is left of them.
class CRecordView : public CPosInputStream {
public:
    CRecordView(CInputStream& outer, int32_t type, int32_t size)
        : m_outer(outer), m_type(type), m_size(size) {}

    CError* read(void* buffer, uint32_t count) override {
        if (uint64_t(m_position) + count > uint64_t(m_size))
            return QEL_ERROR({},
                             "@qelstr_qelVizReadRecord_Overrun Record of type %1 reads beyond its size of %2 "
                             "bytes.",
                             m_type, m_size);
        QEL_CHECK(m_outer.read(buffer, count));
        m_position += int32_t(count);
        return nullptr;
    }
    CError* getPosition(uint64_t& position) override {
        position = uint64_t(m_position);
        return nullptr;
    }
    CError* setPosition(uint64_t) override {
        return QEL_ERROR({}, "@qelstr_qelVizReadRecord_Seek Records are read in order.");
    }
    CError* getSize(uint64_t& size) override {
        size = uint64_t(m_size);
        return nullptr;
    }
    int32_t position() const { return m_position; }

private:
    CInputStream& m_outer;
    int32_t m_type;
    int32_t m_size;
    int32_t m_position = 0;
};

} // namespace

CError* qelVizWriteRecord(COutputStream& stream, const CAudioVizData& record) {
    CByteCounter counter;
    QEL_CHECK(record.write(counter));
    if (counter.count() > uint64_t(std::numeric_limits<int32_t>::max()))
        return QEL_ERROR({}, "@qelstr_qelVizWriteRecord_TooLarge Record of type %1 is too large (%2 bytes).",
                         record.type(), counter.count());
    QEL_CHECK(stream.writeValue(record.type()));
    QEL_CHECK(stream.writeValue(int32_t(counter.count())));
    QEL_CHECK(record.write(stream));
    return nullptr;
}

CError* qelVizReadRecord(CInputStream& stream, std::unique_ptr<CAudioVizData>& record) {
    record.reset();
    int32_t type = 0;
    int32_t size = 0;
    QEL_CHECK(stream.readValue(type));
    QEL_CHECK(stream.readValue(size));
    if (size < 0)
        return QEL_ERROR({}, "@qelstr_qelVizReadRecord_NegativeSize Invalid size %1 of a record of type %2.",
                         size, type);
    std::unique_ptr<CAudioVizData> made = CAudioVizData::create(type);
    if (!made) {
        QEL_CHECK(stream.skip(size));
        return nullptr;
    }
    CRecordView view(stream, type, size);
    QEL_CHECK(made->read(view));
    if (view.position() != size)
        return QEL_ERROR(
            {},
            "@qelstr_qelVizReadRecord_SizeMismatch Record of type %1 declares %2 bytes but holds "
            "%3.",
            type, size, view.position());
    record = std::move(made);
    return nullptr;
}

} // namespace qel
