#include "Core/CZipStream.h"

#include <cstring>
#include <zlib.h>

#include "Core/CQelMemAllocator.h"

namespace qel {

namespace {

voidpf zlibAllocate(voidpf, uInt items, uInt size) {
    return CQelMemAllocator::allocate(size_t(items) * size);
}

void zlibRelease(voidpf, voidpf block) {
    CQelMemAllocator::release(block);
}

} // namespace

CZipStream::CZipStream() : m_zs(new z_stream), m_buffer(new uint8_t[kBufferSize]) {
    resetState();
}

CZipStream::~CZipStream() {
    delete m_zs;
}

void CZipStream::resetState() {
    std::memset(m_zs, 0, sizeof(z_stream));
    m_zs->zalloc = zlibAllocate;
    m_zs->zfree = zlibRelease;
}

CString CZipStream::zlibMessage() const {
    return m_zs->msg ? CString(m_zs->msg) : CString();
}

} // namespace qel
