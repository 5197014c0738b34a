#pragma once

#include "Core/CObject.h"

namespace qel {

class CAppData;

// Mirrors a parameter into an entry of an application data store ("audio:param-shared-storage").
class CAudioParamSharedStorage : public CObject {
public:
    enum class StorageType { Local, Group, Global };

    CError* init() override;

    const CString& paramName() const { return m_paramName; }
    const CString& dataName() const { return m_dataName; }
    StorageType storageType() const { return m_storageType; }
    // The process-wide store the storage type names.
    CAppData& store() const;

private:
    CString m_paramName;
    CString m_dataName;
    StorageType m_storageType = StorageType::Local;
};

} // namespace qel
