#include "Audio/Params/CAudioParamDataItemString.h"

namespace qel {

std::unique_ptr<CAudioParamDataItem> CAudioParamDataItemString::clone() const {
    return std::make_unique<CAudioParamDataItemString>(m_text);
}

CError* CAudioParamDataItemString::save(COutputStream& stream) const {
    QEL_CHECK(stream.writeString(m_text));
    return nullptr;
}

CError* CAudioParamDataItemString::load(CInputStream& stream) {
    QEL_CHECK(stream.readString(m_text));
    return nullptr;
}

} // namespace qel
