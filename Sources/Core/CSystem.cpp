#include "Core/CSystem.h"

#include "Core/Platform/PlatformFolders.h"

namespace qel {

namespace {

CString forwardSlashes(const CString& path) {
    CString result;
    result.reserve(path.length());
    if (path.isWide()) result.widen();
    for (size_t i = 0; i < path.length(); ++i) {
        uint32_t c = path.at(i);
        result.appendChar(c == '\\' ? '/' : c);
    }
    return result;
}

} // namespace

CString CSystem::userAppDataFolder() {
    return forwardSlashes(platform::userDataFolder());
}

CString CSystem::commonAppDataFolder() {
    return forwardSlashes(platform::commonDataFolder());
}

CString CSystem::libraryFolder() {
    return forwardSlashes(platform::libraryFolder());
}

CError* CSystem::createDirectories(const CString& path) {
    const CString normal = forwardSlashes(path);
    // Each prefix ending before a separator is one level; the leading root level is skipped.
    for (size_t end = 1; end <= normal.length(); ++end) {
        if (end < normal.length() && normal.at(end) != '/') continue;
        if (normal.at(end - 1) == '/') continue;
        CString level = normal.substr(0, end);
        if (platform::isDirectory(level)) continue;
        if (int code = platform::createDirectory(level))
            return QEL_ERROR(
                CString(),
                "@qelstr_CSystem_createDirectories_CreateError Unable to create directory '%1' (error %2).",
                level, code);
    }
    return nullptr;
}

bool CSystem::isDirectory(const CString& path) {
    return platform::isDirectory(path);
}

} // namespace qel
