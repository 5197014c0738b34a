#pragma once

#include "Core/CObject.h"
#include "UI/CAppData.h"
#include "UI/CAppDataListener.h"

namespace qel {

// "core:shared-attribute": one user setting, kept as a text entry of an application data store and
// exposed as this object's attribute "attribute", so that views bind to it with "{*/path name}" and
// every editor of the process shows the same value.
class CSharedAttribute : public CObject, private CAttrListener {
public:
    using StorageType = CAppData::StorageType;

    CSharedAttribute();
    ~CSharedAttribute() override;

    CError* init() override;

    // The current value: the stored text, or the default while the store has none.
    const CString& read() const { return m_value; }
    // Stores the text, tells the other editors and updates the exposed attribute and its bindings.
    // The same as setting the exposed attribute at run time.
    CError* write(const CString& text);
    // Takes the store's current value (the "update" event).
    CError* update();

    const CString& attributeName() const { return m_attribute; }
    const CString& dataName() const { return m_dataName; }
    const CString& defaultValue() const { return m_defValue; }
    StorageType storageType() const { return m_storageType; }
    // The process-wide store the storage type names.
    CAppData& store() const { return CAppData::store(m_storageType); }

    static void initClass(CClassRecord& record);

private:
    // A run-time change of the exposed attribute.
    CError* onAttrChanged(CObject& object, const CString& name, const CString& value) override;
    // A change written by another shared attribute of the same entry.
    void onStoreChange(const SUpdateRecord* record, const SUpdateEntry& entry);
    CString storedOrDefault();
    CError* expose(const CString& text);

    CString m_attribute;
    CString m_dataName;
    CString m_defValue;
    CString m_value;
    StorageType m_storageType = StorageType::Local;
    bool m_initialized = false;
    // Set while this object writes its own attribute, which must not go back to the store.
    bool m_exposing = false;
    CAppDataListener<CSharedAttribute> m_storeListener{this, &CSharedAttribute::onStoreChange};
};

} // namespace qel
