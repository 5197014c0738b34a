#pragma once

#include "Audio/VST/AudioEffect.h"

// The extended effect: dispatcher for opcodes 25 to 79 and the host callback wrappers.
class AudioEffectX : public AudioEffect {
public:
    AudioEffectX(audioMasterCallback audioMaster, int32_t numPrograms, int32_t numParams)
        : AudioEffect(audioMaster, numPrograms, numParams) {}

    intptr_t dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) override;

    virtual int32_t processEvents(VstEvents* events) {
        (void)events;
        return 0;
    }
    virtual bool canParameterBeAutomated(int32_t index) {
        (void)index;
        return true;
    }
    virtual bool string2parameter(int32_t index, char* text) {
        (void)index, (void)text;
        return false;
    }
    virtual bool getProgramNameIndexed(int32_t category, int32_t index, char* text) {
        (void)category, (void)index, (void)text;
        return false;
    }
    virtual VstPlugCategory getPlugCategory() { return kPlugCategUnknown; }
    virtual bool setSpeakerArrangement(VstSpeakerArrangement* input, VstSpeakerArrangement* output) {
        (void)input, (void)output;
        return false;
    }
    virtual bool getSpeakerArrangement(VstSpeakerArrangement** input, VstSpeakerArrangement** output) {
        *input = *output = nullptr;
        return false;
    }
    virtual bool setBypass(bool onOff) {
        (void)onOff;
        return false;
    }
    virtual bool getEffectName(char* name) {
        (void)name;
        return false;
    }
    virtual bool getVendorString(char* text) {
        (void)text;
        return false;
    }
    virtual bool getProductString(char* text) {
        (void)text;
        return false;
    }
    virtual int32_t getVendorVersion() { return 0; }
    virtual intptr_t vendorSpecific(int32_t index, intptr_t value, void* ptr, float opt) {
        (void)index, (void)value, (void)ptr, (void)opt;
        return 0;
    }
    virtual intptr_t canDo(char* text) {
        (void)text;
        return 0;
    }
    virtual int32_t getGetTailSize() { return 0; }
    virtual int32_t getVstVersion() { return 2400; }
    virtual bool setProcessPrecision(int32_t precision) {
        (void)precision;
        return false;
    }

    // Host callback wrappers.
    bool ioChanged();
    bool sizeWindow(int32_t width, int32_t height);
    bool updateDisplay();
    bool beginEdit(int32_t index);
    bool endEdit(int32_t index);
    VstTimeInfo* getTimeInfo(int32_t filter);
    int32_t getCurrentProcessLevel();
    bool getHostVendorString(char* text);
    bool getHostProductString(char* text);
};
