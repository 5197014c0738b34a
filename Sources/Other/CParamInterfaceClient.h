#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "Audio/Params/CAudioParamInfo.h"
#include "Core/CMemoryReader.h"
#include "Core/CObject.h"
#include "Other/CParamInterfaceMessage.h"
#include "Other/CParamInterfaceParamListener.h"
#include "Other/CParamInterfaceRegistryListener.h"

namespace qel {

class CParamInterfaceClientConnector;

// The user interface's view of an instance's parameters, registries and undo history. Sends commands
// through its connector and keeps what the base reports, handing it on to the registered listeners.
class CParamInterfaceClient : public CObject {
public:
    // What the client knows of a listened parameter.
    struct SParamState {
        CParamInterfaceParamListener* listener = nullptr;
        std::unique_ptr<CAudioParamInfo> info;
        // Each storage holds its values as group 0.
        CAudioParamStorage common;
        std::map<int32_t, CAudioParamStorage> groups;
    };

    ~CParamInterfaceClient() override;

    CError* initComplete() override;
    void detachFromParent() override;

    // Runs one message of the base (command name, then fields) on the user-interface thread.
    CError* handleMessage(CMemoryReader& message);

    uint32_t clientId() const;
    CParamInterfaceClientConnector* connector() const { return m_connector; }

    // Parameters. A handle's upper 16 bits are this client's identifier.
    CError* listenParam(const CString& name, CParamInterfaceParamListener* listener, int32_t& handle);
    CError* unlistenParam(int32_t handle);
    CError* changeParam(int32_t handle, int32_t flags, int32_t group, const CAudioParamStorage& values);
    // One value of one element, the rest of the group as last reported.
    CError* setParamValue(int32_t handle, int32_t group, int32_t element, int32_t position, double value);
    CError* resetParam(int32_t handle, int32_t group, int32_t firstElement, int32_t count, bool withUndo);
    const SParamState* paramState(int32_t handle) const;
    // A value as last reported; fallback when unknown.
    double paramValue(int32_t handle, int32_t group, int32_t index, double fallback) const;

    // Registries.
    CError* listenRegistry(const CString& name, CParamInterfaceRegistryListener* listener, int32_t& handle);
    CError* unlistenRegistry(int32_t handle);
    CError* setCurrentProgram(int32_t handle, int32_t index);
    CError* activateFactoryPreset(int32_t handle, int32_t index);
    CError* activatePreset(int32_t handle, int32_t flags, const CByteBuffer& preset);
    CError* activateDefaultPreset(int32_t handle);
    CError* setDefaultPreset(int32_t handle, const CByteBuffer& preset);
    CError* renamePreset(int32_t handle, int32_t index, const CString& name);
    CError* requestPreset(int32_t handle, int32_t index, bool factory, int32_t group, int32_t tag);
    CError* requestBank(int32_t handle, int32_t bank, int32_t flag);
    CError* exchangeShadowPreset(int32_t handle);
    CError* updateShadowPreset(int32_t handle);
    const SRegistryState* registryState(int32_t handle) const;

    // Undo.
    CError* requestUndoHistory();
    CError* createUndoData(int32_t id, const CString& action, bool mergeable, int32_t value);
    CError* submitUndoData(int32_t id, const CString& action);
    CError* removeUndoData(int32_t id);
    CError* setUndoHistoryPos(int32_t position);
    int32_t undoPosition() const { return m_undoPosition; }
    const std::vector<CString>& undoLabels() const { return m_undoLabels; }

    static void initClass(CClassRecord& record);

protected:
    CError* send(CParamInterfaceMessage& message);
    // Commands with no field or a single integer.
    CError* sendCommand(const char* command);
    CError* sendCommand(const char* command, int32_t value);
    CError* readI32(int32_t& value) { return m_message->readValue(value); }
    CError* readF64(double& value) { return m_message->readValue(value); }
    CError* readStr(CString& text) { return m_message->readString(text); }
    CMemoryReader& message() { return *m_message; }

    // Called once the connector is known; the audio client asks for the instance's state here.
    virtual CError* onConnected() { return nullptr; }

    template <class T, CError* (T::*Handler)()>
    static void addMessage(CClassRecord& record, const char* name) {
        messageNames().insert(name);
        record.addEvent(name, [](CObject& object) { return (static_cast<T&>(object).*Handler)(); });
    }

private:
    static std::set<CString>& messageNames();
    int32_t nextHandle();

    CError* onUpdateParamInfo();
    CError* onUpdateParam();
    CError* onUpdateRegistry();
    CError* onRegistryData();
    CError* onUpdateUndoHistory();

    CParamInterfaceClientConnector* m_connector = nullptr;
    CMemoryReader* m_message = nullptr;
    int32_t m_slotCounter = 0;
    std::map<int32_t, SParamState> m_params;
    std::map<int32_t, CParamInterfaceRegistryListener*> m_registries;
    std::map<int32_t, SRegistryState> m_registryStates;
    int32_t m_undoPosition = 0;
    std::vector<CString> m_undoLabels;
};

} // namespace qel
