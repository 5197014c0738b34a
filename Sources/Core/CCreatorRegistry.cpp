#include "Core/CCreatorRegistry.h"

#include "Core/CObject.h"

namespace qel {

namespace {

std::map<CString, CCreatorRegistry::Creator>& creators() {
    static std::map<CString, CCreatorRegistry::Creator> registry;
    return registry;
}

} // namespace

CError* CCreatorRegistry::registerCreator(const SCreatorEntry& entry) {
    CString tag(entry.tag);
    if (creators().count(tag))
        return QEL_ERROR({}, "@qelstr_CObject_registerCreator Creator for '%1' has already been registered.",
                         tag);
    Creator creator;
    creator.create = entry.create;
    creator.record = std::make_unique<CClassRecord>();
    if (entry.initializer) entry.initializer(*creator.record);
    creators().emplace(tag, std::move(creator));
    return nullptr;
}

const CCreatorRegistry::Creator* CCreatorRegistry::find(const CString& tag) {
    auto it = creators().find(tag);
    return it == creators().end() ? nullptr : &it->second;
}

CObject* CCreatorRegistry::create(const CString& tag, bool& generic) {
    const Creator* creator = find(tag);
    generic = !creator;
    if (!creator) return new CObject;
    CObject* object = creator->create();
    object->m_class = creator->record.get();
    return object;
}

void CCreatorRegistry::clear() {
    creators().clear();
}

} // namespace qel
