#include "Core/CFileReader.h"

namespace qel {

CError* CFileReader::open(const CString& path, bool readWrite) {
    QEL_CHECK(close());
    if (path == "*") {
        m_fileName = "stdin";
        m_file.attachStandard(CPlatformFile::Standard::Input);
        return nullptr;
    }
    setFileName(path);
    if (int code = m_file.openRead(path, readWrite))
        return QEL_ERROR(
            {}, "@qelstr_CFileReader_open_OpenError Unable to open file '%1' for reading (error %2).", path,
            code);
    return nullptr;
}

CError* CFileReader::skip(int32_t count) {
    if (int code = m_file.seekRelative(count))
        return QEL_ERROR(
            {},
            "@qelstr_CFileReader_skip_PosError Unable to increment file's '%1' position by %2 (error %3).",
            m_fileName, count, code);
    return nullptr;
}

CError* CFileReader::read(void* buffer, uint32_t count) {
    uint32_t done = 0;
    if (int code = m_file.read(buffer, count, done))
        return QEL_ERROR({}, "@qelstr_CFileReader_read_ReadError Unable to read from file '%1' (error %2).",
                         m_fileName, code);
    if (done != count)
        return QEL_ERROR({},
                         "@qelstr_CFileReader_read_ReadBeyondEnd Unable to read from file '%1' (required %2 "
                         "bytes, read %3 bytes).",
                         m_fileName, count, done);
    return nullptr;
}

CError* CFileReader::readStreamed(void* buffer, uint32_t& count) {
    uint32_t done = 0;
    int code = m_file.read(buffer, count, done);
    count = done;
    if (code)
        return QEL_ERROR(
            {}, "@qelstr_CFileReader_readStreamed_ReadError Unable to read from file '%1' (error %2).",
            m_fileName, code);
    return nullptr;
}

} // namespace qel
