#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <tuple>

#include "Audio/Params/CAudioParamUndo.h"
#include "Core/CMemoryReader.h"
#include "Core/CUpdateListener.h"

namespace qel {

class CAudioParam;
class CAudioParamRegistry;
class CParamInterfaceBaseConnector;
class CParamInterfaceMessage;

// The audio side's end of the parameter interface, and the undo store of the registries. Clients send
// it commands through the connector; it answers with messages addressed by the listener handles,
// whose upper 16 bits name the client.
class CParamInterfaceBase : public CAudioParamUndo {
public:
    // Tells the owner of a handle about every change of one parameter, on whatever thread it happens.
    class CParamListener : public CUpdateListener {
    public:
        CParamListener(CParamInterfaceBase& base, CAudioParam& param, int32_t handle);
        ~CParamListener() override { detach(); }
        CAudioParam& param() const { return m_param; }

    protected:
        void onUpdate(const SUpdateRecord* record, const SUpdateEntry& entry) override;

    private:
        CParamInterfaceBase& m_base;
        CAudioParam& m_param;
        int32_t m_handle;
    };

    // Tells the owner of a handle whenever a registry's programs or selection change.
    class CRegistryListener : public CUpdateListener {
    public:
        CRegistryListener(CParamInterfaceBase& base, CAudioParamRegistry& registry, int32_t handle);
        ~CRegistryListener() override { detach(); }
        CAudioParamRegistry& registry() const { return m_registry; }

    protected:
        void onUpdate(const SUpdateRecord* record, const SUpdateEntry& entry) override;

    private:
        CParamInterfaceBase& m_base;
        CAudioParamRegistry& m_registry;
        int32_t m_handle;
    };

    ~CParamInterfaceBase() override;

    CError* init() override;
    CError* initComplete() override;
    void detachFromParent() override;

    void onConnectorGone(CParamInterfaceBaseConnector* connector);

    // Runs one client message: the command name, then its fields. sender is the client's identifier.
    CError* handleMessage(uint32_t sender, CMemoryReader& message);

    // Sends to the owner of a handle, to one client, or to every client.
    static uint32_t clientOf(int32_t handle) { return uint32_t(handle) >> 16; }
    void send(uint32_t clientId, CParamInterfaceMessage& message);
    void broadcast(CParamInterfaceMessage& message);

    void sendParamInfo(int32_t handle, CAudioParam& param);
    void sendParamValues(int32_t handle, CAudioParam& param, int32_t group);
    void sendRegistryState(int32_t handle, CAudioParamRegistry& registry);
    void sendUndoHistory(uint32_t clientId);

    size_t paramListenerCount() const;
    size_t openUndoDataCount() const;

    static void initClass(CClassRecord& record);

protected:
    void onHistoryChanged() override;

    // Edit gestures on one value, reported to whoever records automation.
    virtual void onBeginEdit(const CAudioParam& param, int32_t group, int32_t element);
    virtual void onEndEdit(const CAudioParam& param, int32_t group, int32_t element);

    // Field readers over the message being handled.
    CError* readI32(int32_t& value);
    CError* readF64(double& value);
    CError* readStr(CString& text);
    CMemoryReader& message() { return *m_message; }
    uint32_t sender() const { return m_sender; }

    // Registers a command's handler; the commands are the only events a message may run.
    template <class T, CError* (T::*Handler)()>
    static void addCommand(CClassRecord& record, const char* name) {
        commandNames().insert(name);
        record.addEvent(name, [](CObject& object) { return (static_cast<T&>(object).*Handler)(); });
    }

private:
    struct SUndoData {
        std::unique_ptr<CAudioParamUndoRecord> record;
        // (parameter, group, element) whose edit gesture is open until the record ends.
        std::set<std::tuple<const CAudioParam*, int32_t, int32_t>> edits;
    };

    static std::set<CString>& commandNames();

    CError* onListenParam();
    CError* onUnlistenParam();
    CError* onChangeParam();
    CError* onResetParam();
    CError* onListenRegistry();
    CError* onUnlistenRegistry();
    CError* onSetCurrentProgram();
    CError* onActivateFactoryPreset();
    CError* onActivatePreset();
    CError* onActivateDefaultPreset();
    CError* onSetDefaultPreset();
    CError* onRenamePreset();
    CError* onRequestPreset();
    CError* onRequestBank();
    CError* onExchangeShadowPreset();
    CError* onUpdateShadowPreset();
    CError* onRequestUndoHistory();
    CError* onCreateUndoData();
    CError* onSubmitUndoData();
    CError* onRemoveUndoData();
    CError* onSetUndoHistoryPos();

    // Reads a parameter handle and finds the parameter it listens to.
    CError* readParam(int32_t& handle, CAudioParam*& param);
    // Reads a registry handle and finds what it listens to.
    CError* readRegistry(int32_t& handle, CAudioParamRegistry*& registry);
    CError* findRegistry(const CString& name, CAudioParamRegistry*& registry);
    // Takes an undo data out of the open ones; false when there is none of that identifier.
    bool takeUndoData(int32_t id, SUndoData& taken);
    void endEdits(SUndoData& data);

    mutable CCriticalSection m_lock{4000};
    CParamInterfaceBaseConnector* m_connector = nullptr;
    CMemoryReader* m_message = nullptr;
    uint32_t m_sender = 0;
    std::map<int32_t, std::unique_ptr<CParamListener>> m_paramListeners;
    std::map<int32_t, std::unique_ptr<CRegistryListener>> m_registryListeners;
    std::map<int32_t, SUndoData> m_undoData;
    // The undo data opened last and not yet ended: parameter changes are recorded into it.
    std::optional<int32_t> m_openUndo;
};

} // namespace qel
