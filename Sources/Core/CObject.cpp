#include "Core/CObject.h"

#include <algorithm>

#include "Core/CCreatorRegistry.h"
#include "Core/CDebugLog.h"
#include "Core/CDefinitionLoader.h"
#include "Core/CEventBridge.h"
#include "Core/CNotifyServer.h"

namespace qel {

namespace {

CObject* g_sharedObject = nullptr;

const CString kFullName("full-name");

} // namespace

CObject::CObject() : m_class(&CClassRecord::generic()) {}

CObject::~CObject() {
    for (auto it = m_children.rbegin(); it != m_children.rend(); ++it) {
        (*it)->m_parent = nullptr;
        delete *it;
    }
    m_children.clear();
    unlinkFromSources();
    // Listeners that bound to our attributes must forget us.
    auto listeners = std::move(m_attrListeners);
    for (auto& [listener, names] : listeners)
        listener->onSourceDestroyed(*this);
    if (m_treeContext && !m_subscriptions.empty()) m_treeContext->unsubscribe(this);
    if (g_sharedObject == this) g_sharedObject = nullptr;
}

CObject* CObject::sharedObject() {
    return g_sharedObject;
}

void CObject::setSharedObject(CObject* object) {
    g_sharedObject = object;
}

void CObject::makeRoot(std::unique_ptr<CNotifyServer> context) {
    m_ownedContext = std::move(context);
    m_treeContext = m_ownedContext.get();
    m_root = this;
    m_parent = nullptr;
    m_serial = m_treeContext ? m_treeContext->nextSerial() : -1;
}

// ---- lifecycle phases -------------------------------------------------------------------------

CError* CObject::init() {
    if (m_templateSource && m_templateSource->m_templateBody) {
        CError* error = CDefinitionLoader::loadBody(*this, *m_templateSource->m_templateBody, true);
        if (error) return QEL_PASS_CTX(error, fullName());
    }
    if (m_overrideAttrs && !m_readOnly) {
        auto overrides = std::move(m_overrideAttrs);
        for (const auto& [name, value] : *overrides)
            QEL_CHECK(setAttr(name, value, false));
    }
    m_state = Initialized;
    return nullptr;
}

CError* CObject::initContent() {
    if (!m_readOnly) {
        CError* error = runPendingHandlers();
        if (error) return QEL_PASS_CTX(error, fullName());
    }
    m_state = ContentInitialized;
    if (m_templateSource && m_templateSource->m_templateBody) {
        CError* error = CDefinitionLoader::loadBody(*this, *m_templateSource->m_templateBody, false);
        if (error) return QEL_PASS_CTX(error, fullName());
    }
    return nullptr;
}

CError* CObject::initComplete() {
    m_state = Completed;
    m_readOnly = g_sharedObject == nullptr;
    return nullptr;
}

CError* CObject::onChildAdded(CObject*) {
    return nullptr;
}

void CObject::removeChild(CObject* child) {
    auto it = std::find(m_children.begin(), m_children.end(), child);
    if (it == m_children.end()) return;
    m_children.erase(it);
    for (auto base = m_nameIndex.begin(); base != m_nameIndex.end(); ++base) {
        auto& indices = base->second;
        for (auto entry = indices.begin(); entry != indices.end(); ++entry)
            if (entry->second == child) {
                indices.erase(entry);
                if (indices.empty()) m_nameIndex.erase(base);
                goto unindexed;
            }
    }
unindexed:
    auto templateEntry = m_templates.find(child->m_name);
    if (templateEntry != m_templates.end() && templateEntry->second == child)
        m_templates.erase(templateEntry);
    child->m_parent = nullptr;
}

void CObject::releaseSubscriptions() {
    if (m_treeContext) m_treeContext->unsubscribe(this);
    m_subscriptions.clear();
}

void CObject::detachFromParent() {
    if (m_parent) m_parent->removeChild(this);
}

CError* CObject::setAttrRuntime(const CString& name, const CString& value) {
    CError* error = setAttr(name, value, true);
    return error ? QEL_PASS_CTX(error, fullName()) : nullptr;
}

CError* CObject::releaseChild(CParamList& params) {
    CObject* child = findObject(params.text("sender"));
    if (!child) return nullptr;
    child->releaseSubscriptions();
    child->detachFromParent();
    delete child;
    return nullptr;
}

void CObject::destroyChild(CObject* child) {
    child->releaseSubscriptions();
    removeChild(child);
    delete child;
}

// ---- children -----------------------------------------------------------------------------------

CObject* CObject::findTemplate(const CString& name) {
    for (CObject* object = this; object; object = object->m_parent) {
        auto it = object->m_templates.find(name);
        if (it != object->m_templates.end()) return it->second;
    }
    if (g_sharedObject) {
        auto it = g_sharedObject->m_templates.find(name);
        if (it != g_sharedObject->m_templates.end()) return it->second;
    }
    return nullptr;
}

CError* CObject::addChild(const CString& tag, const CString& name, bool useTemplates, CObject*& child) {
    child = nullptr;
    if (m_readOnly)
        return QEL_ERROR(fullName(),
                         "@qelstr_CObject_addChild_ReadOnly Error adding child to read-only object.");
    CObject* templateSource = useTemplates ? findTemplate(tag) : nullptr;
    bool generic = false;
    if (templateSource) {
        child = CCreatorRegistry::create(templateSource->m_templateBody->classTag, generic);
        child->m_templateSource = templateSource;
    } else {
        child = CCreatorRegistry::create(tag, generic);
        if (generic && tag != "template" && tag != "content") {
            std::string utf8Name = name.toUtf8(), utf8Tag = tag.toUtf8();
            CDebugLog::printf("Creating CObject '%s' (tag '%s')", utf8Name.c_str(), utf8Tag.c_str());
        }
    }
    child->m_parent = this;
    child->m_treeContext = m_treeContext;
    child->m_serial = m_treeContext ? m_treeContext->nextSerial() : -1;
    child->m_root = m_root;
    child->m_tag = tag;
    child->m_shortcut = m_tag == "core:shortcut";

    CString base = name;
    int32_t index = 0;
    size_t hash = name.find('#');
    if (hash != CString::npos) {
        base = name.substr(0, hash);
        if (!name.substr(hash + 1).parseInt32(index)) index = 0;
    }
    auto& indices = m_nameIndex[base];
    if (indices.count(index)) index = indices.rbegin()->first + 1;
    indices[index] = child;
    child->m_name = index ? base + "#" + CString::fromInt(index) : base;
    CString parentName = fullName();
    CAttrEntry& full = child->m_attrs[kFullName];
    full.name = kFullName;
    full.value.assignText(parentName.isEmpty() ? child->m_name : parentName + "." + child->m_name);

    m_children.push_back(child);
    CError* error = onChildAdded(child);
    return error ? QEL_PASS_CTX(error, fullName()) : nullptr;
}

CError* CObject::createChild(const CString& templateName, const CString& childName, bool templateRequired,
                             const std::map<CString, CString>* overrides, CObject*& child,
                             bool (*isExpectedClass)(const CObject*)) {
    child = nullptr;
    if (templateRequired && !findTemplate(templateName))
        return QEL_ERROR(fullName(),
                         "@qelstr_CObject_createChild_NoTemplate Run-time template '%1' does not exist.",
                         templateName);
    CObject* created = nullptr;
    CError* error = addChild(templateName, childName, true, created);
    if (error) return QEL_PASS_CTX(error, fullName());
    if (isExpectedClass && !isExpectedClass(created)) {
        destroyChild(created);
        return QEL_ERROR(
            fullName(),
            "@qelstr_CObject_createChild_InvalidObjectClass Object of invalid class created (child tag "
            "'%1', child name '%2').",
            templateName, childName);
    }
    if (overrides && !overrides->empty())
        created->m_overrideAttrs = std::make_unique<std::map<CString, CString>>(*overrides);
    error = created->init();
    if (!error) error = created->initContent();
    if (!error) error = created->initComplete();
    if (error) {
        destroyChild(created);
        return QEL_PASS_CTX(error, fullName());
    }
    child = created;
    return nullptr;
}

CObject* CObject::childByName(const CString& effectiveName) const {
    CString base = effectiveName;
    int32_t index = 0;
    size_t hash = effectiveName.find('#');
    if (hash != CString::npos) {
        base = effectiveName.substr(0, hash);
        if (!effectiveName.substr(hash + 1).parseInt32(index)) return nullptr;
    }
    auto names = m_nameIndex.find(base);
    if (names == m_nameIndex.end()) return nullptr;
    auto it = names->second.find(index);
    return it == names->second.end() ? nullptr : it->second;
}

// ---- paths ----------------------------------------------------------------------------------------

CObject* CObject::findObject(const CString& pathIn) {
    CString path = pathIn;
    CObject* origin = this;
    int redirections = 0;
restart:
    if (path.isEmpty()) return nullptr;
    size_t i = 0;
    CObject* current;
    if (path.at(0) == '.' || path.at(0) == '^') {
        current = origin;
    } else if (path.startsWith("shared::")) {
        if (!g_sharedObject) return nullptr;
        current = g_sharedObject->m_root;
        i = 8;
    } else {
        current = origin->m_root;
    }
    size_t segmentStart = i;
    for (;; ++i) {
        bool atEnd = i >= path.length();
        uint32_t c = atEnd ? 0 : path.at(i);
        if (atEnd || c == '.') {
            if (i > segmentStart) {
                CObject* child = current->childByName(path.substr(segmentStart, i - segmentStart));
                if (!child) return nullptr;
                if (child->m_shortcut) {
                    if (++redirections > 10) return nullptr;
                    path = child->getAttr("target") + path.substr(i);
                    origin = child;
                    goto restart;
                }
                current = child;
            }
            if (atEnd) return current;
            segmentStart = i + 1;
        } else if (c == '/') {
            current = origin->m_root;
            segmentStart = i + 1;
        } else if (c == '^') {
            current = current->m_parent;
            if (!current) return nullptr;
            if (i + 1 == path.length()) return current;
            segmentStart = i + 1;
        }
    }
}

// The path written from the root as far as it resolves: the last object reached, then the rest.
CString CObject::resolvedPathText(const CString& path) {
    size_t best = 0;
    CObject* reached = nullptr;
    for (size_t end = path.length(); end > 0; --end) {
        const bool boundary = end == path.length() || path.at(end) == '.' || path.at(end - 1) == '^';
        if (!boundary) continue;
        if (CObject* object = findObject(path.substr(0, end))) {
            reached = object;
            best = end;
            break;
        }
    }
    if (!reached) return path;
    CString rest = path.substr(best);
    CString text = reached->fullName();
    if (text.isEmpty() && rest.length() && rest.at(0) == '.') rest = rest.substr(1);
    if (!text.isEmpty() && rest.length() && rest.at(0) != '.') return text + "." + rest;
    return text + rest;
}

CError* CObject::findObjectChecked(const CString& path, bool (*isExpectedClass)(const CObject*),
                                   CObject*& found) {
    found = findObject(path);
    if (!found)
        return QEL_ERROR(fullName(),
                         "@qelstr_CObject_findObjectChecked_FindError Unable to find object '%1' ('%2')",
                         path, resolvedPathText(path));
    if (isExpectedClass && !isExpectedClass(found)) {
        found = nullptr;
        return QEL_ERROR(
            fullName(), "@qelstr_CObject_findObjectChecked_CastError Incompatible type of object '%1' ('%2')",
            path, resolvedPathText(path));
    }
    return nullptr;
}

CError* CObject::findObjectByAttr(const CString& attrName, bool (*isExpectedClass)(const CObject*),
                                  CObject*& found) {
    found = nullptr;
    CString path = getAttr(attrName);
    if (path.isEmpty())
        return QEL_ERROR(
            fullName(),
            "@qelstr_CObject_findObjectByAttr_AttrEmpty Object name attribute '%1' cannot be empty.",
            attrName);
    CObject* object = findObject(path);
    if (!object)
        return QEL_ERROR(
            fullName(),
            "@qelstr_CObject_findObjectByAttr_FindError Name attribute '%1' refers to a non-existent "
            "object '%2' ('%3')",
            attrName, path, resolvedPathText(path));
    if (isExpectedClass && !isExpectedClass(object))
        return QEL_ERROR(
            fullName(),
            "@qelstr_CObject_findObjectByAttr_CastError Name attribute '%1' refers to object '%2' ('%3') "
            "of incompatible type.",
            attrName, path, resolvedPathText(path));
    found = object;
    return nullptr;
}

// ---- events ---------------------------------------------------------------------------------------

CError* CObject::runEvent(const CString& name) {
    CParamList params;
    return runEvent(name, params);
}

CError* CObject::runEvent(const CString& name, CParamList& params) {
    const CClassRecord::EventEntry* entry = m_class->findEvent(name);
    if (!entry)
        return QEL_ERROR(fullName(), "@qelstr_CObject_runEvent_UnknownEvent Unknown event '%1'.", name);
    CError* error = entry->takesParams ? entry->withParams(*this, params) : entry->plain(*this);
    return error ? QEL_PASS_CTX(error, fullName()) : nullptr;
}

void CObject::listenObject(CObject* sender, const CString& eventName, const CString& handlerName) {
    if (!m_class->findEvent(handlerName)) {
        std::string handler = handlerName.toUtf8();
        CDebugLog::writeLine(
            CString::format("Event handler '%s' not found in listenObject().", handler.c_str()), fullName());
        return;
    }
    CString senderName = sender ? sender->fullName() : CString();
    m_subscriptions.emplace(sender, eventName);
    if (m_treeContext) m_treeContext->subscribe(this, senderName, eventName, handlerName);
}

CError* CObject::emitEvent(const CString& eventName, bool forceBridged) {
    if (!m_treeContext) return nullptr;
    CParamList params;
    CError* error = m_treeContext->send(fullName(), eventName, params, forceBridged);
    return error ? QEL_PASS_CTX(error, fullName()) : nullptr;
}

void CObject::setThreadAffinity(uint64_t threadId, CEventBridge* bridge) {
    m_affinity = std::make_unique<SThreadAffinity>(SThreadAffinity{threadId, bridge});
}

bool CObject::threadAffinity(uint64_t& threadId, CEventBridge*& bridge) const {
    for (const CObject* object = this; object; object = object->m_parent)
        if (object->m_affinity) {
            threadId = object->m_affinity->threadId;
            bridge = object->m_affinity->bridge;
            return true;
        }
    return false;
}

void CObject::releaseBridged() {
    if (!m_parent) return;
    CParamList params;
    qelErrLog(postEvent(m_parent, fullName(), "release-child-bridged", params));
}

CError* CObject::postEvent(CObject* target, const CString& sender, const CString& eventName,
                           CParamList& params) {
    uint64_t threadId = 0;
    CEventBridge* bridge = nullptr;
    if (!target->threadAffinity(threadId, bridge) || !bridge) return nullptr;
    return postEvent(target, *bridge, sender, eventName, params);
}

CError* CObject::postEvent(CObject* target, CEventBridge& bridge, const CString& sender,
                           const CString& eventName, CParamList& params) {
    params.set("sender", sender);
    params.set("listener", target->fullName());
    params.setInt("listener-id", target->serial());
    params.set("listener-proc", eventName);
    return bridge.postParams(params);
}

CError* CObject::loadXMLData(const CString& resourceName, bool runPhases) {
    return CDefinitionLoader::loadXMLData(*this, resourceName, runPhases);
}

} // namespace qel
