#include "Audio/Params/CAudioParamSharedStorage.h"

namespace qel {

CError* CAudioParamSharedStorage::init() {
    if (CError* error = CObject::init()) return QEL_PASS_CTX(error, fullName());
    m_paramName = getAttr("param");
    m_dataName = getAttr("data-name");
    if (m_paramName.isEmpty())
        return QEL_ERROR(
            fullName(),
            "@qelstr_CAudioParamSharedStorage_init_InvalidParamName Invalid parameter name specified.");
    if (m_dataName.isEmpty())
        return QEL_ERROR(fullName(),
                         "@qelstr_CAudioParamSharedStorage_init_InvalidDataName Invalid shared data name "
                         "specified.");
    const CString type = getAttr("storage-type");
    if (!CAppData::parseStorageType(type, m_storageType))
        return QEL_ERROR(
            fullName(),
            "@qelstr_CAudioParamSharedStorage_init_InvalidStorageType Invalid storage type \"%1\" "
            "specified.",
            type);
    return nullptr;
}

} // namespace qel
