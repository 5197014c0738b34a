#include "Audio/VST/AudioEffectX.h"

#include "Audio/VST/AEffEditor.h"

bool AudioEffectX::ioChanged() {
    return callHost(audioMasterIOChanged) != 0;
}

bool AudioEffectX::sizeWindow(int32_t width, int32_t height) {
    return callHost(audioMasterSizeWindow, width, height) != 0;
}

bool AudioEffectX::updateDisplay() {
    return callHost(audioMasterUpdateDisplay) != 0;
}

bool AudioEffectX::beginEdit(int32_t index) {
    return callHost(audioMasterBeginEdit, index) != 0;
}

bool AudioEffectX::endEdit(int32_t index) {
    return callHost(audioMasterEndEdit, index) != 0;
}

VstTimeInfo* AudioEffectX::getTimeInfo(int32_t filter) {
    return reinterpret_cast<VstTimeInfo*>(callHost(audioMasterGetTime, 0, filter));
}

int32_t AudioEffectX::getCurrentProcessLevel() {
    return int32_t(callHost(audioMasterGetCurrentProcessLevel));
}

bool AudioEffectX::getHostVendorString(char* text) {
    return callHost(audioMasterGetVendorString, 0, 0, text) != 0;
}

bool AudioEffectX::getHostProductString(char* text) {
    return callHost(audioMasterGetProductString, 0, 0, text) != 0;
}

intptr_t AudioEffectX::dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    switch (opcode) {
    case effProcessEvents:
        return ptr ? processEvents(static_cast<VstEvents*>(ptr)) : 0;
    case effCanBeAutomated:
        return canParameterBeAutomated(index) ? 1 : 0;
    case effString2Parameter:
        return ptr && string2parameter(index, static_cast<char*>(ptr)) ? 1 : 0;
    case effGetProgramNameIndexed:
        return ptr && getProgramNameIndexed(int32_t(value), index, static_cast<char*>(ptr)) ? 1 : 0;
    case effGetPlugCategory:
        return getPlugCategory();
    case effSetSpeakerArrangement:
        return value && ptr &&
                       setSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement*>(value),
                                             static_cast<VstSpeakerArrangement*>(ptr))
                   ? 1
                   : 0;
    case effSetBypass:
        return setBypass(value != 0) ? 1 : 0;
    case effGetEffectName:
        return ptr && getEffectName(static_cast<char*>(ptr)) ? 1 : 0;
    case effGetVendorString:
        return ptr && getVendorString(static_cast<char*>(ptr)) ? 1 : 0;
    case effGetProductString:
        return ptr && getProductString(static_cast<char*>(ptr)) ? 1 : 0;
    case effGetVendorVersion:
        return getVendorVersion();
    case effVendorSpecific:
        return vendorSpecific(index, value, ptr, opt);
    case effCanDo:
        return ptr ? canDo(static_cast<char*>(ptr)) : 0;
    case effGetTailSize:
        return getGetTailSize();
    case effGetVstVersion:
        return getVstVersion();
    case effEditKeyDown:
        return m_editor && m_editor->onKeyDown(index, value, opt) ? 1 : 0;
    case effEditKeyUp:
        return m_editor && m_editor->onKeyUp(index, value, opt) ? 1 : 0;
    case effSetEditKnobMode:
        return m_editor && m_editor->setKnobMode(int32_t(value)) ? 1 : 0;
    case effGetCurrentMidiProgram:
        return -1;
    case effGetSpeakerArrangement: {
        if (!value || !ptr) return 0;
        auto** input = reinterpret_cast<VstSpeakerArrangement**>(value);
        auto** output = static_cast<VstSpeakerArrangement**>(ptr);
        return getSpeakerArrangement(input, output) ? 1 : 0;
    }
    case effSetTotalSampleToProcess:
        return value;
    case effSetProcessPrecision:
        return setProcessPrecision(int32_t(value)) ? 1 : 0;
    default:
        break;
    }
    if (opcode >= effProcessEvents && opcode <= effGetNumMidiOutputChannels) return 0;
    return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
}
