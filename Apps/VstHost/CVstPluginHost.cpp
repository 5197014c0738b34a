#include "VstHost/CVstPluginHost.h"

#include <dlfcn.h>

#include <cstdlib>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>

namespace qel {

namespace {

// Plug-ins call back during their entry, before the host knows their AEffect.
thread_local CVstPluginHost* t_loadingHost = nullptr;

std::mutex g_hostsMutex;

std::map<AEffect*, CVstPluginHost*>& hostsByEffect() {
    static std::map<AEffect*, CVstPluginHost*> hosts;
    return hosts;
}

constexpr size_t kStringBufferSize = 64;

intptr_t copyAnswer(const std::optional<std::string>& text, void* ptr) {
    if (!text || !ptr) return 0;
    size_t length = std::min(text->size(), kStringBufferSize - 1);
    std::memcpy(ptr, text->data(), length);
    static_cast<char*>(ptr)[length] = 0;
    return 1;
}

} // namespace

CVstPluginHost::CVstPluginHost() = default;

CVstPluginHost::~CVstPluginHost() {
    close();
}

bool CVstPluginHost::load(const std::string& path) {
    close();
    m_error.clear();
    m_path = path;
    m_library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m_library) {
        const char* reason = dlerror();
        return fail("cannot load '" + path + "': " + (reason ? reason : "unknown error"));
    }
    m_entryName = "VSTPluginMain";
    auto entry = reinterpret_cast<VSTPluginMainProc>(dlsym(m_library, "VSTPluginMain"));
    if (!entry) {
        // Older plug-ins, Debian's among them, export only the legacy name.
        m_entryName = "main";
        entry = reinterpret_cast<VSTPluginMainProc>(dlsym(m_library, "main"));
    }
    if (!entry) return fail("'" + path + "' has no VSTPluginMain or main entry");

    t_loadingHost = this;
    AEffect* effect = entry(&CVstPluginHost::hostCallback);
    t_loadingHost = nullptr;
    if (!effect) return fail("'" + path + "': plug-in entry returned no effect");
    if (effect->magic != kEffectMagic) {
        char found[16];
        std::snprintf(found, sizeof found, "0x%08x", uint32_t(effect->magic));
        return fail("'" + path + "': bad magic " + found + " in the plug-in's effect record");
    }
    {
        std::lock_guard<std::mutex> lock(g_hostsMutex);
        hostsByEffect()[effect] = this;
    }
    m_effect = effect;
    m_latency = effect->initialDelay;
    return true;
}

bool CVstPluginHost::fail(std::string message) {
    m_error = std::move(message);
    unload();
    return false;
}

void CVstPluginHost::unload() {
    // EMBERLINE_HOST_KEEP_LOADED keeps the code mapped, so that leak reports at exit can name it.
    if (m_library && !std::getenv("EMBERLINE_HOST_KEEP_LOADED")) dlclose(m_library);
    m_library = nullptr;
    m_entryName.clear();
}

intptr_t CVstPluginHost::dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    if (!m_effect || !m_effect->dispatcher) return 0;
    return m_effect->dispatcher(m_effect, opcode, index, value, ptr, opt);
}

void CVstPluginHost::open() {
    dispatcher(effOpen);
    if (m_effect) m_latency = m_effect->initialDelay;
}

void CVstPluginHost::close() {
    if (m_effect) {
        if (m_mainsOn) mainsChanged(false);
        dispatcher(effClose);
        std::lock_guard<std::mutex> lock(g_hostsMutex);
        hostsByEffect().erase(m_effect);
    }
    m_effect = nullptr;
    m_mainsOn = false;
    m_ioChanged = false;
    unload();
}

void CVstPluginHost::setSampleRate(double rate) {
    m_sampleRate = rate;
    dispatcher(effSetSampleRate, 0, 0, nullptr, float(rate));
}

void CVstPluginHost::setBlockSize(int32_t frames) {
    m_blockSize = frames;
    dispatcher(effSetBlockSize, 0, frames);
}

void CVstPluginHost::mainsChanged(bool on) {
    dispatcher(effMainsChanged, 0, on ? 1 : 0);
    m_mainsOn = on && m_effect;
    if (on && m_effect) {
        m_latency = m_effect->initialDelay;
        m_ioChanged = false;
    }
}

bool CVstPluginHost::setProcessPrecision(bool doublePrecision) {
    return dispatcher(effSetProcessPrecision, 0,
                      doublePrecision ? kVstProcessPrecision64 : kVstProcessPrecision32) != 0;
}

bool CVstPluginHost::canProcessDouble() const {
    return m_effect && (m_effect->flags & effFlagsCanDoubleReplacing) && m_effect->processDoubleReplacing;
}

std::string CVstPluginHost::readString(int32_t opcode, int32_t index) {
    // Plug-ins are told 8 or 32 bytes but often write more; real hosts hand over generous buffers.
    char buffer[kStringBufferSize] = {};
    dispatcher(opcode, index, 0, buffer);
    buffer[kStringBufferSize - 1] = 0;
    return buffer;
}

std::string CVstPluginHost::paramName(int32_t index) {
    return readString(effGetParamName, index);
}
std::string CVstPluginHost::paramLabel(int32_t index) {
    return readString(effGetParamLabel, index);
}
std::string CVstPluginHost::paramDisplay(int32_t index) {
    return readString(effGetParamDisplay, index);
}
std::string CVstPluginHost::effectName() {
    return readString(effGetEffectName, 0);
}
std::string CVstPluginHost::vendorString() {
    return readString(effGetVendorString, 0);
}
std::string CVstPluginHost::productString() {
    return readString(effGetProductString, 0);
}
std::string CVstPluginHost::programName() {
    return readString(effGetProgramName, 0);
}
std::string CVstPluginHost::programNameIndexed(int32_t index) {
    return readString(effGetProgramNameIndexed, index);
}

float CVstPluginHost::parameter(int32_t index) {
    return m_effect && m_effect->getParameter ? m_effect->getParameter(m_effect, index) : 0.f;
}

void CVstPluginHost::setParameter(int32_t index, float value) {
    if (m_effect && m_effect->setParameter) m_effect->setParameter(m_effect, index, value);
}

std::vector<uint8_t> CVstPluginHost::chunk(bool preset) {
    void* data = nullptr;
    intptr_t size = dispatcher(effGetChunk, preset ? 1 : 0, 0, &data);
    if (size <= 0 || !data) return {};
    const auto* bytes = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(bytes, bytes + size);
}

bool CVstPluginHost::setChunk(const std::vector<uint8_t>& data, bool preset) {
    std::vector<uint8_t> copy = data;
    return dispatcher(effSetChunk, preset ? 1 : 0, intptr_t(copy.size()), copy.data()) != 0;
}

intptr_t CVstPluginHost::canDo(const std::string& what) {
    std::vector<char> text(what.begin(), what.end());
    text.push_back(0);
    return dispatcher(effCanDo, 0, 0, text.data());
}

void CVstPluginHost::processFloat(float** inputs, float** outputs, int32_t frames) {
    if (!m_effect || !m_effect->processReplacing) return;
    m_effect->processReplacing(m_effect, inputs, outputs, frames);
    m_samplePos += frames;
}

void CVstPluginHost::processDouble(double** inputs, double** outputs, int32_t frames) {
    if (!m_effect || !m_effect->processDoubleReplacing) return;
    m_effect->processDoubleReplacing(m_effect, inputs, outputs, frames);
    m_samplePos += frames;
}

VstMidiEvent CVstPluginHost::midiEvent(int32_t deltaFrames, uint8_t status, uint8_t data1, uint8_t data2) {
    VstMidiEvent event{};
    event.type = kVstMidiType;
    event.byteSize = sizeof(VstMidiEvent);
    event.deltaFrames = deltaFrames;
    event.midiData[0] = char(status);
    event.midiData[1] = char(data1);
    event.midiData[2] = char(data2);
    return event;
}

intptr_t CVstPluginHost::sendMidi(const std::vector<VstMidiEvent>& events) {
    std::vector<VstMidiEvent> copy = events;
    // VstEvents ends in a pointer array of any length: header (2 words) plus one word per event.
    std::vector<intptr_t> storage(2 + std::max<size_t>(copy.size(), 2), 0);
    auto* list = reinterpret_cast<VstEvents*>(storage.data());
    list->numEvents = int32_t(copy.size());
    auto** slots = reinterpret_cast<VstEvent**>(storage.data() + 2);
    for (size_t i = 0; i < copy.size(); ++i)
        slots[i] = reinterpret_cast<VstEvent*>(&copy[i]);
    return dispatcher(effProcessEvents, 0, 0, list);
}

std::vector<CVstPluginHost::SCallbackCall> CVstPluginHost::callbackLog() const {
    std::lock_guard<std::mutex> lock(m_logMutex);
    return m_log;
}

void CVstPluginHost::clearCallbackLog() {
    std::lock_guard<std::mutex> lock(m_logMutex);
    m_log.clear();
}

CVstPluginHost* CVstPluginHost::hostFor(AEffect* effect) {
    if (effect) {
        std::lock_guard<std::mutex> lock(g_hostsMutex);
        auto found = hostsByEffect().find(effect);
        if (found != hostsByEffect().end()) return found->second;
    }
    return t_loadingHost;
}

intptr_t CVstPluginHost::hostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                                      void* ptr, float opt) {
    if (CVstPluginHost* host = hostFor(effect)) return host->answer(opcode, index, value, ptr, opt);
    // A call from a thread of its own before the plug-in was registered: answer only the version.
    return opcode == audioMasterVersion ? 2400 : 0;
}

intptr_t CVstPluginHost::answer(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    {
        std::lock_guard<std::mutex> lock(m_logMutex);
        m_log.push_back({opcode, index, value, opt});
    }
    switch (opcode) {
    case audioMasterVersion:
        return m_hostVersion;
    case audioMasterGetTime: {
        double seconds = m_samplePos / m_sampleRate;
        m_timeInfo = {};
        m_timeInfo.samplePos = m_samplePos;
        m_timeInfo.sampleRate = m_sampleRate;
        m_timeInfo.nanoSeconds = seconds * 1e9;
        m_timeInfo.tempo = m_tempo;
        m_timeInfo.ppqPos = seconds * m_tempo / 60;
        m_timeInfo.barStartPos = std::floor(m_timeInfo.ppqPos / 4) * 4;
        m_timeInfo.timeSigNumerator = 4;
        m_timeInfo.timeSigDenominator = 4;
        m_timeInfo.flags = m_timeFlags;
        return reinterpret_cast<intptr_t>(&m_timeInfo);
    }
    case audioMasterIOChanged:
        m_ioChanged = true;
        return 1;
    case audioMasterGetSampleRate:
        return intptr_t(m_sampleRate);
    case audioMasterGetBlockSize:
        return m_blockSize;
    case audioMasterGetCurrentProcessLevel:
        return m_processLevel;
    case audioMasterGetAutomationState:
        return 1; // automation off
    case audioMasterGetVendorString:
        return copyAnswer(m_hostVendor, ptr);
    case audioMasterGetProductString:
        return copyAnswer(m_hostProduct, ptr);
    case audioMasterGetVendorVersion:
        return 1000;
    case audioMasterGetLanguage:
        return 1; // English
    case audioMasterUpdateDisplay:
    case audioMasterBeginEdit:
    case audioMasterEndEdit:
        return 1;
    default:
        // Automate, CanDo, SizeWindow (no window here) and the rest: logged, not supported.
        return 0;
    }
}

} // namespace qel
