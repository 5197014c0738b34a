#include "Audio/Viz/CAudioVizDataVScope.h"

namespace qel {

CError* CAudioVizDataVScope::write(COutputStream& stream) const {
    QEL_CHECK(CAudioVizData::write(stream));
    QEL_CHECK(writeArray(stream, trace));
    QEL_CHECK(writeArray(stream, markers));
    return nullptr;
}

CError* CAudioVizDataVScope::read(CInputStream& stream) {
    QEL_CHECK(CAudioVizData::read(stream));
    QEL_CHECK(readArray(stream, trace));
    QEL_CHECK(readArray(stream, markers));
    return nullptr;
}

} // namespace qel
