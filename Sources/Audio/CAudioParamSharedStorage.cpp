#include "Audio/CAudioParamSharedStorage.h"

#include "UI/CAppDataGlobal.h"
#include "UI/CAppDataGroup.h"
#include "UI/CAppDataLocal.h"

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
    CString type = getAttr("storage-type");
    if (type == "local")
        m_storageType = StorageType::Local;
    else if (type == "group")
        m_storageType = StorageType::Group;
    else if (type == "global")
        m_storageType = StorageType::Global;
    else
        return QEL_ERROR(
            fullName(),
            "@qelstr_CAudioParamSharedStorage_init_InvalidStorageType Invalid storage type \"%1\" "
            "specified.",
            type);
    return nullptr;
}

CAppData& CAudioParamSharedStorage::store() const {
    switch (m_storageType) {
    case StorageType::Group:
        return CAppDataGroup::instance();
    case StorageType::Global:
        return CAppDataGlobal::instance();
    case StorageType::Local:
        break;
    }
    return CAppDataLocal::instance();
}

} // namespace qel
