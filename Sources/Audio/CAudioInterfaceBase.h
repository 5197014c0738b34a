#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "Audio/CAudioParamUndo.h"
#include "Core/Platform/CCriticalSection.h"

namespace qel {

class CAudioInterfaceDataProvider;

// "audio:interface-base": the instance's end of the parameter interface and its undo history. The
// core tells it about audio state changes, which it passes on to every connected client.
class CAudioInterfaceBase : public CAudioParamUndo {
public:
    class CStateListener {
    public:
        virtual ~CStateListener() = default;
        // message is "start-viz", "stop-viz", "clear-client", "update-io-channel-counts" or
        // "update-sample-rate"; sequence counts sample-rate updates.
        virtual void onAudioState(const CString& message, int64_t sequence) = 0;
    };

    void setDataProvider(CAudioInterfaceDataProvider* provider) { m_provider = provider; }
    CAudioInterfaceDataProvider* dataProvider() const { return m_provider; }

    void addStateListener(CStateListener* listener);
    void removeStateListener(CStateListener* listener);

    void sendStartViz() { broadcast("start-viz", 0); }
    void sendStopViz() { broadcast("stop-viz", 0); }
    void sendClearClient() { broadcast("clear-client", 0); }
    void sendUpdateIoChannelCounts() { broadcast("update-io-channel-counts", 0); }
    void sendUpdateSampleRate() { broadcast("update-sample-rate", ++m_sampleRateSequence); }

private:
    void broadcast(const CString& message, int64_t sequence);

    CAudioInterfaceDataProvider* m_provider = nullptr;
    CCriticalSection m_lock{4000};
    std::vector<CStateListener*> m_listeners;
    std::atomic<int64_t> m_sampleRateSequence{0};
};

} // namespace qel
