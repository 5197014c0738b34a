#pragma once

#include <cstdint>
#include <memory>

#include "Core/CCheckedObject.h"
#include "Core/CString.h"

struct z_stream_s;

namespace qel {

// zlib state shared by the inflating and deflating streams, with the framework allocator installed.
class CZipStream : public virtual CCheckedObject {
public:
    static constexpr uint32_t kBufferSize = 32768;

protected:
    CZipStream();
    ~CZipStream() override;

    void resetState();
    // zlib's own message for the last call, empty when it gave none.
    CString zlibMessage() const;

    z_stream_s* m_zs;
    std::unique_ptr<uint8_t[]> m_buffer;
    bool m_active = false;
};

} // namespace qel
