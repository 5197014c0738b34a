#pragma once

#include "Core/CObject.h"
#include "UI/CAppData.h"

namespace qel {

// Mirrors a parameter into an entry of an application data store ("audio:param-shared-storage").
class CAudioParamSharedStorage : public CObject {
public:
    using StorageType = CAppData::StorageType;

    CError* init() override;

    const CString& paramName() const { return m_paramName; }
    const CString& dataName() const { return m_dataName; }
    StorageType storageType() const { return m_storageType; }
    // The process-wide store the storage type names.
    CAppData& store() const { return CAppData::store(m_storageType); }

private:
    CString m_paramName;
    CString m_dataName;
    StorageType m_storageType = StorageType::Local;
};

} // namespace qel
