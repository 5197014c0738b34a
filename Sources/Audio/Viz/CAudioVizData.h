#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "Core/CCheckedObject.h"
#include "Core/CError.h"
#include "Core/CInputStream.h"
#include "Core/COutputStream.h"

namespace qel {

// One record of display data sent from the audio side to the user interface. Every record starts
// with the same header; what its fields mean is up to the producer and the view that shows it (the
// level meters: see CAudioVizCollector).
class CAudioVizData : public CCheckedObject {
public:
    enum Type : int32_t { Meter = 0, Info = 1, Spectrum = 3, VScope = 4, RGB = 5 };

    ~CAudioVizData() override = default;
    // Header and payload; the record stream writes type and size in front.
    virtual CError* write(COutputStream& stream) const;
    virtual CError* read(CInputStream& stream);

    int32_t type() const { return m_type; }
    // An empty record of the type; null for the undefined types.
    static std::unique_ptr<CAudioVizData> create(int32_t type);

    int32_t source = 0;
    int32_t kind = 0;
    int32_t sequence = 0;
    double time = 0;
    int32_t frames = 0;

protected:
    explicit CAudioVizData(int32_t type) : m_type(type) {}

    // A count followed by that many values. Counts beyond what the stream still holds fail before
    // anything is allocated, so a forged count cannot claim gigabytes.
    template <class T>
    static CError* writeArray(COutputStream& stream, const std::vector<T>& values);
    template <class T>
    static CError* readArray(CInputStream& stream, std::vector<T>& values);

private:
    static CError* readCount(CInputStream& stream, uint32_t elementSize, int32_t& count);

    int32_t m_type;
};

template <class T>
CError* CAudioVizData::writeArray(COutputStream& stream, const std::vector<T>& values) {
    QEL_CHECK(stream.writeValue(int32_t(values.size())));
    if (!values.empty()) QEL_CHECK(stream.write(values.data(), uint32_t(values.size() * sizeof(T))));
    return nullptr;
}

template <class T>
CError* CAudioVizData::readArray(CInputStream& stream, std::vector<T>& values) {
    int32_t count = 0;
    QEL_CHECK(readCount(stream, sizeof(T), count));
    // Streams without a size cannot prove the count: grow only as the values arrive.
    constexpr int32_t kStep = 4096;
    values.clear();
    while (int32_t(values.size()) < count) {
        const size_t done = values.size();
        const size_t step = size_t(std::min(kStep, count - int32_t(done)));
        values.resize(done + step);
        QEL_CHECK(stream.read(values.data() + done, uint32_t(step * sizeof(T))));
    }
    return nullptr;
}

} // namespace qel
