#pragma once

#include "Core/CFileBase.h"
#include "Core/COutputStream.h"

namespace qel {

class CFileWriter : public CPosOutputStream, public CFileBase {
public:
    // "*" writes standard output, "*e" standard error. Appending keeps the contents and writes at the end.
    CError* open(const CString& path, bool append = false);

    CError* write(const void* buffer, uint32_t count) override;
};

} // namespace qel
