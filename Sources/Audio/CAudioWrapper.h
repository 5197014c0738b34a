#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <thread>
#include <vector>

#include "Audio/CAudioEventQueue.h"
#include "Audio/CAudioIdleChannels.h"
#include "Audio/CAudioInterfaceDataProvider.h"
#include "Audio/CAudioRoutingInfoProvider.h"
#include "Audio/CAudioWorker.h"
#include "Audio/Graph/CAudioBlockPool.h"
#include "Audio/Graph/CAudioGraphGate.h"
#include "Audio/Graph/CAudioProcessBase.h"
#include "Audio/Params/CAudioExtParamHostBridge.h"
#include "Audio/Params/CAudioParamChangeList.h"
#include "Audio/Params/CAudioParamPostQueue.h"
#include "Core/COwnedUpdateListener.h"
#include "Core/Platform/CCriticalSection.h"

namespace qel {

class CAudioCCTable;
class CAudioEnv;
class CAudioExtParam;
class CAudioExtParamList;
class CAudioInterfaceBase;
class CAudioParam;
class CAudioParamCollector;
class CAudioParamRegistry;
class CAudioProcess;
class CAudioVizCollector;
class CModOutput;
class CObject;

// The host-neutral core of one plug-in instance: builds the instance from the definition data,
// converts host buffers, cuts host blocks into sub-blocks, hands parameter changes to the audio side
// and follows the host's state. A host binding derives from it and implements the host bridge.
class CAudioWrapper : public CAudioExtParamHostBridge,
                      public CAudioInterfaceDataProvider,
                      public CAudioRoutingInfoProvider {
public:
    static constexpr uint32_t kMaxSubBlock = 512;
    static constexpr int32_t kMaxChannels = 16;

    // Makes the application object of a new instance; installed once per library.
    using ApplicationFactory = CError* (*)(CObject*& application);
    static void setApplicationFactory(ApplicationFactory factory);

    // Marks the calling thread as the audio thread while it processes a host block: what it would set
    // under parameter locks goes to the worker instead.
    class CAudioThreadScope {
    public:
        explicit CAudioThreadScope(CAudioWrapper& wrapper);
        ~CAudioThreadScope();
        CAudioThreadScope(const CAudioThreadScope&) = delete;
        CAudioThreadScope& operator=(const CAudioThreadScope&) = delete;

    private:
        CAudioWrapper& m_wrapper;
    };

    CAudioWrapper();
    ~CAudioWrapper() override;

    virtual CError* init();
    virtual void hostUpdateDisplay() = 0;
    virtual void hostBeginEdit(int32_t index) = 0;
    virtual void hostEndEdit(int32_t index) = 0;
    virtual bool hostSizeWindow(int32_t width, int32_t height);
    virtual void onLatencyChanged();
    virtual void onMidiEvent(const SAudioEvent& event);
    virtual void onParamEvent(const SAudioEvent& event);

    void finishInit();

    // Configuration, while suspended or between blocks.
    void setSampleRate(double rate);
    void setOffline(bool offline);
    void setInputConfig(int32_t mainCount, bool mainIsDouble, bool mainIsInterleaved, int32_t sidechainCount,
                        bool sidechainIsDouble, bool sidechainIsInterleaved);
    void setOutputConfig(int32_t count, bool isDouble, bool isInterleaved);
    void setHostTempo(double bpm);
    void setHostRecording(bool recording);

    void resume();
    void suspend();
    // One host block; channel pointers of float or double samples as configured (one pointer for
    // interleaved formats). Null channel pointers read as silence and are not written.
    void process(void* const* inputs, void* const* outputs, int32_t frames);
    void queueEvent(const SAudioEvent& event) { m_events.append(event); }

    // State chunks: a compressed block of the registry's preset or bank data, after 16 reserved bytes
    // when withHeader.
    CError* getChunk(CByteBuffer& buffer, bool isPreset, bool withHeader);
    CError* setChunk(const void* data, uint32_t size, bool isPreset, bool withHeader);

    void updateWindowSize();
    bool applyWindowSize();
    void updateChannelNames(bool notify);

    // CAudioInterfaceDataProvider
    int32_t getIntChannelCount() override { return m_intChannelCount; }
    int32_t getGroupCount() override { return m_groupCount; }
    int32_t getInputCount() override;
    int32_t getOutputCount() override;
    int32_t getSidechainCount() override;
    double getSampleRate() override;
    void beginParamEdit(const CAudioParam* paramId, int32_t lowKey, int32_t highKey) override;
    void endParamEdit(const CAudioParam* paramId, int32_t lowKey, int32_t highKey) override;
    void importChannelLabels() override;

    // CAudioRoutingInfoProvider
    void getRoutingInfo(SAudioRoutingInfo& out, int32_t options) override;

    // What the binding reads.
    const CString& pluginName() const { return m_pluginName; }
    const CString& vendorName() const { return m_vendorName; }
    uint32_t pluginCode() const { return m_pluginCode; }
    const int32_t* version() const { return m_version; }
    // The instance's root; an editor's user-interface tree reaches the parameter interface through it.
    CObject* applicationObject() const { return m_application; }
    CObject* projectObject() const { return m_project; }
    CObject* pluginObject() const { return m_plugin; }
    CAudioExtParamList* extParamList() const { return m_extParams; }
    CAudioParamRegistry* paramRegistry() const { return m_registry; }
    CAudioParamCollector* paramCollector() const { return m_collector; }
    CAudioInterfaceBase* interfaceBase() const { return m_interfaceBase; }
    CAudioCCTable* ccTable() const { return m_ccTable; }
    uint32_t latency() const;
    bool isForceTwoChannels() const { return m_forceTwoChannels; }
    bool isSymmetricIo() const { return m_symmetricIo; }
    bool isLatencyChanged() const { return m_latencyChanged; }
    void clearLatencyChanged() { m_latencyChanged = false; }
    bool isFirstResumeDone() const { return m_firstResumeDone; }
    void setFirstResumeDone() { m_firstResumeDone = true; }
    bool usesHostBpm() const { return m_useHostBpm; }
    bool usesHostRecording() const { return m_useHostRecording; }
    bool isHostAutomationActive() const { return m_hostAutomationActive; }
    int32_t hostOversamplingMode() const { return m_hostOversamplingMode; }
    double uiScale() const { return m_uiScale; }
    int32_t editorWidth() const { return m_editorWidth; }
    int32_t editorHeight() const { return m_editorHeight; }
    void setIntChannelCount(int32_t count) { m_intChannelCount = count; }
    CCriticalSection& routingLock() { return m_routingLock; }
    std::vector<CString>& inputChannelNames() { return m_inputNames; }
    std::vector<CString>& outputChannelNames() { return m_outputNames; }
    // Sets a parameter's first value of group 0 on behalf of the host; on the audio thread the worker
    // sets it.
    void setHostParam(CAudioParam* param, double value);
    CAudioParam* hostLatencyChangeParam() const { return m_hostLatencyChangeParam; }

    // The UI scale of the settings, for a monitor of that size (0 x 0: none).
    static double computeUiScale(int32_t monitorWidth, int32_t monitorHeight);
    // The host oversampling mode for offline work.
    static int32_t offlineOversamplingMode(int32_t level, double sampleRate);
    static CError* parseVersion(const CString& text, int32_t version[3]);
    static CError* acquirePluginCode(const CString& text, uint32_t& code);

protected:
    bool m_hostAutomationActive = false;

private:
    CError* findInstanceObjects();
    CError* readProductAttributes();
    CError* buildProcesses();
    void mapExternalParams();
    // The host index of a parameter value, -1 when the host does not see it.
    int32_t extParamIndex(const CAudioParam* paramId, int32_t lowKey, int32_t highKey) const;
    void readSettings();
    void reconfigureAndPrime();
    // Parameter changes reach the audio side inside the graph gate; holdsGate when the caller is in it.
    void handOver(bool firstSubBlock, uint32_t length, bool holdsGate);
    bool applyEventsAt(int32_t position);
    void readInputs(void* const* inputs, uint32_t offset, uint32_t length);
    void writeOutputs(void* const* outputs, uint32_t offset, uint32_t length);
    void meterOutputs(uint32_t length);
    void refreshLatency();
    // Moves the audio time on by that many frames; the new time.
    double advanceTime(uint32_t frames);
    // What the audio thread leaves to the worker: host values to set, processes to build and free.
    void runWorkerTask();
    void applyHostPosts();
    void onProgramChange(const SUpdateRecord* record, const SUpdateEntry& entry);
    void onWindowSizeChange(const SUpdateRecord* record, const SUpdateEntry& entry);

    CObject* m_application = nullptr;
    CObject* m_project = nullptr;
    CObject* m_plugin = nullptr;
    CAudioExtParamList* m_extParams = nullptr;
    CAudioParamRegistry* m_registry = nullptr;
    uint32_t m_pluginCode = 0;
    int32_t m_intChannelCount = 1;
    int32_t m_groupCount = 1;
    int32_t m_version[3] = {};
    bool m_hasTail = false;
    double m_tailLength = 0;
    bool m_forceTwoChannels = false;
    bool m_latencyChanged = true;
    bool m_useSidechain = false;
    bool m_vizAlwaysActive = false;
    bool m_symmetricIo = false;

    int32_t m_totalInputs = 0;
    int32_t m_outputs = 0;
    int32_t m_sidechainInputs = 0;
    bool m_mainInputsDouble = false;
    bool m_mainInputsInterleaved = false;
    bool m_sidechainDouble = false;
    bool m_sidechainInterleaved = false;
    bool m_outputsDouble = false;
    bool m_outputsInterleaved = false;
    bool m_reconfigureNeeded = false;
    void* const* m_sidechainPointers = nullptr;

    CCriticalSection m_routingLock{4000};
    std::vector<CString> m_inputNames;
    std::vector<CString> m_outputNames;

    CAudioEventQueue m_events;
    int32_t m_eventReadIndex = 0;
    int32_t m_frameCounter = 0;

    CAudioEnv* m_env = nullptr;
    CAudioInterfaceBase* m_interfaceBase = nullptr;
    CAudioParamCollector* m_collector = nullptr;
    CAudioVizCollector* m_vizCollector = nullptr;
    CAudioBlockPool m_pool;
    SAudioProcessEnv m_processEnv;
    CAudioGraphGate m_graphGate;
    CAudioIdleChannels m_idleChannels;
    CAudioParamPostQueue m_hostPosts;
    std::unique_ptr<CAudioWorker> m_worker;
    // The thread inside a host block, and how deep; no thread-local data, which a plug-in unloaded
    // from a running host would leave in every thread that touched it.
    std::atomic<std::thread::id> m_audioThread{};
    int32_t m_audioScopeDepth = 0;
    CAudioParamChangeList m_takenChanges;

    CString m_pluginName;
    CString m_vendorName;
    CString m_mainProcessName = "plugin.modMain";
    std::unique_ptr<CAudioProcess> m_mainProcess;
    CString m_outputProcessName = "plugin.modOutput";
    std::unique_ptr<CAudioProcessBase> m_outputProcess;
    CModOutput* m_output = nullptr;
    SAudioFormat m_format;
    CAudioCCTable* m_ccTable = nullptr;
    std::map<const CAudioParam*, std::map<int32_t, int32_t>> m_extParamMap;

    int32_t m_autoOversamplingRtMode = 1;
    int32_t m_oversamplingLevel = 1;
    int32_t m_hostOversamplingMode = -1000;
    double m_hostTempo = -1.0;
    bool m_hostRecording = false;
    bool m_useHostBpm = false;
    bool m_useHostRecording = false;
    bool m_offline = false;
    bool m_firstResumeDone = false;

    CAudioParam* m_hostOversamplingModeParam = nullptr;
    CAudioParam* m_hostOfflineParam = nullptr;
    CAudioParam* m_hostLatencyChangeParam = nullptr;
    CAudioParam* m_hostBpmParam = nullptr;
    CAudioParam* m_hostRecParam = nullptr;
    CAudioParam* m_bypassParam = nullptr;

    CAudioParam* m_windowSizeParam = nullptr;
    double m_uiScale = 1.0;
    bool m_useWindowResizing = false;
    bool m_useRouting = false;
    bool m_useMidSide = false;
    int32_t m_editorWidth = 0;
    int32_t m_editorHeight = 0;

    std::unique_ptr<COwnedUpdateListener<CAudioWrapper>> m_winSizeListener;
    std::unique_ptr<COwnedUpdateListener<CAudioWrapper>> m_programChangeListener;
    std::vector<SAudioBlock*> m_primeBlocks;
};

} // namespace qel
