#include "Audio/Viz/CAudioVizData.h"

#include "Audio/Viz/CAudioVizDataInfo.h"
#include "Audio/Viz/CAudioVizDataMeter.h"
#include "Audio/Viz/CAudioVizDataRGB.h"
#include "Audio/Viz/CAudioVizDataSpectrum.h"
#include "Audio/Viz/CAudioVizDataVScope.h"
#include "Core/CPosStream.h"

namespace qel {

CError* CAudioVizData::write(COutputStream& stream) const {
    QEL_CHECK(stream.writeValue(source));
    QEL_CHECK(stream.writeValue(kind));
    QEL_CHECK(stream.writeValue(sequence));
    QEL_CHECK(stream.writeValue(time));
    QEL_CHECK(stream.writeValue(frames));
    return nullptr;
}

CError* CAudioVizData::read(CInputStream& stream) {
    QEL_CHECK(stream.readValue(source));
    QEL_CHECK(stream.readValue(kind));
    QEL_CHECK(stream.readValue(sequence));
    QEL_CHECK(stream.readValue(time));
    QEL_CHECK(stream.readValue(frames));
    return nullptr;
}

std::unique_ptr<CAudioVizData> CAudioVizData::create(int32_t type) {
    switch (type) {
    case Meter:
        return std::make_unique<CAudioVizDataMeter>();
    case Info:
        return std::make_unique<CAudioVizDataInfo>();
    case Spectrum:
        return std::make_unique<CAudioVizDataSpectrum>();
    case VScope:
        return std::make_unique<CAudioVizDataVScope>();
    case RGB:
        return std::make_unique<CAudioVizDataRGB>();
    default:
        return nullptr;
    }
}

CError* CAudioVizData::readCount(CInputStream& stream, uint32_t elementSize, int32_t& count) {
    QEL_CHECK(stream.readValue(count));
    if (count < 0)
        return QEL_ERROR({}, "@qelstr_CAudioVizData_readCount_Negative Invalid value count %1.", count);
    if (auto* positioned = dynamic_cast<CPosStream*>(&stream)) {
        uint64_t position = 0;
        uint64_t size = 0;
        QEL_CHECK(positioned->getPosition(position));
        QEL_CHECK(positioned->getSize(size));
        const uint64_t left = size > position ? size - position : 0;
        if (uint64_t(count) * elementSize > left)
            return QEL_ERROR({},
                             "@qelstr_CAudioVizData_readCount_TooLarge Value count %1 exceeds the %2 bytes "
                             "left in the stream.",
                             count, left);
    }
    return nullptr;
}

} // namespace qel
