#include "Core/Platform/CPlatformFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qel {

CPlatformFile::~CPlatformFile() {
    close();
}

int CPlatformFile::openRead(const CString& path, bool readWrite) {
    close();
    int flags = readWrite ? (O_RDWR | O_CREAT) : O_RDONLY;
    m_fd = ::open(path.toUtf8().c_str(), flags | O_CLOEXEC, 0644);
    return m_fd < 0 ? errno : 0;
}

int CPlatformFile::openWrite(const CString& path, bool append) {
    close();
    int flags = O_WRONLY | O_CREAT | (append ? 0 : O_TRUNC);
    m_fd = ::open(path.toUtf8().c_str(), flags | O_CLOEXEC, 0644);
    return m_fd < 0 ? errno : 0;
}

void CPlatformFile::attachStandard(Standard which) {
    close();
    m_fd = which == Standard::Input ? 0 : which == Standard::Output ? 1 : 2;
    m_standard = true;
}

int CPlatformFile::read(void* buffer, uint32_t count, uint32_t& done) {
    done = 0;
    ssize_t n;
    do {
        n = ::read(m_fd, buffer, count);
    } while (n < 0 && errno == EINTR);
    if (n < 0) return errno;
    done = uint32_t(n);
    return 0;
}

int CPlatformFile::write(const void* buffer, uint32_t count, uint32_t& done) {
    done = 0;
    ssize_t n;
    do {
        n = ::write(m_fd, buffer, count);
    } while (n < 0 && errno == EINTR);
    if (n < 0) return errno;
    done = uint32_t(n);
    return 0;
}

int CPlatformFile::seekAbsolute(uint64_t position) {
    return ::lseek(m_fd, off_t(position), SEEK_SET) < 0 ? errno : 0;
}

int CPlatformFile::seekRelative(int64_t offset) {
    return ::lseek(m_fd, off_t(offset), SEEK_CUR) < 0 ? errno : 0;
}

int CPlatformFile::seekEnd() {
    return ::lseek(m_fd, 0, SEEK_END) < 0 ? errno : 0;
}

int CPlatformFile::position(uint64_t& position) {
    off_t p = ::lseek(m_fd, 0, SEEK_CUR);
    if (p < 0) return errno;
    position = uint64_t(p);
    return 0;
}

int CPlatformFile::size(uint64_t& size) {
    struct stat info;
    if (::fstat(m_fd, &info) != 0) return errno;
    size = uint64_t(info.st_size);
    return 0;
}

int CPlatformFile::close() {
    if (m_fd < 0) return 0;
    int fd = m_fd;
    bool standard = m_standard;
    m_fd = -1;
    m_standard = false;
    // The process's standard handles stay open for everyone else.
    if (standard) return 0;
    return ::close(fd) != 0 ? errno : 0;
}

} // namespace qel
