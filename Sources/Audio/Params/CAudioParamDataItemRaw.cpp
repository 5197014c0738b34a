#include "Audio/Params/CAudioParamDataItemRaw.h"

namespace qel {

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
    return stream.readBytes(m_bytes, uint32_t(length));
}

} // namespace qel
