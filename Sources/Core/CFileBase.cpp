#include "Core/CFileBase.h"

namespace qel {

CFileBase::~CFileBase() {
    qelErrLog(close());
}

void CFileBase::setFileName(const CString& path) {
    m_fileName.clear();
    for (size_t i = 0; i < path.length(); ++i)
        m_fileName.appendChar(path.at(i) == '\\' ? '/' : path.at(i));
}

CError* CFileBase::getPosition(uint64_t& position) {
    if (int code = m_file.position(position))
        return QEL_ERROR(
            {}, "@qelstr_CFileBase_getPosition_PosError Unable to get file's '%1' position (error %2).",
            m_fileName, code);
    return nullptr;
}

CError* CFileBase::setPosition(uint64_t position) {
    if (int code = m_file.seekAbsolute(position))
        return QEL_ERROR(
            {}, "@qelstr_CFileBase_setPosition_PosError Unable to set file's '%1' position to %2 (error %3).",
            m_fileName, position, code);
    return nullptr;
}

CError* CFileBase::getSize(uint64_t& size) {
    if (int code = m_file.size(size))
        return QEL_ERROR({},
                         "@qelstr_CFileBase_getSize_FileSizeError Unable to get file's '%1' size (error %2).",
                         m_fileName, code);
    return nullptr;
}

CError* CFileBase::close() {
    if (int code = m_file.close())
        return QEL_ERROR({}, "@qelstr_CFileBase_close_CloseError Unable to close file '%1' (error %2).",
                         m_fileName, code);
    return nullptr;
}

} // namespace qel
