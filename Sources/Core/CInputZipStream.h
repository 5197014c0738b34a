#pragma once

#include "Core/CInputStream.h"
#include "Core/CZipStream.h"

namespace qel {

// Inflates a zlib stream read from a source stream it does not own.
class CInputZipStream : public CInputStream, public CZipStream {
public:
    ~CInputZipStream() override;

    CError* open(CInputStream* source);
    CError* read(void* buffer, uint32_t count) override;
    CError* close();

    // Consumes the rest of the zlib stream (its trailer) when no more output follows, and returns how
    // many bytes were taken from the source beyond the end of the zlib stream.
    uint32_t finish();

private:
    CError* refill();

    CInputStream* m_source = nullptr;
    bool m_endOfInput = false;
};

} // namespace qel
