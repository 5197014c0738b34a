#pragma once

#include <cstdint>

#include "Core/CString.h"

namespace qel {

// A file handle with the handful of operations the streams need. Every call returns 0 or the
// system error code, so that callers can put it into their own messages.
class CPlatformFile {
public:
    enum class Standard { Input, Output, Error };

    CPlatformFile() = default;
    CPlatformFile(const CPlatformFile&) = delete;
    CPlatformFile& operator=(const CPlatformFile&) = delete;
    ~CPlatformFile();

    // Existing file for reading; with readWrite also writable and created when missing.
    int openRead(const CString& path, bool readWrite);
    // File for writing: appending keeps the contents and creates it when missing, otherwise truncates.
    int openWrite(const CString& path, bool append);
    void attachStandard(Standard which);

    bool isOpen() const { return m_fd >= 0; }
    bool isStandard() const { return m_standard; }

    int read(void* buffer, uint32_t count, uint32_t& done);
    int write(const void* buffer, uint32_t count, uint32_t& done);
    int seekAbsolute(uint64_t position);
    int seekRelative(int64_t offset);
    int seekEnd();
    int position(uint64_t& position);
    int size(uint64_t& size);
    int close();

private:
    int m_fd = -1;
    bool m_standard = false;
};

} // namespace qel
