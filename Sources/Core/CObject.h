#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "Core/CAttrValue.h"
#include "Core/CCheckedObject.h"
#include "Core/CClassRecord.h"
#include "Core/CError.h"
#include "Core/CString.h"
#include "Core/CTemplateBody.h"

namespace qel {

class CNotifyServer;
class CObject;
class CEventBridge;

// Told after an attribute of a watched object changed (optionally only for some names).
class CAttrListener {
public:
    virtual ~CAttrListener() = default;
    virtual CError* onAttrChanged(CObject& object, const CString& name, const CString& value) = 0;
    // The watched object is being destroyed; the listener must forget it.
    virtual void onSourceDestroyed(CObject& object) { (void)object; }
};

// One attribute of an object.
struct CAttrEntry {
    static constexpr uint8_t kHasText = 8;
    static constexpr uint8_t kQueued = 32;
    static constexpr uint8_t kHandlerLooked = 64;

    CString name;
    CAttrValue value;
    uint8_t flags = 0;
    CClassRecord::AttrHandler handler = nullptr;
    CAttrEntry* nextPending = nullptr;
};

// A node of an object tree: class tag, name, attributes, owned children and lifecycle phases.
class CObject : public CCheckedObject {
public:
    enum State : uint32_t { Created = 0, Initialized = 1, ContentInitialized = 2, Completed = 3, Loaded = 4 };

    CObject();
    ~CObject() override;

    virtual CError* init();
    virtual CError* initContent();
    virtual CError* initComplete();
    virtual CError* onChildAdded(CObject* child);
    virtual void removeChild(CObject* child);
    virtual void releaseSubscriptions();
    virtual void detachFromParent();
    // A run-time attribute change, handled immediately.
    virtual CError* setAttrRuntime(const CString& name, const CString& value);
    // Handler of "release-child-bridged": destroys the child named by "sender".
    virtual CError* releaseChild(CParamList& params);

    // Children.
    CError* addChild(const CString& tag, const CString& name, bool useTemplates, CObject*& child);
    CError* createChild(const CString& templateName, const CString& childName, bool templateRequired,
                        const std::map<CString, CString>* overrides, CObject*& child,
                        bool (*isExpectedClass)(const CObject*) = nullptr);
    template <class T>
    CError* createChild(const CString& templateName, const CString& childName, bool templateRequired,
                        const std::map<CString, CString>* overrides, T*& child) {
        CObject* created = nullptr;
        QEL_CHECK(createChild(templateName, childName, templateRequired, overrides, created,
                              [](const CObject* o) { return dynamic_cast<const T*>(o) != nullptr; }));
        child = static_cast<T*>(created);
        return nullptr;
    }
    const std::vector<CObject*>& children() const { return m_children; }
    CObject* childByName(const CString& effectiveName) const;
    // Destroys a child (releasing its subscriptions first).
    void destroyChild(CObject* child);

    // Attributes.
    CError* setAttr(const CString& name, const CString& value, bool immediate);
    // Programmatic typed values (no reference expansion), handled immediately.
    CError* setAttrInt(const CString& name, int32_t value);
    CError* setAttrDouble(const CString& name, double value);
    CError* setAttrBool(const CString& name, bool value);
    CError* setAttrPointer(const CString& name, void* value);
    CString getAttr(const CString& name) const;
    bool hasAttr(const CString& name) const { return m_attrs.count(name) != 0; }
    const CAttrEntry* findAttr(const CString& name) const;
    bool getAttrBool(const CString& name, bool fallback = false) const;
    int32_t getAttrInt(const CString& name, int32_t fallback = 0) const;
    double getAttrDouble(const CString& name, double fallback = 0) const;
    // Null unless the attribute holds an address set with setAttrPointer.
    void* getAttrPointer(const CString& name) const;
    const std::map<CString, CAttrEntry>& attributes() const { return m_attrs; }
    void addAttrListener(CAttrListener* listener, std::optional<std::set<CString>> names = std::nullopt);
    void removeAttrListener(CAttrListener* listener);

    // Paths.
    CObject* findObject(const CString& path);
    CError* findObjectChecked(const CString& path, bool (*isExpectedClass)(const CObject*), CObject*& found);
    template <class T>
    CError* findObjectChecked(const CString& path, T*& found) {
        CObject* object = nullptr;
        QEL_CHECK(findObjectChecked(
            path, [](const CObject* o) { return dynamic_cast<const T*>(o) != nullptr; }, object));
        found = static_cast<T*>(object);
        return nullptr;
    }
    template <class T>
    CError* findObjectByAttr(const CString& attrName, T*& found) {
        CObject* object = nullptr;
        QEL_CHECK(findObjectByAttr(
            attrName, [](const CObject* o) { return dynamic_cast<const T*>(o) != nullptr; }, object));
        found = static_cast<T*>(object);
        return nullptr;
    }
    CError* findObjectByAttr(const CString& attrName, bool (*isExpectedClass)(const CObject*),
                             CObject*& found);

    // Events.
    CError* runEvent(const CString& name);
    CError* runEvent(const CString& name, CParamList& params);
    void listenObject(CObject* sender, const CString& eventName, const CString& handlerName);
    CError* emitEvent(const CString& eventName, bool forceBridged);
    // Makes this object and its descendants belong to a thread reached through the bridge.
    void setThreadAffinity(uint64_t threadId, CEventBridge* bridge);
    // The nearest affinity of this object or its ancestors; false when none.
    bool threadAffinity(uint64_t& threadId, CEventBridge*& bridge) const;
    // Asks the parent to destroy this object later, through the event bridge.
    void releaseBridged();
    // Bridged delivery of one event to one object; nothing happens when it has no bridge.
    static CError* postEvent(CObject* target, const CString& sender, const CString& eventName,
                             CParamList& params);
    // The same through a bridge found earlier, for threads that must not walk the tree.
    static CError* postEvent(CObject* target, CEventBridge& bridge, const CString& sender,
                             const CString& eventName, CParamList& params);

    // Definition data.
    CError* loadXMLData(const CString& resourceName, bool runPhases);

    // Identity and tree.
    const CString& tag() const { return m_tag; }
    const CString& name() const { return m_name; }
    CString fullName() const { return getAttr("full-name"); }
    CObject* parent() const { return m_parent; }
    CObject* root() const { return m_root; }
    int32_t serial() const { return m_serial; }
    uint32_t state() const { return m_state; }
    void setState(uint32_t state) { m_state = state; }
    bool isReadOnly() const { return m_readOnly; }
    bool isShortcut() const { return m_shortcut; }
    const CClassRecord& classRecord() const { return *m_class; }
    CNotifyServer* treeContext() const { return m_treeContext; }
    CObject* templateSource() const { return m_templateSource; }
    const CTemplateBody* templateBody() const { return m_templateBody.get(); }
    void setTemplateBody(std::unique_ptr<CTemplateBody> body) { m_templateBody = std::move(body); }
    CObject* findTemplate(const CString& name);
    // Enters a child holding a template body in the templates map.
    void registerTemplate(CObject* holder) { m_templates[holder->name()] = holder; }

    // A root of a tree; the root owns its tree context (null for the shared tree).
    void makeRoot(std::unique_ptr<CNotifyServer> context);
    static CObject* sharedObject();
    static void setSharedObject(CObject* object);

private:
    friend class CAttrBinding;
    friend class CNotifyServer;

    struct Binding;
    CString expandReferences(const CString& name, CString value);
    CString resolveReference(const CString& name, const CString& reference, bool& found, bool bound);
    const CAttrValue* lookupAttr(const CString& name, bool inherit) const;
    void addBinding(CObject* source, const CString& sourceAttr, const CString& targetAttr);
    CError* storeAttr(const CString& name, const CAttrValue& value, bool immediate);
    CError* runAttrHandler(CAttrEntry& entry);
    CError* runPendingHandlers();
    CString resolvedPathText(const CString& path);
    void unlinkFromSources();

    const CClassRecord* m_class;
    std::map<CString, CAttrEntry> m_attrs;
    CAttrEntry* m_pendingHandlers = nullptr;
    std::vector<CObject*> m_children;
    uint32_t m_state = Created;
    bool m_readOnly = false;
    bool m_shortcut = false;
    std::unique_ptr<CTemplateBody> m_templateBody;
    std::unique_ptr<std::map<CString, CString>> m_overrideAttrs;
    CObject* m_templateSource = nullptr;
    std::map<CString, std::map<int32_t, CObject*>> m_nameIndex;
    std::multimap<CObject*, CString> m_subscriptions; // sender -> event name
    CNotifyServer* m_treeContext = nullptr;
    CObject* m_parent = nullptr;
    CObject* m_root = this;
    int32_t m_serial = -1;
    CString m_tag;
    CString m_name;
    std::map<CString, CObject*> m_templates;
    std::map<CAttrListener*, std::optional<std::set<CString>>> m_attrListeners;
    std::map<std::pair<CObject*, CString>, std::unique_ptr<CAttrListener>>
        m_bindings; // (source, target attr)
    std::unique_ptr<struct SThreadAffinity> m_affinity;
    std::unique_ptr<CNotifyServer> m_ownedContext;

    friend class CCreatorRegistry;
    friend class CDefinitionLoader;
};

} // namespace qel
