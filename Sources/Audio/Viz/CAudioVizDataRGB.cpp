#include "Audio/Viz/CAudioVizDataRGB.h"

namespace qel {

CError* CAudioVizDataRGB::write(COutputStream& stream) const {
    QEL_CHECK(CAudioVizData::write(stream));
    QEL_CHECK(stream.writeValue(red));
    QEL_CHECK(stream.writeValue(green));
    QEL_CHECK(stream.writeValue(blue));
    return nullptr;
}

CError* CAudioVizDataRGB::read(CInputStream& stream) {
    QEL_CHECK(CAudioVizData::read(stream));
    QEL_CHECK(stream.readValue(red));
    QEL_CHECK(stream.readValue(green));
    QEL_CHECK(stream.readValue(blue));
    return nullptr;
}

} // namespace qel
