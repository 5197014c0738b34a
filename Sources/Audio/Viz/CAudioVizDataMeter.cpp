#include "Audio/Viz/CAudioVizDataMeter.h"

namespace qel {

CError* CAudioVizDataMeter::write(COutputStream& stream) const {
    QEL_CHECK(CAudioVizData::write(stream));
    QEL_CHECK(stream.writeValue(peak));
    QEL_CHECK(stream.writeValue(rms));
    return nullptr;
}

CError* CAudioVizDataMeter::read(CInputStream& stream) {
    QEL_CHECK(CAudioVizData::read(stream));
    QEL_CHECK(stream.readValue(peak));
    QEL_CHECK(stream.readValue(rms));
    return nullptr;
}

} // namespace qel
