#pragma once

#include <map>

#include "Core/CError.h"
#include "Core/CString.h"

namespace qel {

class CObject;
class CAttrValue;
class CParamList;

// Per-class tables of attribute and event handlers, filled once at start-up. A class's initialiser
// runs its base class's initialiser first, so handlers are inherited.
class CClassRecord {
public:
    using AttrHandler = CError* (*)(CObject& object, const CString& name, const CAttrValue& value);
    using EventHandler = CError* (*)(CObject& object);
    using EventHandlerWithParams = CError* (*)(CObject& object, CParamList& params);
    using Initializer = void (*)(CClassRecord& record);

    struct EventEntry {
        EventHandler plain = nullptr;
        EventHandlerWithParams withParams = nullptr;
        bool takesParams = false;
    };

    void addAttrHandler(const CString& name, AttrHandler handler) { m_attrHandlers[name] = handler; }
    void addEvent(const CString& name, EventHandler handler) { m_events[name] = {handler, nullptr, false}; }
    void addEvent(const CString& name, EventHandlerWithParams handler) {
        m_events[name] = {nullptr, handler, true};
    }

    AttrHandler findAttrHandler(const CString& name) const;
    const EventEntry* findEvent(const CString& name) const;

    // The record of generic objects ("core:object"), also the base of every other record.
    static const CClassRecord& generic();
    static void initObject(CClassRecord& record);

private:
    std::map<CString, AttrHandler> m_attrHandlers;
    std::map<CString, EventEntry> m_events;
};

} // namespace qel
