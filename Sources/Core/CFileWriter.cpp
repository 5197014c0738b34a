#include "Core/CFileWriter.h"

namespace qel {

CError* CFileWriter::open(const CString& path, bool append) {
    QEL_CHECK(close());
    if (path == "*" || path == "*e") {
        bool isError = path.length() == 2;
        m_fileName = isError ? "stderr" : "stdout";
        m_file.attachStandard(isError ? CPlatformFile::Standard::Error : CPlatformFile::Standard::Output);
        return nullptr;
    }
    setFileName(path);
    int code = m_file.openWrite(path, append);
    if (!code && append) code = m_file.seekEnd();
    if (code)
        return QEL_ERROR({}, "@qelstr_CFileWriter_open_OpenError Unable to open file '%1' for %2 (error %3).",
                         path, append ? "appending" : "rewriting", code);
    return nullptr;
}

CError* CFileWriter::write(const void* buffer, uint32_t count) {
    uint32_t done = 0;
    if (int code = m_file.write(buffer, count, done))
        return QEL_ERROR({}, "@qelstr_CFileWriter_write_WriteError Unable to write to file '%1' (error %2).",
                         m_fileName, code);
    if (done != count)
        return QEL_ERROR({},
                         "@qelstr_CFileWriter_write_WriteErrorCount Unable to write to file '%1' (required "
                         "%2 bytes, written %3 bytes).",
                         m_fileName, count, done);
    return nullptr;
}

} // namespace qel
