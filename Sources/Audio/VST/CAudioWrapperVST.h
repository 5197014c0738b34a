#pragma once

#include <memory>
#include <string>

#include "Audio/CAudioWrapper.h"
#include "Audio/VST/AudioEffectX.h"
#include "Core/Platform/CCriticalSection.h"

namespace qel {
class CError;
}

// The product as a VST 2.4 effect: maps the opcodes onto the plug-in core and carries the
// workarounds for particular hosts.
class CAudioWrapperVST : public AudioEffectX, public qel::CAudioWrapper {
public:
    explicit CAudioWrapperVST(audioMasterCallback audioMaster);
    ~CAudioWrapperVST() override;

    // The entry: a fully initialised effect, or null (the error was shown).
    static AEffect* createEffect(audioMasterCallback audioMaster);

    void suspend() override;
    void resume() override;
    void processReplacing(float** inputs, float** outputs, int32_t frames) override;
    void processDoubleReplacing(double** inputs, double** outputs, int32_t frames) override;
    void setParameter(int32_t index, float value) override;
    float getParameter(int32_t index) override;
    int32_t getProgram() override;
    void setProgram(int32_t program) override;
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    void getParameterLabel(int32_t index, char* label) override;
    void getParameterDisplay(int32_t index, char* text) override;
    void getParameterName(int32_t index, char* text) override;
    int32_t getChunk(void** data, bool isPreset) override;
    int32_t setChunk(void* data, int32_t size, bool isPreset) override;
    bool getProgramNameIndexed(int32_t category, int32_t index, char* text) override;
    bool setSpeakerArrangement(VstSpeakerArrangement* input, VstSpeakerArrangement* output) override;
    bool getSpeakerArrangement(VstSpeakerArrangement** input, VstSpeakerArrangement** output) override;
    bool setProcessPrecision(int32_t precision) override;
    int32_t processEvents(VstEvents* events) override;
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    int32_t getVendorVersion() override;
    intptr_t vendorSpecific(int32_t index, intptr_t value, void* ptr, float opt) override;
    // Writes the PNG a snapshot request asks for; 0 with the error's text in the request otherwise.
    intptr_t writeEditorSnapshot(struct SEditorSnapshotRequest& request);
    intptr_t canDo(char* text) override;
    VstPlugCategory getPlugCategory() override;

    // Host bridge.
    void hostAutomate(int32_t index, double value) override;
    qel::CError* init() override;
    void hostUpdateDisplay() override;
    void hostBeginEdit(int32_t index) override;
    void hostEndEdit(int32_t index) override;
    bool hostSizeWindow(int32_t width, int32_t height) override;

    // The last instance to initialise decides whether a click in the editor takes the keyboard focus.
    static bool focusOnClick();

    bool hasFunctionSyncLock() const { return m_funcSyncLock != nullptr; }
    bool isChannelNamesNotify() const { return m_channelNamesNotify; }
    bool isDoublePrecision() const { return m_doublePrecision; }

private:
    class CSyncGuard;

    void applyHostRules();
    void nameInputChannels();
    void configureChannels();
    void followProcessLevel();
    void followHostTime();
    template <class T>
    void processBlock(T** inputs, T** outputs, int32_t frames, bool isDouble);

    std::unique_ptr<qel::CCriticalSection> m_funcSyncLock;
    std::unique_ptr<VstSpeakerArrangement> m_inputArrangement;
    std::unique_ptr<VstSpeakerArrangement> m_outputArrangement;
    bool m_doublePrecision = false;
    std::string m_hostProduct;
    std::string m_hostVendor;
    bool m_offlineFlag = false;
    int32_t m_maxInputs = 0;
    int32_t m_maxOutputs = 0;
    bool m_channelNamesNotify = true;
    // The last chunk handed to the host; valid until the next one.
    qel::CByteBuffer m_chunk;
};
