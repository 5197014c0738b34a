#include "Audio/CAudioParamDataItemRaw.h"

#include <algorithm>

namespace qel {

namespace {

// A forged length must not allocate more than the stream proves to hold.
constexpr uint32_t kReadStep = 1u << 16;

} // namespace

std::unique_ptr<CAudioParamDataItem> CAudioParamDataItemRaw::clone() const {
    return std::make_unique<CAudioParamDataItemRaw>(m_bytes);
}

CError* CAudioParamDataItemRaw::save(COutputStream& stream) const {
    QEL_CHECK(stream.writeValue(int32_t(m_bytes.size())));
    if (!m_bytes.empty()) QEL_CHECK(stream.write(m_bytes.data(), uint32_t(m_bytes.size())));
    return nullptr;
}

CError* CAudioParamDataItemRaw::load(CInputStream& stream) {
    m_bytes.clear();
    int32_t length = 0;
    QEL_CHECK(stream.readValue(length));
    if (length < 0)
        return QEL_ERROR({}, "@qelstr_CAudioParamDataItemRaw_load_LengthError Invalid raw data length %1.",
                         length);
    while (m_bytes.size() < size_t(length)) {
        size_t done = m_bytes.size();
        uint32_t step = std::min<uint32_t>(kReadStep, uint32_t(size_t(length) - done));
        m_bytes.resize(done + step);
        QEL_CHECK(stream.read(m_bytes.data() + done, step));
    }
    return nullptr;
}

} // namespace qel
