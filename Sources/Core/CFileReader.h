#pragma once

#include "Core/CFileBase.h"
#include "Core/CInputStream.h"

namespace qel {

class CFileReader : public CPosInputStream, public CFileBase {
public:
    // "*" reads standard input. With readWrite the file is also writable and created when missing.
    CError* open(const CString& path, bool readWrite = false);

    CError* skip(int32_t count) override;
    CError* read(void* buffer, uint32_t count) override;
    CError* readStreamed(void* buffer, uint32_t& count) override;
};

} // namespace qel
