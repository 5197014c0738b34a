#include "Core/Platform/PlatformFolders.h"

#include <cerrno>
#include <dlfcn.h>
#include <sys/stat.h>

#include "Core/Platform/PlatformSystem.h"

namespace qel::platform {

CString userDataFolder() {
    CString folder = environmentVariable("XDG_CONFIG_HOME");
    if (!folder.isEmpty()) return folder;
    CString home = environmentVariable("HOME");
    return home.isEmpty() ? CString() : home + "/.config";
}

CString userDataFolderMissingReason() {
    return "neither XDG_CONFIG_HOME nor HOME is set";
}

CString commonDataFolder() {
    std::vector<CString> dirs = environmentVariable("XDG_CONFIG_DIRS").split(':');
    return dirs.empty() ? CString("/etc/xdg") : dirs.front();
}

CString libraryFolder() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&libraryFolder), &info) || !info.dli_fname) return CString();
    CString path = CString::fromUtf8(info.dli_fname);
    size_t slash = path.rfind('/');
    return slash == CString::npos ? CString(".") : path.substr(0, slash);
}

int createDirectory(const CString& path) {
    if (::mkdir(path.toUtf8().c_str(), 0755) == 0) return 0;
    int error = errno;
    return error == EEXIST && isDirectory(path) ? 0 : error;
}

bool pathExists(const CString& path) {
    struct stat info;
    return ::stat(path.toUtf8().c_str(), &info) == 0;
}

bool isDirectory(const CString& path) {
    struct stat info;
    return ::stat(path.toUtf8().c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace qel::platform
