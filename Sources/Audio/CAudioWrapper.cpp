#include "Audio/CAudioWrapper.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <thread>

#include "Audio/CAudioCCTable.h"
#include "Audio/CAudioEnv.h"
#include "Audio/CAudioInterfaceBase.h"
#include "Audio/CAudioVizCollector.h"
#include "Audio/Graph/CAudioProcess.h"
#include "Audio/Graph/CAudioProcessDefBase.h"
#include "Audio/Params/CAudioExtParam.h"
#include "Audio/Params/CAudioExtParamList.h"
#include "Audio/Params/CAudioParam.h"
#include "Audio/Params/CAudioParamCollector.h"
#include "Audio/Params/CAudioParamRegistry.h"
#include "Audio/Processes/CModOutput.h"
#include "Core/CApplication.h"
#include "Core/CDebugLog.h"
#include "Core/CMemoryReader.h"
#include "Core/CObject.h"
#include "Core/CResourceContainer.h"
#include "Core/CWriteSeqBuffer.h"
#include "Core/Platform/PlatformDisplay.h"
#include "UI/CAppDataGroup.h"
#include "UI/CAppDataLocal.h"

namespace qel {

namespace {

CAudioWrapper::ApplicationFactory g_applicationFactory = nullptr;

constexpr uint32_t kPresetTag = qelFourCC("aprs");
constexpr uint32_t kBankTag = qelFourCC("abnk");
constexpr uint32_t kChunkHeaderBytes = 16;

// "0"/"false" and anything unknown are off; "1"/"true" are on.
bool settingIsOn(const CString& text) {
    return text == "1" || text == "true";
}

CString readGroupSetting(const char* name, const char* fallback) {
    CString text;
    if (!CAppDataGroup::instance().getText(name, text)) return fallback;
    return text;
}

double roundHalfAway(double value) {
    return value < 0 ? -std::floor(-value + 0.5) : std::floor(value + 0.5);
}

template <class T>
T readSample(const void* channel, uint32_t index) {
    return static_cast<const T*>(channel)[index];
}

} // namespace

void CAudioWrapper::setApplicationFactory(ApplicationFactory factory) {
    g_applicationFactory = factory;
}

// Only the processing thread enters and leaves; other threads compare their id with the one it set.
CAudioWrapper::CAudioThreadScope::CAudioThreadScope(CAudioWrapper& wrapper) : m_wrapper(wrapper) {
    if (m_wrapper.m_audioScopeDepth++ == 0)
        m_wrapper.m_audioThread.store(std::this_thread::get_id(), std::memory_order_release);
}

CAudioWrapper::CAudioThreadScope::~CAudioThreadScope() {
    if (--m_wrapper.m_audioScopeDepth == 0)
        m_wrapper.m_audioThread.store(std::thread::id(), std::memory_order_release);
}

CAudioWrapper::CAudioWrapper() = default;

CAudioWrapper::~CAudioWrapper() {
    if (m_worker) m_worker->finish();
    m_programChangeListener.reset();
    m_winSizeListener.reset();
    for (SAudioBlock* block : m_primeBlocks)
        CAudioBlockPool::release(block);
    m_primeBlocks.clear();
    m_mainProcess.reset();
    m_outputProcess.reset();
    m_takenChanges.clear();
    if (m_application) CApplication::releaseRootObject(m_application);
}

bool CAudioWrapper::hostSizeWindow(int32_t, int32_t) {
    return false;
}

// Initialisation.

CError* CAudioWrapper::init() {
    const double start = CDebugLog::now();
    if (!g_applicationFactory)
        return QEL_ERROR({}, "@qelstr_CAudioWrapper_init_NoApp No application object created.");
    QEL_CHECK(g_applicationFactory(m_application));
    if (!m_application)
        return QEL_ERROR({}, "@qelstr_CAudioWrapper_init_NoApp No application object created.");

    CObject* audio = nullptr;
    QEL_CHECK(m_application->findObjectChecked("shared::audio", audio));
    CObject* created = nullptr;
    QEL_CHECK(m_application->createChild(audio->getAttr("plugin-tag"), "plugin", true, nullptr, created));
    QEL_CHECK(m_application->findObjectChecked("plugin", m_plugin));
    QEL_CHECK(m_application->findObjectChecked("shared::project", m_project));
    QEL_CHECK(readProductAttributes());
    QEL_CHECK(findInstanceObjects());

    m_processEnv.collector = m_collector;
    m_processEnv.pool = &m_pool;
    // Without routing every channel belongs to the first group: one set of settings for the track.
    m_processEnv.channelGroups.assign(size_t(kMaxChannels), 0);
    m_worker = std::make_unique<CAudioWorker>([this] { runWorkerTask(); });
    m_processEnv.worker = m_worker.get();

    m_hostOversamplingModeParam = m_collector->getParam("plugin.modMain.host-oversampling-mode");
    m_hostOfflineParam = m_collector->getParam("plugin.modMain.host-offline");
    m_hostLatencyChangeParam = m_collector->getParam("plugin.modMain.host-latency-change");
    m_bypassParam = m_collector->getParam("plugin.modMain.bypass-enable");

    m_autoOversamplingRtMode = m_project->getAttrInt("auto-oversampling-rtmode", 1);
    m_vizAlwaysActive = m_project->getAttrBool("is-viz-always-active");
    m_symmetricIo = m_project->getAttrBool("is-symmetric-io");
    m_useHostBpm = m_project->getAttrBool("use-host-bpm");
    if (m_useHostBpm) {
        m_hostTempo = -1.0;
        m_hostBpmParam = m_collector->getParam("plugin.modMain.host-bpm");
    }
    m_useHostRecording = m_project->getAttrBool("use-host-recording");
    if (m_useHostRecording) {
        m_hostRecording = false;
        m_hostRecParam = m_collector->getParam("plugin.modMain.host-rec");
    }

    QEL_CHECK(buildProcesses());

    m_windowSizeParam = m_collector->getParam("plugin.modMain.main-window-size");
    updateWindowSize();
    m_useWindowResizing = m_project->getAttrBool("use-window-resizing");
    if (m_useWindowResizing) {
        applyWindowSize();
        m_winSizeListener =
            std::make_unique<COwnedUpdateListener<CAudioWrapper>>(this, &CAudioWrapper::onWindowSizeChange);
        m_winSizeListener->attach(m_collector, 0);
    }
    m_useSidechain = m_project->getAttrBool("use-sidechain");
    m_useRouting = m_project->getAttrBool("use-routing");
    m_useMidSide = m_useRouting && m_project->getAttrBool("use-mid-side");
    m_registry->setRoutingInfoProvider(this);

    const SAudioFormat format{m_env->sampleRate, kMaxSubBlock, 1};
    QEL_CHECK(m_mainProcess->prepare(format));
    QEL_CHECK(m_outputProcess->prepare(format));
    m_mainProcess->addDestination(0, m_outputProcess.get(), 0);
    m_format = format;

    mapExternalParams();

    m_totalInputs = 1;
    m_outputs = 1;
    m_reconfigureNeeded = true;

    readSettings();
    setOffline(false);

    CDebugLog::logTiming("CAudioWrapper init time: %.4f s @ %.4f s", CDebugLog::now() - start);
    return nullptr;
}

CError* CAudioWrapper::readProductAttributes() {
    m_pluginName = m_project->getAttr("app-name");
    m_vendorName = m_project->getAttr("app-vendor");
    if (m_pluginName.isEmpty())
        return QEL_ERROR({}, "@qelstr_CAudioWrapper_init_PluginNameEmpty Plug-in name is empty.");
    if (m_vendorName.isEmpty())
        return QEL_ERROR({}, "@qelstr_CAudioWrapper_init_VendorNameEmpty Vendor name is empty.");
    int32_t channels = 0;
    if (!m_project->getAttr("plugin-intchannel-count").parseInt32(channels) || channels < 1 || channels > 16)
        return QEL_ERROR({}, "@qelstr_CAudioWrapper_init_InvalidIntChannelCount Invalid "
                             "'plugin-intchannel-count' attribute value.");
    m_intChannelCount = channels;
    int32_t groups = 0;
    if (!m_project->getAttr("plugin-group-count").parseInt32(groups) || groups < 1 || groups > 8)
        return QEL_ERROR({}, "@qelstr_CAudioWrapper_init_InvalidGroupCount Invalid 'plugin-group-count' "
                             "attribute value.");
    m_groupCount = groups;
    QEL_CHECK(acquirePluginCode(m_project->getAttr("plugin-code"), m_pluginCode));
    QEL_CHECK(parseVersion(m_project->getAttr("app-version"), m_version));
    const CString tail = m_project->getAttr("plugin-tail");
    m_hasTail = !tail.isEmpty();
    m_tailLength = 0;
    if (m_hasTail && !tail.parseDouble(m_tailLength)) m_tailLength = 0.4;
    return nullptr;
}

CError* CAudioWrapper::acquirePluginCode(const CString& text, uint32_t& code) {
    if (text.length() != 4)
        return QEL_ERROR({},
                         "@qelstr_CAudioWrapper_acquirePluginCode_PluginCodeError Invalid plug-in code in "
                         "string '%1'.",
                         text);
    code = 0;
    for (size_t i = 0; i < 4; ++i)
        code = (code << 8) | (text.at(i) & 0xFF);
    return nullptr;
}

CError* CAudioWrapper::parseVersion(const CString& text, int32_t version[3]) {
    const std::vector<CString> pieces = text.split('.');
    bool valid = pieces.size() == 2 || pieces.size() == 3;
    int32_t numbers[3] = {0, 0, 0};
    for (size_t i = 0; valid && i < pieces.size(); ++i) {
        for (size_t c = 0; c < pieces[i].length(); ++c)
            valid = valid && pieces[i].at(c) >= '0' && pieces[i].at(c) <= '9';
        valid = valid && pieces[i].parseInt32(numbers[i]);
    }
    if (!valid)
        return QEL_ERROR({},
                         "@qelstr_CAudioWrapper_parseVersion_InvalidVersion Invalid version specification in "
                         "string '%1'.",
                         text);
    std::copy(numbers, numbers + 3, version);
    return nullptr;
}

CError* CAudioWrapper::findInstanceObjects() {
    QEL_CHECK(m_application->findObjectChecked("plugin.audio-env", m_env));
    QEL_CHECK(m_application->findObjectChecked("plugin.param-collector", m_collector));
    QEL_CHECK(m_application->findObjectChecked("plugin.viz-collector", m_vizCollector));
    QEL_CHECK(m_application->findObjectChecked("plugin.interface-base", m_interfaceBase));
    QEL_CHECK(m_application->findObjectChecked("plugin.ext-param-list", m_extParams));
    QEL_CHECK(m_application->findObjectChecked("plugin.cctable", m_ccTable));
    QEL_CHECK(m_application->findObjectChecked("plugin.param-registry", m_registry));
    return nullptr;
}

CError* CAudioWrapper::buildProcesses() {
    CAudioProcessDefBase* mainDef = nullptr;
    QEL_CHECK(m_application->findObjectChecked("shared::audio.modMain", mainDef));
    m_mainProcess = std::make_unique<CAudioProcess>();
    QEL_CHECK(m_mainProcess->init(*mainDef, m_processEnv, m_mainProcessName, nullptr, 0));
    CAudioProcessDefBase* outDef = nullptr;
    QEL_CHECK(m_application->findObjectChecked("shared::audio.modOutput", outDef));
    m_outputProcess = outDef->createProcess();
    m_output = dynamic_cast<CModOutput*>(m_outputProcess.get());
    if (!m_output)
        return QEL_ERROR({}, "@qelstr_CAudioWrapper_init_InvalidOutProcessType Output process object "
                             "'shared::audio.modOutput' is not of required 'CModOutput' type.");
    QEL_CHECK(m_outputProcess->init(*outDef, m_processEnv, m_outputProcessName, nullptr, 0));
    return nullptr;
}

void CAudioWrapper::mapExternalParams() {
    const std::vector<CAudioExtParam*>& entries = m_extParams->entries();
    for (size_t i = 0; i < entries.size(); ++i) {
        entries[i]->attachHost(this, int32_t(i));
        m_extParamMap[entries[i]->param()][entries[i]->key()] = int32_t(i);
    }
}

void CAudioWrapper::readSettings() {
    int32_t level = 1;
    if (!readGroupSetting("oversampling-level", "1").parseInt32(level)) level = 1;
    m_oversamplingLevel = level;
    m_forceTwoChannels = settingIsOn(readGroupSetting("force-2ch", "0"));
}

void CAudioWrapper::finishInit() {
    m_interfaceBase->setDataProvider(this);
    m_programChangeListener =
        std::make_unique<COwnedUpdateListener<CAudioWrapper>>(this, &CAudioWrapper::onProgramChange);
    m_programChangeListener->attach(m_registry, 0);
    // What the host and the editor show must be what is heard from the first block on.
    m_registry->applyCurrentProgram();
    resume();
    suspend();
    m_hostAutomationActive = true;
    qelErrLog(m_worker->start());
}

void CAudioWrapper::runWorkerTask() {
    applyHostPosts();
    CAudioGraphGate::CGuard guard(m_graphGate);
    m_mainProcess->buildGraphs();
    m_outputProcess->buildGraphs();
}

void CAudioWrapper::applyHostPosts() {
    m_hostPosts.takeAll([](CAudioParam* param, double value) { param->setValue(0, 0, 0, value); });
}

// Configuration.

void CAudioWrapper::setSampleRate(double rate) {
    {
        CCriticalSectionGuard guard(m_env->lock());
        if (rate == m_env->sampleRate) return;
        m_env->sampleRate = rate;
        m_reconfigureNeeded = true;
    }
    m_interfaceBase->sendUpdateSampleRate();
}

void CAudioWrapper::setInputConfig(int32_t mainCount, bool mainIsDouble, bool mainIsInterleaved,
                                   int32_t sidechainCount, bool sidechainIsDouble,
                                   bool sidechainIsInterleaved) {
    const int32_t total = mainCount + sidechainCount;
    m_mainInputsDouble = mainIsDouble;
    m_mainInputsInterleaved = mainIsInterleaved;
    m_sidechainDouble = sidechainIsDouble;
    m_sidechainInterleaved = sidechainIsInterleaved;
    if (total == m_totalInputs && sidechainCount == m_sidechainInputs) return;
    CCriticalSectionGuard guard(m_env->lock());
    m_totalInputs = total;
    m_sidechainInputs = sidechainCount;
    m_reconfigureNeeded = true;
}

void CAudioWrapper::setOutputConfig(int32_t count, bool isDouble, bool isInterleaved) {
    if (count != m_outputs) {
        CCriticalSectionGuard guard(m_env->lock());
        m_outputs = count;
        m_reconfigureNeeded = true;
    }
    m_outputsDouble = isDouble;
    m_outputsInterleaved = isInterleaved;
}

int32_t CAudioWrapper::offlineOversamplingMode(int32_t level, double sampleRate) {
    int32_t mode = level + (sampleRate < 72000 ? 1 : sampleRate < 144000 ? 0 : -1);
    return std::clamp(mode, 0, 3);
}

void CAudioWrapper::setOffline(bool offline) {
    if (offline != m_offline) {
        m_offline = offline;
        setHostParam(m_hostOfflineParam, offline ? 1.0 : 0.0);
    }
    const int32_t mode = offline ? offlineOversamplingMode(m_oversamplingLevel, getSampleRate())
                                 : m_autoOversamplingRtMode - 1;
    if (mode == m_hostOversamplingMode) return;
    m_hostOversamplingMode = mode;
    setHostParam(m_hostOversamplingModeParam, double(mode));
}

void CAudioWrapper::setHostTempo(double bpm) {
    if (!m_useHostBpm || bpm == m_hostTempo) return;
    m_hostTempo = bpm;
    setHostParam(m_hostBpmParam, bpm);
}

void CAudioWrapper::setHostRecording(bool recording) {
    if (!m_useHostRecording || recording == m_hostRecording) return;
    m_hostRecording = recording;
    setHostParam(m_hostRecParam, recording ? 1.0 : 0.0);
}

void CAudioWrapper::setHostParam(CAudioParam* param, double value) {
    if (!param) return;
    if (m_worker && m_audioThread.load(std::memory_order_acquire) == std::this_thread::get_id()) {
        // A full queue only happens when the worker cannot run: the newest value is dropped.
        if (m_hostPosts.post(param, value)) m_worker->wake();
        return;
    }
    // Values posted earlier must not land after this one.
    applyHostPosts();
    param->setValue(0, 0, 0, value);
}

int32_t CAudioWrapper::getInputCount() {
    CCriticalSectionGuard guard(m_env->lock());
    return m_totalInputs - m_sidechainInputs;
}

int32_t CAudioWrapper::getOutputCount() {
    CCriticalSectionGuard guard(m_env->lock());
    return m_outputs;
}

int32_t CAudioWrapper::getSidechainCount() {
    CCriticalSectionGuard guard(m_env->lock());
    return m_sidechainInputs;
}

double CAudioWrapper::getSampleRate() {
    CCriticalSectionGuard guard(m_env->lock());
    return m_env->sampleRate;
}

uint32_t CAudioWrapper::latency() const {
    CCriticalSectionGuard guard(m_env->lock());
    return m_env->latency;
}

// Resume, suspend and processing.

void CAudioWrapper::resume() {
    {
        CCriticalSectionGuard guard(m_env->lock());
        if (m_env->resumed) return;
        m_env->resumed = true;
    }
    m_interfaceBase->sendStartViz();
    if (!m_vizAlwaysActive) m_interfaceBase->sendClearClient();
    reconfigureAndPrime();
}

void CAudioWrapper::suspend() {
    {
        CCriticalSectionGuard guard(m_env->lock());
        if (!m_env->resumed) return;
        m_env->resumed = false;
    }
    reconfigureAndPrime();
    {
        CAudioGraphGate::CGuard gate(m_graphGate);
        m_mainProcess->reset();
        m_outputProcess->reset();
    }
    if (!m_vizAlwaysActive) m_interfaceBase->sendStopViz();
    m_vizCollector->reset();
    if (m_vizAlwaysActive) m_interfaceBase->sendClearClient();
}

void CAudioWrapper::reconfigureAndPrime() {
    // Not the audio thread's turn: whatever must be built is built here, at once.
    CAudioGraphGate::CGuard gate(m_graphGate);
    m_processEnv.buildInPlace = true;
    if (m_reconfigureNeeded) {
        m_reconfigureNeeded = false;
        m_interfaceBase->sendUpdateIoChannelCounts();
        m_format = SAudioFormat{getSampleRate(), kMaxSubBlock, std::max(m_totalInputs, 1)};
        qelErrLog(m_mainProcess->prepare(m_format));
        qelErrLog(m_outputProcess->prepare(m_format));
        m_vizCollector->prepare(m_format.channelCount, m_outputs, m_format.sampleRate);
        refreshLatency();
    }
    m_idleChannels.reset();
    m_eventReadIndex = 0;
    m_frameCounter = 0;
    applyEventsAt(0);
    handOver(true, 1, true);

    const uint32_t latencyBefore = latency();
    for (int32_t c = 0; c < m_format.channelCount; ++c) {
        SAudioBlock* block = m_pool.take(1);
        block->samples()[0] = 0.0;
        m_mainProcess->receive(0, c, block);
    }
    m_mainProcess->run();
    m_outputProcess->run();
    refreshLatency();
    advanceTime(1);
    m_processEnv.buildInPlace = false;
    if (latency() != latencyBefore) onLatencyChanged();
    m_events.clear();
}

// Editors read the time for their meters; a pointer-swap-sized turn of the lock.
double CAudioWrapper::advanceTime(uint32_t frames) {
    CCriticalSectionGuard guard(m_env->lock());
    m_env->currentTime += frames / m_format.sampleRate;
    return m_env->currentTime;
}

void CAudioWrapper::refreshLatency() {
    const auto samples = uint32_t(std::max<int64_t>(0, m_mainProcess->ownDelay()));
    m_idleChannels.setMemory(samples + uint64_t(CAudioProcess::kSettleSeconds * m_format.sampleRate));
    if (samples == m_env->latency) return;
    CCriticalSectionGuard guard(m_env->lock());
    m_env->latency = samples;
}

bool CAudioWrapper::applyEventsAt(int32_t position) {
    bool applied = false;
    while (m_eventReadIndex < m_events.count() && m_events[m_eventReadIndex].position <= position) {
        const SAudioEvent& event = m_events[m_eventReadIndex++];
        if (event.kind == 0)
            onMidiEvent(event);
        else
            onParamEvent(event);
        applied = true;
    }
    return applied;
}

void CAudioWrapper::onMidiEvent(const SAudioEvent&) {}

void CAudioWrapper::onParamEvent(const SAudioEvent& event) {
    if (CAudioExtParam* entry = m_extParams->entry(event.paramIndex()))
        entry->setNormalized(event.paramValue());
}

void CAudioWrapper::handOver(bool firstSubBlock, uint32_t length, bool holdsGate) {
    int32_t request = 0;
    int32_t count = 0;
    {
        CCriticalSectionGuard guard(m_env->lock());
        if (firstSubBlock) {
            m_env->blockEndTime = m_env->currentTime + length / m_env->sampleRate;
            m_vizCollector->takePending(request, count);
        }
    }
    if (firstSubBlock) m_vizCollector->process(request, count);
    // While another thread works on the graph, the changes wait for a later sub-block.
    if (!holdsGate && !m_graphGate.tryEnterAudio()) return;
    const bool changed = m_collector->exchangePending(m_takenChanges);
    if (firstSubBlock) {
        m_mainProcess->exchangeGraphs();
        m_outputProcess->exchangeGraphs();
    }
    if (changed) {
        m_takenChanges.applyToAudio();
        m_mainProcess->applyParamUpdates();
        m_outputProcess->applyParamUpdates();
    }
    if (!holdsGate) m_graphGate.leaveAudio();
    refreshLatency();
}

void CAudioWrapper::process(void* const* inputs, void* const* outputs, int32_t frames) {
    CAudioThreadScope audioThread(*this);
    const uint32_t latencyBefore = latency();
    m_events.sort();
    m_eventReadIndex = 0;
    m_frameCounter = 0;
    bool first = true;
    while (m_frameCounter < frames) {
        const bool applied = applyEventsAt(m_frameCounter);
        int32_t length = std::min<int32_t>(frames - m_frameCounter, int32_t(kMaxSubBlock));
        if (m_eventReadIndex < m_events.count())
            length = std::min(length, m_events[m_eventReadIndex].position - m_frameCounter);
        if (first || applied) handOver(first, uint32_t(length), false);
        first = false;

        readInputs(inputs, uint32_t(m_frameCounter), uint32_t(length));
        m_mainProcess->run();
        m_outputProcess->run();
        refreshLatency();
        writeOutputs(outputs, uint32_t(m_frameCounter), uint32_t(length));
        meterOutputs(uint32_t(length));

        m_frameCounter += length;
        m_vizCollector->endSubBlock(advanceTime(uint32_t(length)), uint32_t(length));
    }
    if (latency() != latencyBefore) onLatencyChanged();
    m_events.clear();
}

void CAudioWrapper::readInputs(void* const* inputs, uint32_t offset, uint32_t length) {
    const int32_t mainCount = m_totalInputs - m_sidechainInputs;
    auto fill = [&](int32_t channel, void* const* pointers, int32_t index, int32_t count, bool isDouble,
                    bool interleaved) {
        SAudioBlock* block = m_pool.take(length);
        double* samples = block->samples();
        const void* source = pointers ? (interleaved ? pointers[0] : pointers[index]) : nullptr;
        if (!source) {
            std::fill(samples, samples + length, 0.0);
        } else {
            const uint32_t stride = interleaved ? uint32_t(count) : 1;
            const uint32_t start = interleaved ? offset * stride + uint32_t(index) : offset;
            for (uint32_t i = 0; i < length; ++i)
                samples[i] = isDouble ? readSample<double>(source, start + i * stride)
                                      : double(readSample<float>(source, start + i * stride));
        }
        m_vizCollector->meterInput(channel, samples, length);
        if (m_idleChannels.takeBlock(channel, samples, length))
            m_mainProcess->receive(0, channel, block);
        else
            CAudioBlockPool::release(block);
    };
    for (int32_t c = 0; c < mainCount && c < m_format.channelCount; ++c)
        fill(c, inputs, c, mainCount, m_mainInputsDouble, m_mainInputsInterleaved);
    for (int32_t s = 0; s < m_sidechainInputs && mainCount + s < m_format.channelCount; ++s)
        fill(mainCount + s, m_sidechainPointers, s, m_sidechainInputs, m_sidechainDouble,
             m_sidechainInterleaved);
}

void CAudioWrapper::writeOutputs(void* const* outputs, uint32_t offset, uint32_t length) {
    if (!outputs) return;
    for (int32_t c = 0; c < m_outputs; ++c) {
        void* target = m_outputsInterleaved ? outputs[0] : outputs[c];
        if (!target) continue;
        const uint32_t stride = m_outputsInterleaved ? uint32_t(m_outputs) : 1;
        const uint32_t start = m_outputsInterleaved ? offset * stride + uint32_t(c) : offset;
        const SAudioBlock* block = c < m_format.channelCount ? m_output->block(c) : nullptr;
        const uint32_t held = block ? std::min(block->length, length) : 0;
        // Hosts get no subnormal numbers: they are inaudible and slow down whatever follows.
        for (uint32_t i = 0; i < length; ++i) {
            double value = i < held ? block->samples()[i] : 0.0;
            if (m_outputsDouble) {
                if (std::fabs(value) < DBL_MIN) value = 0.0;
                static_cast<double*>(target)[start + i * stride] = value;
            } else {
                if (std::fabs(value) < double(FLT_MIN)) value = 0.0;
                static_cast<float*>(target)[start + i * stride] = float(value);
            }
        }
    }
}

void CAudioWrapper::meterOutputs(uint32_t length) {
    if (!m_vizCollector->isMetering()) return;
    for (int32_t c = 0; c < m_outputs && c < m_format.channelCount; ++c)
        if (const SAudioBlock* block = m_output->block(c))
            m_vizCollector->meterOutput(c, block->samples(), std::min(block->length, length));
}

void CAudioWrapper::onLatencyChanged() {
    m_latencyChanged = true;
    m_firstResumeDone = false;
    setHostParam(m_hostLatencyChangeParam, 1.0);
}

// State chunks.

CError* CAudioWrapper::getChunk(CByteBuffer& buffer, bool isPreset, bool withHeader) {
    CWriteSeqBuffer data(16384);
    if (isPreset)
        QEL_CHECK(m_registry->acquirePreset(false, -1, -1, data));
    else
        QEL_CHECK(m_registry->acquireBank(false, data));
    buffer = data.join();
    CWriteSeqBuffer chunk(16384);
    if (withHeader) {
        const int32_t reserved[4] = {0, 0, 0, 0};
        QEL_CHECK(chunk.write(reserved, sizeof reserved));
    }
    QEL_CHECK(chunk.writeCompressedData(buffer, isPreset ? kPresetTag : kBankTag));
    buffer = chunk.join();
    return nullptr;
}

CError* CAudioWrapper::setChunk(const void* data, uint32_t size, bool isPreset, bool withHeader) {
    // A header alone carries no state; hosts hand an empty chunk over as a null pointer.
    if (withHeader && size <= kChunkHeaderBytes) return nullptr;
    if (!data)
        return QEL_ERROR({}, "@qelstr_CAudioWrapper_setChunk_NoData Chunk of %1 bytes without data.", size);
    const auto* bytes = static_cast<const uint8_t*>(data);
    if (withHeader) {
        bytes += kChunkHeaderBytes;
        size -= kChunkHeaderBytes;
    }
    // The block must be whole, with the zlib trailer matching what it decodes to. Hosts pad chunks or
    // hand back a larger buffer, so whatever follows the block is left unread.
    const uint32_t tag = isPreset ? kPresetTag : kBankTag;
    CByteBuffer content;
    bool found = false;
    uint32_t used = 0;
    QEL_CHECK(CResourceContainer::readLeading(bytes, size, tag, content, found, used));
    if (!found) {
        CMemoryReaderStatic reader(bytes, int32_t(size));
        QEL_CHECK(reader.readCompressedData(content, tag));
    }
    CMemoryReader contentReader(std::move(content));
    if (isPreset)
        QEL_CHECK(m_registry->activatePreset(contentReader, true, -1));
    else
        QEL_CHECK(m_registry->activateBank(contentReader, true));
    return nullptr;
}

// Window size.

double CAudioWrapper::computeUiScale(int32_t monitorWidth, int32_t monitorHeight) {
    CAppDataLocal& store = CAppDataLocal::instance();
    CString text;
    bool useScreen = true;
    if (store.getText("ui-scale-usesr", text)) useScreen = !(text == "false" || text == "0");
    double scale = 1.0;
    if (!store.getText(useScreen ? "ui-scale2" : "ui-scale", text) || !text.parseDouble(scale)) scale = 1.0;
    if (!useScreen) return scale;
    const int32_t shorter = std::min(monitorWidth, monitorHeight);
    if (monitorWidth > 0 && monitorHeight > 0) scale *= shorter / 1080.0;
    scale = roundHalfAway(scale / 0.05) * 0.05;
    return std::max(scale, 0.8);
}

void CAudioWrapper::updateWindowSize() {
    int32_t width = 0, height = 0;
    platform::primaryMonitorSize(width, height);
    m_uiScale = computeUiScale(width, height);
    applyWindowSize();
}

bool CAudioWrapper::applyWindowSize() {
    if (!m_windowSizeParam) return false;
    double baseWidth = 400, baseHeight = 300;
    {
        CAudioParam::CAccess access(*m_windowSizeParam, nullptr);
        const CAudioParamStorage& values = m_windowSizeParam->values();
        if (values.hasValue(0, 0)) baseWidth = values.getValue(0, 0, baseWidth);
        if (values.hasValue(0, 1)) baseHeight = values.getValue(0, 1, baseHeight);
    }
    const auto width = int32_t(roundHalfAway(baseWidth * m_uiScale));
    const auto height = int32_t(roundHalfAway(baseHeight * m_uiScale));
    if (width == m_editorWidth && height == m_editorHeight) return true;
    m_editorWidth = width;
    m_editorHeight = height;
    if (m_hostAutomationActive) return hostSizeWindow(width, height);
    return true;
}

void CAudioWrapper::onWindowSizeChange(const SUpdateRecord* record, const SUpdateEntry&) {
    if (!record || record->kind != SAudioParamUpdate::kKind) return;
    if (static_cast<const SAudioParamUpdate*>(record)->param == m_windowSizeParam) applyWindowSize();
}

// Programs and routing.

void CAudioWrapper::onProgramChange(const SUpdateRecord* record, const SUpdateEntry&) {
    if (!record || record->kind != SAudioProgramChange::kKind) return;
    if (static_cast<const SAudioProgramChange*>(record)->originator == this) return;
    if (m_hostAutomationActive) hostUpdateDisplay();
}

void CAudioWrapper::updateChannelNames(bool notify) {
    CCriticalSectionGuard guard(m_routingLock);
    (void)notify;
}

void CAudioWrapper::getRoutingInfo(SAudioRoutingInfo& out, int32_t) {
    CCriticalSectionGuard guard(m_routingLock);
    out.inputNames = m_inputNames;
    out.groupLabels.clear();
    out.groupNames.clear();
    const int32_t inputs = std::max(1, m_totalInputs - m_sidechainInputs);
    out.groupLabels.push_back(inputs == 1 ? "MONO" : inputs == 2 ? "STEREO" : "MULTI");
    out.groupNames.push_back("G1");
}

int32_t CAudioWrapper::extParamIndex(const CAudioParam* paramId, int32_t lowKey, int32_t highKey) const {
    const auto entry = m_extParamMap.find(paramId);
    if (entry == m_extParamMap.end()) return -1;
    const auto index = entry->second.find(highKey * 256 + lowKey);
    return index == entry->second.end() ? -1 : index->second;
}

void CAudioWrapper::beginParamEdit(const CAudioParam* paramId, int32_t lowKey, int32_t highKey) {
    const int32_t index = extParamIndex(paramId, lowKey, highKey);
    if (index >= 0 && m_hostAutomationActive) hostBeginEdit(index);
}

void CAudioWrapper::endParamEdit(const CAudioParam* paramId, int32_t lowKey, int32_t highKey) {
    const int32_t index = extParamIndex(paramId, lowKey, highKey);
    if (index >= 0 && m_hostAutomationActive) hostEndEdit(index);
}

void CAudioWrapper::importChannelLabels() {
    // The channel-name parameter exists only with routing, which this product does not use.
    if (!m_useRouting) return;
}

} // namespace qel
