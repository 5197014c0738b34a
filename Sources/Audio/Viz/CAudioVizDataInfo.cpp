#include "Audio/Viz/CAudioVizDataInfo.h"

namespace qel {

CError* CAudioVizDataInfo::write(COutputStream& stream) const {
    QEL_CHECK(CAudioVizData::write(stream));
    QEL_CHECK(stream.writeString(text));
    QEL_CHECK(stream.writeValue(value));
    return nullptr;
}

CError* CAudioVizDataInfo::read(CInputStream& stream) {
    QEL_CHECK(CAudioVizData::read(stream));
    QEL_CHECK(stream.readString(text));
    QEL_CHECK(stream.readValue(value));
    return nullptr;
}

} // namespace qel
