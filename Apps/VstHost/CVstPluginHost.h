#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Audio/VST/AEffect.h"

namespace qel {

// One loaded VST 2.4 plug-in and the host side of its callback. The callback answers like a DAW;
// its answers are configurable and every call it receives is logged, so tests can script and
// inspect the conversation. Not copyable: the plug-in keeps the callback bound to this object.
class CVstPluginHost {
public:
    struct SCallbackCall {
        int32_t opcode;
        int32_t index;
        intptr_t value;
        float opt;
    };

    CVstPluginHost();
    ~CVstPluginHost();
    CVstPluginHost(const CVstPluginHost&) = delete;
    CVstPluginHost& operator=(const CVstPluginHost&) = delete;

    // Loads the library and calls its entry; false with error() set when anything is wrong.
    bool load(const std::string& path);
    const std::string& error() const { return m_error; }
    bool isLoaded() const { return m_effect != nullptr; }
    AEffect* effect() const { return m_effect; }
    const std::string& path() const { return m_path; }
    // "VSTPluginMain" or "main", whichever entry was used.
    const std::string& entryName() const { return m_entryName; }

    // Raw dispatcher call; 0 when nothing is loaded.
    intptr_t dispatcher(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                        float opt = 0);

    void open();
    // effClose, then unloads the library. Safe to call again or without a plug-in.
    void close();
    void setSampleRate(double rate);
    void setBlockSize(int32_t frames);
    // Resuming re-reads initialDelay, as hosts do, and clears a pending IOChanged.
    void mainsChanged(bool on);
    void startProcess() { dispatcher(effStartProcess); }
    void stopProcess() { dispatcher(effStopProcess); }
    bool setProcessPrecision(bool doublePrecision);

    int32_t numParams() const { return m_effect ? m_effect->numParams : 0; }
    int32_t numPrograms() const { return m_effect ? m_effect->numPrograms : 0; }
    int32_t numInputs() const { return m_effect ? m_effect->numInputs : 0; }
    int32_t numOutputs() const { return m_effect ? m_effect->numOutputs : 0; }
    int32_t flags() const { return m_effect ? m_effect->flags : 0; }
    bool canProcessFloat() const { return m_effect && m_effect->processReplacing; }
    bool canProcessDouble() const;

    std::string paramName(int32_t index);
    std::string paramLabel(int32_t index);
    std::string paramDisplay(int32_t index);
    float parameter(int32_t index);
    void setParameter(int32_t index, float value);
    std::string effectName();
    std::string vendorString();
    std::string productString();
    int32_t vendorVersion() { return int32_t(dispatcher(effGetVendorVersion)); }
    std::string programName();
    std::string programNameIndexed(int32_t index);
    void setProgram(int32_t index) { dispatcher(effSetProgram, 0, index); }
    int32_t program() { return int32_t(dispatcher(effGetProgram)); }
    std::vector<uint8_t> chunk(bool preset);
    bool setChunk(const std::vector<uint8_t>& data, bool preset);
    intptr_t vendorSpecific(int32_t index, intptr_t value, void* ptr, float opt) {
        return dispatcher(effVendorSpecific, index, value, ptr, opt);
    }
    // 1 yes, -1 no, 0 don't know.
    intptr_t canDo(const std::string& what);
    int32_t plugCategory() { return int32_t(dispatcher(effGetPlugCategory)); }
    // initialDelay as read at open or at the last resume.
    int32_t latency() const { return m_latency; }

    // Each pointer array holds numInputs() / numOutputs() channels. Advances the transport.
    void processFloat(float** inputs, float** outputs, int32_t frames);
    void processDouble(double** inputs, double** outputs, int32_t frames);
    static VstMidiEvent midiEvent(int32_t deltaFrames, uint8_t status, uint8_t data1, uint8_t data2);
    intptr_t sendMidi(const std::vector<VstMidiEvent>& events);

    // Host answers.
    void setHostVersion(intptr_t version) { m_hostVersion = version; }
    // nullopt: the host does not answer the query.
    void setHostVendor(std::optional<std::string> vendor) { m_hostVendor = std::move(vendor); }
    void setHostProduct(std::optional<std::string> product) { m_hostProduct = std::move(product); }
    void setProcessLevel(int32_t level) { m_processLevel = level; }
    void setTempo(double bpm) { m_tempo = bpm; }
    void setTimeFlags(int32_t flags) { m_timeFlags = flags; }
    void setSamplePosition(double position) { m_samplePos = position; }
    double samplePosition() const { return m_samplePos; }
    double sampleRate() const { return m_sampleRate; }
    int32_t blockSize() const { return m_blockSize; }

    std::vector<SCallbackCall> callbackLog() const;
    void clearCallbackLog();
    // True after audioMasterIOChanged until the next resume.
    bool ioChangedPending() const { return m_ioChanged; }

private:
    static intptr_t hostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                 float opt);
    static CVstPluginHost* hostFor(AEffect* effect);
    intptr_t answer(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);
    std::string readString(int32_t opcode, int32_t index);
    bool fail(std::string message);
    void unload();

    void* m_library = nullptr;
    AEffect* m_effect = nullptr;
    std::string m_path;
    std::string m_entryName;
    std::string m_error;
    int32_t m_latency = 0;
    bool m_mainsOn = false;

    intptr_t m_hostVersion = 2400;
    std::optional<std::string> m_hostVendor = std::string("Emberline");
    std::optional<std::string> m_hostProduct = std::string("emberline-render");
    int32_t m_processLevel = kVstProcessLevelRealtime;
    double m_tempo = 120;
    int32_t m_timeFlags = kVstTransportPlaying | kVstTempoValid | kVstPpqPosValid | kVstTimeSigValid;
    double m_samplePos = 0;
    double m_sampleRate = 44100;
    int32_t m_blockSize = 512;
    std::atomic<bool> m_ioChanged = false;
    VstTimeInfo m_timeInfo{};

    mutable std::mutex m_logMutex;
    std::vector<SCallbackCall> m_log;
};

} // namespace qel
