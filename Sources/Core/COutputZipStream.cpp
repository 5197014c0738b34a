#include "Core/COutputZipStream.h"

#include <zlib.h>

namespace qel {

COutputZipStream::~COutputZipStream() {
    if (m_active) {
        m_active = false;
        deflateEnd(m_zs);
    }
}

CError* COutputZipStream::open(COutputStream* target, int level) {
    if (m_active) deflateEnd(m_zs);
    m_active = false;
    resetState();
    m_target = target;
    int result = deflateInit_(m_zs, level, "1.2.8", int(sizeof(z_stream)));
    if (result != Z_OK)
        return QEL_ERROR({}, "@qelstr_COutputZipStream_open_deflateInit zlib deflateInit error %1 (%2).",
                         result, zlibMessage());
    m_active = true;
    m_zs->next_out = m_buffer.get();
    m_zs->avail_out = kBufferSize;
    return nullptr;
}

CError* COutputZipStream::flushBuffer(uint32_t count) {
    QEL_CHECK(m_target->write(m_buffer.get(), count));
    m_zs->next_out = m_buffer.get();
    m_zs->avail_out = kBufferSize;
    return nullptr;
}

CError* COutputZipStream::write(const void* buffer, uint32_t count) {
    if (!m_target || !m_active)
        return QEL_ERROR({}, "@qelstr_COutputZipStream_write_NoStream Output stream not specified.");
    m_zs->next_in = static_cast<Bytef*>(const_cast<void*>(buffer));
    m_zs->avail_in = count;
    while (m_zs->avail_in > 0) {
        int result = deflate(m_zs, Z_NO_FLUSH);
        if (result != Z_OK)
            return QEL_ERROR({}, "@qelstr_COutputZipStream_write_deflate zlib deflate error %1 (%2).", result,
                             zlibMessage());
        if (m_zs->avail_out == 0) QEL_CHECK(flushBuffer(kBufferSize));
    }
    return nullptr;
}

CError* COutputZipStream::close() {
    if (!m_active) return nullptr;
    CError* error = nullptr;
    if (m_target) {
        for (;;) {
            int result = deflate(m_zs, Z_FINISH);
            if (result != Z_OK && result != Z_STREAM_END &&
                !(result == Z_BUF_ERROR && m_zs->avail_out == 0)) {
                error = QEL_ERROR({}, "@qelstr_COutputZipStream_close_deflate zlib deflate error %1 (%2).",
                                  result, zlibMessage());
                break;
            }
            if (result == Z_STREAM_END) {
                error = flushBuffer(kBufferSize - m_zs->avail_out);
                break;
            }
            if (m_zs->avail_out == 0) {
                if ((error = flushBuffer(kBufferSize))) break;
            }
        }
    }
    m_active = false;
    m_target = nullptr;
    int result = deflateEnd(m_zs);
    if (!error && result != Z_OK && result != Z_DATA_ERROR)
        error = QEL_ERROR({}, "@qelstr_COutputZipStream_close_deflateEnd zlib deflateEnd error %1 (%2).",
                          result, zlibMessage());
    return error ? QEL_PASS(error) : nullptr;
}

} // namespace qel
