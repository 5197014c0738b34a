#include "Core/CPosStream.h"

namespace qel {

CError* CPosStream::getPositionInt32(int32_t& position) {
    uint64_t value = 0;
    QEL_CHECK(getPosition(value));
    if (value >= (uint64_t(1) << 31))
        return QEL_ERROR(
            {},
            "@qelstr_CPosStream_getPositionInt32_Greater2GB The size of the stream is above allowed 2 GB.");
    position = int32_t(value);
    return nullptr;
}

CError* CPosStream::getSizeInt(int32_t& size) {
    uint64_t value = 0;
    QEL_CHECK(getSize(value));
    if (value >= (uint64_t(1) << 31))
        return QEL_ERROR(
            {}, "@qelstr_CPosStream_getSizeInt_Greater2GB The size of the stream is above allowed 2 GB.");
    size = int32_t(value);
    return nullptr;
}

} // namespace qel
