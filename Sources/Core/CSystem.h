#pragma once

#include "Core/CError.h"
#include "Core/CString.h"

namespace qel {

// Folder services. Every path handed out uses "/" as separator, on every platform.
class CSystem {
public:
    CSystem() = delete;

    // The per-user application data folder; empty when it cannot be determined.
    static CString userAppDataFolder();
    // The application data folder shared by all users.
    static CString commonAppDataFolder();
    // The folder holding the library this code is linked into.
    static CString libraryFolder();

    // Creates every missing directory level of path ("/" or "\\" separated).
    static CError* createDirectories(const CString& path);
    static bool isDirectory(const CString& path);
};

} // namespace qel
