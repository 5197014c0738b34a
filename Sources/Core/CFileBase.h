#pragma once

#include "Core/CPosStream.h"
#include "Core/Platform/CPlatformFile.h"

namespace qel {

// What file readers and writers share: the handle, the name for messages and the positioned operations.
class CFileBase : public virtual CPosStream {
public:
    ~CFileBase() override;

    CError* getPosition(uint64_t& position) override;
    CError* setPosition(uint64_t position) override;
    CError* getSize(uint64_t& size) override;
    CError* close();

    bool isOpen() const { return m_file.isOpen(); }
    const CString& fileName() const { return m_fileName; }

protected:
    // The stored name uses "/" for every backslash of the given path.
    void setFileName(const CString& path);

    CPlatformFile m_file;
    CString m_fileName;
};

} // namespace qel
