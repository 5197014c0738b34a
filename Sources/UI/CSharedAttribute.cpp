#include "UI/CSharedAttribute.h"

#include "Core/Platform/PlatformSystem.h"

namespace qel {

void CSharedAttribute::initClass(CClassRecord& record) {
    CClassRecord::initObject(record);
    record.addEvent("update",
                    [](CObject& object) { return static_cast<CSharedAttribute&>(object).update(); });
}

CSharedAttribute::CSharedAttribute() {
    // Present from the start: definition data sets "false" only over an existing attribute.
    setAttr("def-value", CString(), false);
}

CSharedAttribute::~CSharedAttribute() {
    m_storeListener.detach();
    // The object's own destructor would tell this listener part after it was gone.
    removeAttrListener(this);
}

CError* CSharedAttribute::init() {
    if (CError* error = CObject::init()) return QEL_PASS_CTX(error, fullName());
    m_attribute = getAttr("attribute");
    if (m_attribute.isEmpty())
        return QEL_ERROR(fullName(),
                         "@qelstr_CSharedAttribute_init_NoAttribute No attached attribute name specified.");
    const CString type = getAttr("storage-type");
    if (!CAppData::parseStorageType(type, m_storageType))
        return QEL_ERROR(
            fullName(),
            "@qelstr_CSharedAttribute_init_InvalidStorageType Invalid storage type \"%1\" specified.", type);
    m_defValue = getAttr("def-value");
    m_dataName = getAttr("data-name");
    if (m_dataName.isEmpty()) m_dataName = fullName();

    removeAttrListener(this);
    m_value = storedOrDefault();
    QEL_CHECK(expose(m_value));
    addAttrListener(this, std::set<CString>{m_attribute});
    m_storeListener.attach(&store(), m_dataName);
    m_initialized = true;
    return nullptr;
}

CString CSharedAttribute::storedOrDefault() {
    CString text;
    if (!store().getText(m_dataName, text)) text = m_defValue;
    return text;
}

CError* CSharedAttribute::expose(const CString& text) {
    m_exposing = true;
    CError* error = setAttr(m_attribute, text, true);
    m_exposing = false;
    return error ? QEL_PASS(error) : nullptr;
}

CError* CSharedAttribute::write(const CString& text) {
    if (!m_initialized || text == m_value) return nullptr;
    m_value = text;
    store().setText(m_dataName, text, this);
    return expose(text);
}

CError* CSharedAttribute::update() {
    if (!m_initialized) return nullptr;
    CString text = storedOrDefault();
    if (text == m_value) return nullptr;
    m_value = text;
    return expose(text);
}

CError* CSharedAttribute::onAttrChanged(CObject&, const CString&, const CString& value) {
    if (m_exposing || value == m_value) return nullptr;
    m_value = value;
    store().setText(m_dataName, value, this);
    return nullptr;
}

void CSharedAttribute::onStoreChange(const SUpdateRecord*, const SUpdateEntry&) {
    // The writer may run on another editor's thread; this tree is only touched on its own.
    uint64_t threadId = 0;
    CEventBridge* bridge = nullptr;
    if (threadAffinity(threadId, bridge) && threadId != platform::currentThreadId()) {
        CParamList params;
        qelErrLog(postEvent(this, fullName(), "update", params));
        return;
    }
    qelErrLog(update());
}

} // namespace qel
