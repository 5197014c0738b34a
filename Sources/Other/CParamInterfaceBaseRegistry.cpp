// The registry commands of the interface base: programs, presets, banks and A/B comparison.
#include "Audio/Params/CAudioParamRegistry.h"
#include "Other/CParamInterfaceBase.h"
#include "Other/CParamInterfaceMessage.h"

namespace qel {

CParamInterfaceBase::CRegistryListener::CRegistryListener(CParamInterfaceBase& base,
                                                          CAudioParamRegistry& registry, int32_t handle)
    : m_base(base), m_registry(registry), m_handle(handle) {}

void CParamInterfaceBase::CRegistryListener::onUpdate(const SUpdateRecord*, const SUpdateEntry&) {
    m_base.sendRegistryState(m_handle, m_registry);
}

void CParamInterfaceBase::sendRegistryState(int32_t handle, CAudioParamRegistry& registry) {
    std::vector<CString> names;
    int32_t current = 0;
    registry.programNames(names, current, false);
    CParamInterfaceMessage message("update-registry");
    message.i32(handle).i32(registry.isMaster() ? 1 : 0).str(registry.id()).i32(current);
    message.i32(int32_t(names.size()));
    for (const CString& name : names)
        message.str(name);
    send(clientOf(handle), message);
}

CError* CParamInterfaceBase::findRegistry(const CString& name, CAudioParamRegistry*& registry) {
    CObject* found = name.isEmpty() ? nullptr : root()->findObject(name);
    if (!found)
        return QEL_ERROR(fullName(),
                         "@qelstr_CParamInterfaceBase_getRegistry_NoParamRegistry No param registry "
                         "object '%1' found.",
                         name);
    registry = dynamic_cast<CAudioParamRegistry*>(found);
    if (!registry)
        return QEL_ERROR(fullName(),
                         "@qelstr_CParamInterfaceBase_getRegistry_ParamRegistryNULL Param registry "
                         "object '%1' is NULL.",
                         name);
    return nullptr;
}

CError* CParamInterfaceBase::readRegistry(int32_t& handle, CAudioParamRegistry*& registry) {
    QEL_CHECK(readI32(handle));
    auto listener = m_registryListeners.find(handle);
    if (listener == m_registryListeners.end())
        return QEL_ERROR(fullName(),
                         "@qelstr_CParamInterfaceBase_readRegistry_UnknownHandle Unknown registry "
                         "handle %1.",
                         handle);
    registry = &listener->second->registry();
    return nullptr;
}

CError* CParamInterfaceBase::onListenRegistry() {
    CString name;
    int32_t handle = 0;
    QEL_CHECK(readStr(name));
    QEL_CHECK(readI32(handle));
    if (m_registryListeners.count(handle)) return nullptr;
    CAudioParamRegistry* registry = nullptr;
    QEL_CHECK(findRegistry(name, registry));
    auto listener = std::make_unique<CRegistryListener>(*this, *registry, handle);
    listener->attach(registry, 0);
    m_registryListeners[handle] = std::move(listener);
    sendRegistryState(handle, *registry);
    return nullptr;
}

CError* CParamInterfaceBase::onUnlistenRegistry() {
    int32_t handle = 0;
    QEL_CHECK(readI32(handle));
    m_registryListeners.erase(handle);
    return nullptr;
}

CError* CParamInterfaceBase::onSetCurrentProgram() {
    int32_t handle = 0, index = 0;
    CAudioParamRegistry* registry = nullptr;
    QEL_CHECK(readRegistry(handle, registry));
    QEL_CHECK(readI32(index));
    if (index < 0 || index >= registry->programCount())
        return QEL_ERROR(fullName(),
                         "@qelstr_CParamInterfaceBase_onSetCurrentProgram_InvalidIndex Invalid program "
                         "index %1.",
                         index);
    registry->selectProgram(index, this);
    return nullptr;
}

CError* CParamInterfaceBase::onActivateFactoryPreset() {
    int32_t handle = 0, index = 0;
    CAudioParamRegistry* registry = nullptr;
    QEL_CHECK(readRegistry(handle, registry));
    QEL_CHECK(readI32(index));
    return registry->activateFactoryPreset(index);
}

CError* CParamInterfaceBase::onActivatePreset() {
    int32_t handle = 0, flags = 0;
    CAudioParamRegistry* registry = nullptr;
    QEL_CHECK(readRegistry(handle, registry));
    QEL_CHECK(readI32(flags));
    // Bit 0: persistent parameters too.
    return registry->activatePreset(message(), (flags & 1) != 0, -1);
}

CError* CParamInterfaceBase::onActivateDefaultPreset() {
    int32_t handle = 0;
    CAudioParamRegistry* registry = nullptr;
    QEL_CHECK(readRegistry(handle, registry));
    return registry->activateDefaultPreset();
}

CError* CParamInterfaceBase::onSetDefaultPreset() {
    int32_t handle = 0;
    CAudioParamRegistry* registry = nullptr;
    QEL_CHECK(readRegistry(handle, registry));
    return registry->setDefaultPreset(message());
}

CError* CParamInterfaceBase::onRenamePreset() {
    int32_t handle = 0, index = 0;
    CString name;
    CAudioParamRegistry* registry = nullptr;
    QEL_CHECK(readRegistry(handle, registry));
    QEL_CHECK(readI32(index));
    QEL_CHECK(readStr(name));
    if (index == -1)
        registry->renameCurrentProgram(name);
    else
        registry->renameProgram(index, name);
    return nullptr;
}

// Selectors: the group (-1 every group) and a tag of the caller's, both echoed.
CError* CParamInterfaceBase::onRequestPreset() {
    int32_t handle = 0, index = 0, factory = 0, group = 0, tag = 0;
    CAudioParamRegistry* registry = nullptr;
    QEL_CHECK(readRegistry(handle, registry));
    QEL_CHECK(readI32(index));
    QEL_CHECK(readI32(factory));
    QEL_CHECK(readI32(group));
    QEL_CHECK(readI32(tag));
    CParamInterfaceMessage message("registry-data");
    message.i32(handle).i32(index).i32(factory).i32(group).i32(tag);
    QEL_CHECK(registry->acquirePreset(factory != 0, index, group, message.stream()));
    send(m_sender, message);
    return nullptr;
}

// Bank 0 is the session bank, 1 the factory bank; the flag is the caller's and echoed.
CError* CParamInterfaceBase::onRequestBank() {
    int32_t handle = 0, bank = 0, flag = 0;
    CAudioParamRegistry* registry = nullptr;
    QEL_CHECK(readRegistry(handle, registry));
    QEL_CHECK(readI32(bank));
    QEL_CHECK(readI32(flag));
    if (bank != 0 && bank != 1)
        return QEL_ERROR(
            fullName(), "@qelstr_CParamInterfaceBase_onRequestBank_InvalidBank Invalid bank index %1.", bank);
    CParamInterfaceMessage message("registry-data");
    message.i32(handle).i32(bank).i32(flag);
    QEL_CHECK(registry->acquireBank(bank == 1, message.stream()));
    send(m_sender, message);
    return nullptr;
}

CError* CParamInterfaceBase::onExchangeShadowPreset() {
    int32_t handle = 0;
    CAudioParamRegistry* registry = nullptr;
    QEL_CHECK(readRegistry(handle, registry));
    registry->exchangeShadow();
    return nullptr;
}

CError* CParamInterfaceBase::onUpdateShadowPreset() {
    int32_t handle = 0;
    CAudioParamRegistry* registry = nullptr;
    QEL_CHECK(readRegistry(handle, registry));
    registry->updateShadow();
    return nullptr;
}

} // namespace qel
