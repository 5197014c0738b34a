#include "Audio/VST/CAudioWrapperVST.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "Audio/Params/CAudioExtParam.h"
#include "Audio/Params/CAudioExtParamList.h"
#include "Audio/Params/CAudioParamRegistry.h"
#include "Audio/VST/AEffEditor.h"
#include "Audio/VST/CAudioWrapperVSTEditor.h"
#include "Audio/VST/EditorSnapshot.h"
#include "Audio/VST/HostPattern.h"
#include "Core/CDebugLog.h"
#include "Core/CError.h"
#include "Core/CObject.h"
#include "Other/CPngFile.h"
#include "UI/CAppDataGroup.h"

using namespace qel;

namespace {

constexpr int32_t kNameLength = 7;
constexpr int32_t kProgramNameLength = 23;
constexpr int32_t kHostStringBytes = 65;
constexpr int32_t kBeef = 0xBEEF;
constexpr int32_t kWheelIndexUpper = qelVstFourCC('s', 't', 'C', 'A');
constexpr int32_t kWheelIndexLower = qelVstFourCC('s', 't', 'C', 'a');
constexpr intptr_t kWheelValue = qelVstFourCC('W', 'h', 'e', 'e');
// Where initialisation failures of the binding are reported from.
constexpr int kInitFrameLine = 141;

std::atomic<bool> g_focusOnClick{true};

// Copies at most maxChars characters and a terminating zero.
void copyCut(char* target, const std::string& text, size_t maxChars) {
    const size_t count = std::min(text.size(), maxChars);
    std::memcpy(target, text.data(), count);
    target[count] = 0;
}

void copyCut(char* target, const CString& text, size_t maxChars) {
    copyCut(target, text.toUtf8(), maxChars);
}

// Parameter texts fill their whole 8-byte field: hosts compare or store all of it, so nothing of an
// earlier text may survive behind the terminator.
void copyParamText(char* target, const std::string& text) {
    std::memset(target, 0, kNameLength + 1);
    copyCut(target, text, kNameLength);
}

void copyParamText(char* target, const CString& text) {
    copyParamText(target, text.toUtf8());
}

std::string upperCase(const char* text) {
    std::string result(text);
    for (char& c : result)
        c = char(std::toupper(uint8_t(c)));
    return result;
}

bool matchesAny(const std::string& text, std::initializer_list<const char*> patterns) {
    for (const char* pattern : patterns)
        if (qelHostPatternMatch(pattern, text.c_str())) return true;
    return false;
}

// The part of a registry program name after its category.
CString hostProgramName(const CString& name) {
    const size_t colon = name.find(':');
    return colon == CString::npos ? name : name.substr(colon + 1);
}

CString defaultChannelName(int32_t channel) {
    if (channel == 0) return "L";
    if (channel == 1) return "R";
    return CString("IN") + CString::fromInt(channel + 1);
}

const std::pair<const char*, VstPlugCategory> kCategories[] = {
    {"kPlugCategUnknown", kPlugCategUnknown},
    {"kPlugCategEffect", kPlugCategEffect},
    {"kPlugCategSynth", kPlugCategSynth},
    {"kPlugCategAnalysis", kPlugCategAnalysis},
    {"kPlugCategMastering", kPlugCategMastering},
    {"kPlugCategSpacializer", kPlugCategSpacializer},
    {"kPlugCategRoomFx", kPlugCategRoomFx},
    {"kPlugSurroundFx", kPlugSurroundFx},
    {"kPlugCategRestoration", kPlugCategRestoration},
    {"kPlugCategOfflineProcess", kPlugCategOfflineProcess},
    {"kPlugCategShell", kPlugCategShell},
    {"kPlugCategGenerator", kPlugCategGenerator},
};

} // namespace

// Serialises mains changes against processing for hosts that need it.
class CAudioWrapperVST::CSyncGuard {
public:
    explicit CSyncGuard(CAudioWrapperVST& owner) : m_lock(owner.m_funcSyncLock.get()) {
        if (m_lock) m_lock->enter();
    }
    ~CSyncGuard() {
        if (m_lock) m_lock->leave();
    }
    CSyncGuard(const CSyncGuard&) = delete;
    CSyncGuard& operator=(const CSyncGuard&) = delete;

private:
    CCriticalSection* m_lock;
};

CAudioWrapperVST::CAudioWrapperVST(audioMasterCallback audioMaster) : AudioEffectX(audioMaster, 1, 1) {}

CAudioWrapperVST::~CAudioWrapperVST() {
    if (m_editor) m_editor->close();
}

AEffect* CAudioWrapperVST::createEffect(audioMasterCallback audioMaster) {
    const double start = CDebugLog::now();
    if (!audioMaster || audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0) == 0) return nullptr;
    auto* effect = new CAudioWrapperVST(audioMaster);
    if (CError* error = effect->init()) {
        qelErrReport(error);
        delete effect;
        return nullptr;
    }
    CDebugLog::logTiming("VST entry time: %.4f s @ %.4f s", CDebugLog::now() - start);
    return effect->getAeffect();
}

bool CAudioWrapperVST::focusOnClick() {
    return g_focusOnClick;
}

// Initialisation.

CError* CAudioWrapperVST::init() {
    if (CError* error = CAudioWrapper::init()) return CError::add(error, __FILE__, kInitFrameLine, {}, {});
    const int32_t hostVersion = getMasterVersion();
    char text[kHostStringBytes] = {};
    if (getHostProductString(text)) m_hostProduct = upperCase(text);
    std::memset(text, 0, sizeof text);
    if (getHostVendorString(text)) m_hostVendor = upperCase(text);
    m_doublePrecision = false;

    const bool ownChannelCount = hostVersion >= 2300 && !isForceTwoChannels() &&
                                 m_hostProduct != "SONY ACID PRO" &&
                                 !qelHostPatternMatch("*PREMIERE*", m_hostProduct.c_str());
    if (!ownChannelCount) setIntChannelCount(2);
    applyHostRules();

    setUniqueID(int32_t(pluginCode()));
    m_numPrograms = m_cEffect.numPrograms = paramRegistry()->programCount();
    m_numParams = m_cEffect.numParams = extParamList()->count();
    programsAreChunks(true);
    canProcessReplacing(true);
    canDoubleReplacing(true);

    setEditor(new CAudioWrapperVSTEditor(this, *this));

    m_maxInputs = m_maxOutputs = getIntChannelCount();
    setNumInputs(m_maxInputs);
    setNumOutputs(m_maxOutputs);
    nameInputChannels();
    finishInit();
    return nullptr;
}

void CAudioWrapperVST::applyHostRules() {
    CString syncSetting;
    if (!CAppDataGroup::instance().getText("vst-func-sync", syncSetting)) syncSetting = "0";
    const bool wantsLock = matchesAny(m_hostProduct, {"*WAVELAB*", "*SAMPLITUDE*", "*CHAINER*"}) ||
                           syncSetting == "1" || syncSetting == "true";
    if (wantsLock) m_funcSyncLock = std::make_unique<CCriticalSection>(4000);
    m_channelNamesNotify = !(matchesAny(m_hostVendor, {"*CAKEWALK*", "*TWELVE TONE*"}) ||
                             matchesAny(m_hostProduct, {"*CAKEWALK*", "*SONAR*", "*FX TELEPORT*"}));
    g_focusOnClick = !(matchesAny(m_hostVendor, {"*STEINBERG*", "*FXPANSION*"}) ||
                       matchesAny(m_hostProduct, {"*WAVELAB*", "*CUBASE*", "*FRUITY*"}));
}

void CAudioWrapperVST::nameInputChannels() {
    CCriticalSectionGuard guard(routingLock());
    std::vector<CString>& names = inputChannelNames();
    names.clear();
    if (!m_inputArrangement) {
        for (int32_t c = 0; c < m_maxInputs; ++c)
            names.push_back(defaultChannelName(c));
        return;
    }
    const int32_t count = std::clamp(m_inputArrangement->numChannels, 0, 8);
    for (int32_t c = 0; c < count; ++c) {
        const char* raw = m_inputArrangement->speakers[c].name;
        std::string name(raw, strnlen(raw, sizeof m_inputArrangement->speakers[c].name));
        name = name.substr(0, kNameLength);
        names.push_back(name.empty() || name == "?" ? defaultChannelName(c) : CString::fromUtf8(name));
    }
    if (m_channelNamesNotify) updateChannelNames(true);
}

// Suspend, resume and processing.

void CAudioWrapperVST::suspend() {
    CSyncGuard guard(*this);
    CAudioWrapper::suspend();
}

void CAudioWrapperVST::followProcessLevel() {
    const bool offline = getCurrentProcessLevel() == kVstProcessLevelOffline;
    if (offline == m_offlineFlag) return;
    m_offlineFlag = offline;
    setOffline(offline);
}

void CAudioWrapperVST::configureChannels() {
    const int32_t inputs = m_inputArrangement ? m_inputArrangement->numChannels : m_maxInputs;
    const int32_t outputs = m_outputArrangement ? m_outputArrangement->numChannels : m_maxOutputs;
    setInputConfig(inputs, m_doublePrecision, false, 0, false, false);
    setOutputConfig(outputs, m_doublePrecision, false);
}

void CAudioWrapperVST::resume() {
    CSyncGuard guard(*this);
    CAudioWrapper::setSampleRate(double(AudioEffect::getSampleRate()));
    followProcessLevel();
    configureChannels();
    CAudioWrapper::resume();
    setInitialDelay(int32_t(latency()));
    if (!isFirstResumeDone() || isLatencyChanged()) {
        clearLatencyChanged();
        setFirstResumeDone();
        setHostParam(hostLatencyChangeParam(), 0.0);
    }
}

void CAudioWrapperVST::followHostTime() {
    if (!usesHostBpm() && !usesHostRecording()) return;
    int32_t filter = 0;
    if (usesHostBpm()) filter |= kVstTempoValid;
    if (usesHostRecording())
        filter |= kVstTransportPlaying | kVstTransportCycleActive | kVstTransportRecording;
    const VstTimeInfo* time = getTimeInfo(filter);
    if (!time) return;
    if (time->flags & kVstTempoValid) setHostTempo(time->tempo);
    if (usesHostRecording()) setHostRecording((time->flags & kVstTransportRecording) != 0);
}

template <class T>
void CAudioWrapperVST::processBlock(T** inputs, T** outputs, int32_t frames, bool isDouble) {
    CSyncGuard guard(*this);
    CAudioThreadScope audioThread(*this);
    if (m_doublePrecision != isDouble) {
        m_doublePrecision = isDouble;
        configureChannels();
    }
    followProcessLevel();
    followHostTime();
    CAudioWrapper::process(reinterpret_cast<void* const*>(inputs), reinterpret_cast<void* const*>(outputs),
                           frames);
    if (isLatencyChanged()) {
        clearLatencyChanged();
        ioChanged();
    }
}

void CAudioWrapperVST::processReplacing(float** inputs, float** outputs, int32_t frames) {
    processBlock(inputs, outputs, frames, false);
}

void CAudioWrapperVST::processDoubleReplacing(double** inputs, double** outputs, int32_t frames) {
    processBlock(inputs, outputs, frames, true);
}

bool CAudioWrapperVST::setProcessPrecision(int32_t precision) {
    if (precision != kVstProcessPrecision32 && precision != kVstProcessPrecision64) return false;
    m_doublePrecision = precision == kVstProcessPrecision64;
    configureChannels();
    return true;
}

int32_t CAudioWrapperVST::processEvents(VstEvents* events) {
    for (int32_t i = 0; i < events->numEvents; ++i) {
        const VstEvent* event = events->events[i];
        if (!event || event->type != kVstMidiType) continue;
        const auto* midi = reinterpret_cast<const VstMidiEvent*>(event);
        queueEvent(SAudioEvent::midi(std::max(0, midi->deltaFrames), uint8_t(midi->midiData[0]),
                                     uint8_t(midi->midiData[1]), uint8_t(midi->midiData[2])));
    }
    return 1;
}

// Parameters and programs.

void CAudioWrapperVST::setParameter(int32_t index, float value) {
    if (CAudioExtParam* entry = extParamList()->entry(index)) entry->setNormalized(double(value));
}

float CAudioWrapperVST::getParameter(int32_t index) {
    const CAudioExtParam* entry = extParamList()->entry(index);
    return entry ? float(entry->getNormalized()) : 0.0f;
}

void CAudioWrapperVST::getParameterName(int32_t index, char* text) {
    const CAudioExtParam* entry = extParamList()->entry(index);
    copyParamText(text, entry ? entry->extName() : CString());
}

void CAudioWrapperVST::getParameterLabel(int32_t index, char* label) {
    const CAudioExtParam* entry = extParamList()->entry(index);
    copyParamText(label, entry ? entry->label() : CString());
}

void CAudioWrapperVST::getParameterDisplay(int32_t index, char* text) {
    const CAudioExtParam* entry = extParamList()->entry(index);
    copyParamText(text, entry ? entry->displayText() : CString());
}

int32_t CAudioWrapperVST::getProgram() {
    return paramRegistry()->currentProgram();
}

void CAudioWrapperVST::setProgram(int32_t program) {
    m_curProgram = program;
    paramRegistry()->selectProgram(program, static_cast<CAudioWrapper*>(this));
}

void CAudioWrapperVST::getProgramName(char* name) {
    CAudioParamRegistry* registry = paramRegistry();
    copyCut(name, hostProgramName(registry->programName(registry->currentProgram())), kProgramNameLength);
}

bool CAudioWrapperVST::getProgramNameIndexed(int32_t, int32_t index, char* text) {
    copyCut(text, hostProgramName(paramRegistry()->programName(index)), kProgramNameLength);
    return true;
}

void CAudioWrapperVST::setProgramName(char* name) {
    // The registry renames under its lock and tells its listeners after leaving it.
    paramRegistry()->renameCurrentProgram(CString::fromUtf8(name));
}

// State chunks.

int32_t CAudioWrapperVST::getChunk(void** data, bool isPreset) {
    const double start = CDebugLog::now();
    if (CError* error = CAudioWrapper::getChunk(m_chunk, isPreset, true)) {
        qelErrLog(error);
        m_chunk.clear();
        *data = nullptr;
        return 0;
    }
    *data = m_chunk.data();
    CDebugLog::logTiming("VST get chunk time: %.4f s @ %.4f s", CDebugLog::now() - start);
    return int32_t(m_chunk.size());
}

int32_t CAudioWrapperVST::setChunk(void* data, int32_t size, bool isPreset) {
    const double start = CDebugLog::now();
    if (size < 0) return 0;
    if (CError* error = CAudioWrapper::setChunk(data, uint32_t(size), isPreset, true)) {
        qelErrLog(error);
        return 0;
    }
    CDebugLog::logTiming("VST set chunk time: %.4f s @ %.4f s", CDebugLog::now() - start);
    return 1;
}

// Channels.

bool CAudioWrapperVST::setSpeakerArrangement(VstSpeakerArrangement* input, VstSpeakerArrangement* output) {
    if (input->numChannels <= 0 || input->numChannels > m_maxInputs || output->numChannels > m_maxOutputs)
        return false;
    if (input->numChannels != output->numChannels &&
        (isSymmetricIo() || (output->numChannels != 1 && output->numChannels != 2)))
        return false;
    m_inputArrangement = std::make_unique<VstSpeakerArrangement>(*input);
    m_outputArrangement = std::make_unique<VstSpeakerArrangement>(*output);
    nameInputChannels();
    return true;
}

bool CAudioWrapperVST::getSpeakerArrangement(VstSpeakerArrangement** input, VstSpeakerArrangement** output) {
    if (!m_inputArrangement || !m_outputArrangement) {
        *input = *output = nullptr;
        return false;
    }
    *input = m_inputArrangement.get();
    *output = m_outputArrangement.get();
    return true;
}

// Identity.

bool CAudioWrapperVST::getEffectName(char* name) {
    copyCut(name, pluginName(), 31);
    return true;
}

bool CAudioWrapperVST::getVendorString(char* text) {
    copyCut(text, vendorName(), 63);
    return true;
}

bool CAudioWrapperVST::getProductString(char* text) {
    copyCut(text, vendorName() + " " + pluginName(), 63);
    return true;
}

int32_t CAudioWrapperVST::getVendorVersion() {
    return version()[0] * 65536 + version()[1] * 256 + version()[2];
}

VstPlugCategory CAudioWrapperVST::getPlugCategory() {
    const CString name = projectObject()->getAttr("plugin-category-vst");
    for (const auto& [text, category] : kCategories)
        if (name == text) return category;
    return kPlugCategEffect;
}

intptr_t CAudioWrapperVST::canDo(char* text) {
    if (std::strcmp(text, "hasCockosExtensions") == 0) return intptr_t(0xBEEF0000);
    if (std::strcmp(text, "receiveVstMidiEvent") == 0 || std::strcmp(text, "receiveVstTimeInfo") == 0)
        return 1;
    return 0;
}

intptr_t CAudioWrapperVST::vendorSpecific(int32_t index, intptr_t value, void* ptr, float opt) {
    if (index == kWheelIndexUpper || index == kWheelIndexLower) {
        if (value != kWheelValue) return 0;
        if (m_editor) m_editor->onWheel(opt);
        return 1;
    }
    if (index == kEditorSnapshotIndex)
        return ptr ? writeEditorSnapshot(*static_cast<SEditorSnapshotRequest*>(ptr)) : 0;
    if ((index != effGetParamDisplay && index != effString2Parameter) || !ptr) return 0;
    char* text = static_cast<char*>(ptr);
    const CAudioExtParam* entry =
        value >= 0 && value < extParamList()->count() ? extParamList()->entry(int32_t(value)) : nullptr;
    if (!entry) {
        *text = 0;
        return kBeef;
    }
    if (index == effGetParamDisplay) {
        copyParamText(text, entry->textOfNormalized(double(opt)));
    } else {
        const double normalized = entry->normalizedOfText(CString::fromUtf8(text));
        char number[32];
        std::snprintf(number, sizeof number, "%f", normalized);
        copyParamText(text, std::string(number));
    }
    return kBeef;
}

// Host bridge.

void CAudioWrapperVST::hostAutomate(int32_t index, double value) {
    if (m_hostAutomationActive) callHost(audioMasterAutomate, index, 0, nullptr, float(value));
}

void CAudioWrapperVST::hostUpdateDisplay() {
    updateDisplay();
}

void CAudioWrapperVST::hostBeginEdit(int32_t index) {
    beginEdit(index);
}

void CAudioWrapperVST::hostEndEdit(int32_t index) {
    endEdit(index);
}

intptr_t CAudioWrapperVST::writeEditorSnapshot(SEditorSnapshotRequest& request) {
    auto* editor = static_cast<CAudioWrapperVSTEditor*>(m_editor);
    CBitmap picture;
    CError* error = nullptr;
    if (!request.path || !(request.scale > 0))
        error = QEL_ERROR(
            {}, "@qelstr_CAudioWrapperVST_snapshot_BadRequest A snapshot needs a file and a scale above 0.");
    else if (!(error = editor->snapshot(request.scale, picture)))
        error = CPngFile::write(CString::fromUtf8(request.path), picture);
    if (!error) return 1;
    const std::string text = error->joined("\n").toUtf8();
    std::snprintf(request.error, sizeof request.error, "%s", text.c_str());
    qelErrLog(error);
    return 0;
}

bool CAudioWrapperVST::hostSizeWindow(int32_t width, int32_t height) {
    if (!m_editor) return true;
    static_cast<CAudioWrapperVSTEditor*>(m_editor)->setSize(width, height);
    return sizeWindow(width, height);
}
