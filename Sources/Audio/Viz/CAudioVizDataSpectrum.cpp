#include "Audio/Viz/CAudioVizDataSpectrum.h"

namespace qel {

CError* CAudioVizDataSpectrum::write(COutputStream& stream) const {
    QEL_CHECK(CAudioVizData::write(stream));
    QEL_CHECK(writeArray(stream, magnitudes));
    QEL_CHECK(stream.writeValue(binWidth));
    QEL_CHECK(stream.writeValue(firstBin));
    QEL_CHECK(stream.writeValue(fftSize));
    QEL_CHECK(stream.writeValue(floorDb));
    QEL_CHECK(stream.writeValue(flags));
    return nullptr;
}

CError* CAudioVizDataSpectrum::read(CInputStream& stream) {
    QEL_CHECK(CAudioVizData::read(stream));
    QEL_CHECK(readArray(stream, magnitudes));
    QEL_CHECK(stream.readValue(binWidth));
    QEL_CHECK(stream.readValue(firstBin));
    QEL_CHECK(stream.readValue(fftSize));
    QEL_CHECK(stream.readValue(floorDb));
    QEL_CHECK(stream.readValue(flags));
    return nullptr;
}

} // namespace qel
