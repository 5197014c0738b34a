// Attribute storage, reference expansion and bindings of CObject.
#include <algorithm>

#include "Core/CObject.h"

namespace qel {

namespace {

// Re-sets the bound attribute of its target whenever the source attribute changes.
class CAttrBindingListener : public CAttrListener {
public:
    CAttrBindingListener(CObject& target, CObject& source, const CString& targetAttr, const CString& text)
        : m_target(target), m_source(&source), m_targetAttr(targetAttr), m_text(text) {}
    ~CAttrBindingListener() override {
        if (m_source) m_source->removeAttrListener(this);
    }
    void setText(const CString& text) { m_text = text; }
    CError* onAttrChanged(CObject&, const CString&, const CString&) override {
        return m_target.setAttr(m_targetAttr, m_text, true);
    }
    void onSourceDestroyed(CObject&) override { m_source = nullptr; }

private:
    CObject& m_target;
    CObject* m_source;
    CString m_targetAttr;
    CString m_text; // the unexpanded value, expanded again on every change
};

constexpr int kMaxExpansions = 1000;

} // namespace

const CAttrEntry* CObject::findAttr(const CString& name) const {
    auto it = m_attrs.find(name);
    return it == m_attrs.end() ? nullptr : &it->second;
}

CString CObject::getAttr(const CString& name) const {
    const CAttrEntry* entry = findAttr(name);
    return entry ? entry->value.text() : CString();
}

bool CObject::getAttrBool(const CString& name, bool fallback) const {
    const CAttrEntry* entry = findAttr(name);
    return entry ? entry->value.toBool(fallback) : fallback;
}

int32_t CObject::getAttrInt(const CString& name, int32_t fallback) const {
    const CAttrEntry* entry = findAttr(name);
    return entry ? entry->value.toInt(fallback) : fallback;
}

double CObject::getAttrDouble(const CString& name, double fallback) const {
    const CAttrEntry* entry = findAttr(name);
    return entry ? entry->value.toDouble(fallback) : fallback;
}

void* CObject::getAttrPointer(const CString& name) const {
    const CAttrEntry* entry = findAttr(name);
    return entry ? entry->value.toPointer() : nullptr;
}

void CObject::addAttrListener(CAttrListener* listener, std::optional<std::set<CString>> names) {
    auto it = m_attrListeners.find(listener);
    if (it == m_attrListeners.end() || !names) {
        m_attrListeners[listener] = std::move(names);
    } else if (it->second) {
        it->second->insert(names->begin(), names->end());
    }
}

void CObject::removeAttrListener(CAttrListener* listener) {
    m_attrListeners.erase(listener);
}

void CObject::unlinkFromSources() {
    m_bindings.clear();
}

const CAttrValue* CObject::lookupAttr(const CString& name, bool inherit) const {
    for (const CObject* object = this; object; object = inherit ? object->m_parent : nullptr) {
        const CAttrEntry* entry = object->findAttr(name);
        if (entry) return &entry->value;
    }
    return nullptr;
}

CString CObject::resolveReference(const CString& name, const CString& reference, bool& found, bool bound) {
    found = false;
    // "@" looks only at the named object; "*" binds; plain references inherit from ancestors.
    bool inherit = true;
    CString ref = reference;
    if (ref.length() && (ref.at(0) == '@' || ref.at(0) == '*')) {
        inherit = ref.at(0) == '*';
        ref = ref.substr(1);
    }
    CObject* object = this;
    CString attrName = ref;
    if (ref.length() && ref.at(0) == '/') {
        size_t space = ref.find(' ');
        CString path = ref.substr(1, space == CString::npos ? CString::npos : space - 1);
        attrName = space == CString::npos ? name : ref.substr(space + 1);
        object = findObject(path);
        if (!object) return CString();
    }
    if (attrName.isEmpty()) attrName = name;
    if (bound) addBinding(object, attrName, name);
    const CAttrValue* value = object->lookupAttr(attrName, inherit);
    if (!value) return CString();
    found = true;
    return value->text();
}

void CObject::addBinding(CObject* source, const CString& sourceAttr, const CString& targetAttr) {
    auto key = std::make_pair(source, targetAttr);
    auto& binding = m_bindings[key];
    if (!binding) binding = std::make_unique<CAttrBindingListener>(*this, *source, targetAttr, CString());
    source->addAttrListener(binding.get(), std::set<CString>{sourceAttr});
}

CString CObject::expandReferences(const CString& name, CString value) {
    // Unexpanded text of bound attributes, kept so a source change can expand it again.
    CString original = value;
    bool anyBound = false;
    for (int round = 0; round < kMaxExpansions; ++round) {
        size_t open = CString::npos, close = CString::npos;
        for (size_t i = value.length(); i-- > 0;) {
            if (value.at(i) != '{') continue;
            close = value.find('}', i + 1);
            if (close != CString::npos) {
                open = i;
                break;
            }
        }
        if (open == CString::npos) break;
        CString reference = value.substr(open + 1, close - open - 1);
        std::optional<CString> fallback;
        size_t question = reference.find('?');
        if (question != CString::npos) {
            fallback = reference.substr(question + 1);
            reference = reference.substr(0, question);
        }
        bool bound = reference.length() && reference.at(0) == '*';
        anyBound |= bound;
        bool found = false;
        CString resolved = resolveReference(name, reference, found, bound);
        if (!found && fallback && !bound) resolved = *fallback;
        value = value.substr(0, open) + resolved + value.substr(close + 1);
    }
    if (anyBound)
        for (auto& [key, binding] : m_bindings)
            if (key.second == name) static_cast<CAttrBindingListener*>(binding.get())->setText(original);
    return value;
}

CError* CObject::setAttr(const CString& name, const CString& value, bool immediate) {
    if (m_readOnly || name.isEmpty()) return nullptr;
    CAttrValue stored(expandReferences(name, value));
    return storeAttr(name, stored, immediate);
}

CError* CObject::setAttrInt(const CString& name, int32_t value) {
    if (m_readOnly || name.isEmpty()) return nullptr;
    CAttrValue stored;
    stored.setInt(value);
    return storeAttr(name, stored, true);
}

CError* CObject::setAttrDouble(const CString& name, double value) {
    if (m_readOnly || name.isEmpty()) return nullptr;
    CAttrValue stored;
    stored.setDouble(value);
    return storeAttr(name, stored, true);
}

CError* CObject::setAttrBool(const CString& name, bool value) {
    if (m_readOnly || name.isEmpty()) return nullptr;
    CAttrValue stored;
    stored.setBool(value);
    return storeAttr(name, stored, true);
}

CError* CObject::setAttrPointer(const CString& name, void* value) {
    if (m_readOnly || name.isEmpty()) return nullptr;
    CAttrValue stored;
    stored.setPointer(value);
    return storeAttr(name, stored, true);
}

CError* CObject::storeAttr(const CString& name, const CAttrValue& value, bool immediate) {
    CAttrEntry& entry = m_attrs[name];
    entry.name = name;
    entry.value = value;
    entry.flags |= CAttrEntry::kHasText;
    if (!(entry.flags & CAttrEntry::kHandlerLooked)) {
        entry.handler = m_class->findAttrHandler(name);
        entry.flags |= CAttrEntry::kHandlerLooked;
    }
    if (entry.handler) {
        if (immediate) {
            QEL_CHECK(runAttrHandler(entry));
        } else if (!(entry.flags & CAttrEntry::kQueued)) {
            entry.flags |= CAttrEntry::kQueued;
            // Appended, so that handlers run in the order the attributes were set.
            CAttrEntry** tail = &m_pendingHandlers;
            while (*tail)
                tail = &(*tail)->nextPending;
            *tail = &entry;
            entry.nextPending = nullptr;
        }
    }
    if (m_attrListeners.empty()) return nullptr;
    CString text = entry.value.text();
    auto listeners = m_attrListeners; // a listener may unregister itself while called
    for (const auto& [listener, names] : listeners) {
        if (names && !names->count(name)) continue;
        if (CError* error = listener->onAttrChanged(*this, name, text))
            return QEL_PASS_CTX(error, fullName());
    }
    return nullptr;
}

CError* CObject::runAttrHandler(CAttrEntry& entry) {
    CError* error = entry.handler(*this, entry.name, entry.value);
    return error ? QEL_PASS_CTX(error, fullName()) : nullptr;
}

CError* CObject::runPendingHandlers() {
    CAttrEntry* pending = m_pendingHandlers;
    m_pendingHandlers = nullptr;
    while (pending) {
        CAttrEntry* next = pending->nextPending;
        pending->nextPending = nullptr;
        pending->flags &= uint8_t(~CAttrEntry::kQueued);
        if (CError* error = runAttrHandler(*pending)) {
            // Leave the rest unqueued: the load stops here.
            for (CAttrEntry* rest = next; rest; rest = rest->nextPending)
                rest->flags &= uint8_t(~CAttrEntry::kQueued);
            return QEL_PASS(error);
        }
        pending = next;
    }
    return nullptr;
}

} // namespace qel
