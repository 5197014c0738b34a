#pragma once

#include "Core/COutputStream.h"
#include "Core/CZipStream.h"

namespace qel {

// Deflates into a target stream it does not own; close finishes the zlib stream.
class COutputZipStream : public COutputStream, public CZipStream {
public:
    ~COutputZipStream() override;

    CError* open(COutputStream* target, int level);
    CError* write(const void* buffer, uint32_t count) override;
    CError* close();

private:
    CError* flushBuffer(uint32_t count);

    COutputStream* m_target = nullptr;
};

} // namespace qel
