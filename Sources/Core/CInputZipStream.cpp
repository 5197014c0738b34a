#include "Core/CInputZipStream.h"

#include <zlib.h>

namespace qel {

CInputZipStream::~CInputZipStream() {
    qelErrLog(close());
}

CError* CInputZipStream::open(CInputStream* source) {
    qelErrRelease(close());
    resetState();
    m_source = source;
    m_endOfInput = false;
    int result = inflateInit_(m_zs, "1.2.8", int(sizeof(z_stream)));
    if (result != Z_OK)
        return QEL_ERROR({}, "@qelstr_CInputZipStream_open_inflateInit zlib inflateInit error %1 (%2).",
                         result, zlibMessage());
    m_active = true;
    return nullptr;
}

CError* CInputZipStream::refill() {
    uint32_t count = kBufferSize;
    QEL_CHECK(m_source->readStreamed(m_buffer.get(), count));
    if (count == 0) {
        m_endOfInput = true;
        return QEL_ERROR({}, "@qelstr_CInputZipStream_read_EOF Premature end of file.");
    }
    m_zs->next_in = m_buffer.get();
    m_zs->avail_in = count;
    return nullptr;
}

CError* CInputZipStream::read(void* buffer, uint32_t count) {
    if (!m_source) return QEL_ERROR({}, "@qelstr_CInputZipStream_read_NoStream Input stream not specified.");
    m_zs->next_out = static_cast<Bytef*>(buffer);
    m_zs->avail_out = count;
    while (m_zs->avail_out > 0) {
        if (m_zs->avail_in == 0) QEL_CHECK(refill());
        int result = inflate(m_zs, Z_SYNC_FLUSH);
        if (result != Z_OK && result != Z_STREAM_END)
            return QEL_ERROR({}, "@qelstr_CInputZipStream_read_inflate zlib inflate error %1 (%2).", result,
                             zlibMessage());
        // A finished stream produces nothing more; asking for more is reading past its end.
        if (result == Z_STREAM_END && m_zs->avail_out > 0)
            return QEL_ERROR({}, "@qelstr_CInputZipStream_read_EOF Premature end of file.");
    }
    return nullptr;
}

uint32_t CInputZipStream::finish() {
    if (!m_active || !m_source) return 0;
    uint8_t probe[1];
    for (;;) {
        if (m_zs->avail_in == 0) {
            uint32_t count = kBufferSize;
            CError* error = m_source->readStreamed(m_buffer.get(), count);
            if (error || count == 0) {
                qelErrRelease(error);
                return 0;
            }
            m_zs->next_in = m_buffer.get();
            m_zs->avail_in = count;
        }
        m_zs->next_out = probe;
        m_zs->avail_out = sizeof(probe);
        uInt before = m_zs->avail_in;
        int result = inflate(m_zs, Z_SYNC_FLUSH);
        if (result == Z_STREAM_END) return m_zs->avail_in;
        // More output, an error or no progress: the stream does not end here.
        if (result != Z_OK || m_zs->avail_out == 0 || m_zs->avail_in == before) return 0;
    }
}

CError* CInputZipStream::close() {
    if (!m_active) return nullptr;
    m_active = false;
    m_source = nullptr;
    int result = inflateEnd(m_zs);
    if (result != Z_OK)
        return QEL_ERROR({}, "@qelstr_CInputZipStream_close_inflateEnd zlib inflateEnd error %1 (%2).",
                         result, zlibMessage());
    return nullptr;
}

} // namespace qel
