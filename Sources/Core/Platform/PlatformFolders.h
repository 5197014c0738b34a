#pragma once

#include "Core/CString.h"

namespace qel::platform {

// Per-user application data folder; empty when it cannot be determined.
CString userDataFolder();
// Why userDataFolder() is empty, in a few words for the debug log.
CString userDataFolderMissingReason();
// Folder shared by all users.
CString commonDataFolder();
// Folder holding the library (or program) this code was linked into.
CString libraryFolder();
// Creates one directory level; 0, or the system error code (an existing directory is not an error).
int createDirectory(const CString& path);
bool pathExists(const CString& path);
bool isDirectory(const CString& path);

} // namespace qel::platform
