#include "Audio/VST/AudioEffect.h"

#include <cstring>

#include "Audio/VST/AEffEditor.h"

namespace {

constexpr int32_t kIdentify = qelVstFourCC('N', 'v', 'E', 'f');

AudioEffect* effectOf(AEffect* e) {
    return e ? static_cast<AudioEffect*>(e->object) : nullptr;
}

intptr_t dispatchEffect(AEffect* e, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    AudioEffect* effect = effectOf(e);
    if (!effect) return 0;
    if (opcode == effClose) {
        effect->dispatcher(opcode, index, value, ptr, opt);
        delete effect;
        return 1;
    }
    return effect->dispatcher(opcode, index, value, ptr, opt);
}

void processEffect(AEffect* e, float** inputs, float** outputs, int32_t frames) {
    if (AudioEffect* effect = effectOf(e)) effect->process(inputs, outputs, frames);
}

void processReplacingEffect(AEffect* e, float** inputs, float** outputs, int32_t frames) {
    if (AudioEffect* effect = effectOf(e)) effect->processReplacing(inputs, outputs, frames);
}

void processDoubleReplacingEffect(AEffect* e, double** inputs, double** outputs, int32_t frames) {
    if (AudioEffect* effect = effectOf(e)) effect->processDoubleReplacing(inputs, outputs, frames);
}

void setParameterEffect(AEffect* e, int32_t index, float value) {
    if (AudioEffect* effect = effectOf(e)) effect->setParameter(index, value);
}

float getParameterEffect(AEffect* e, int32_t index) {
    AudioEffect* effect = effectOf(e);
    return effect ? effect->getParameter(index) : 0.0f;
}

} // namespace

AudioEffect::AudioEffect(audioMasterCallback audioMaster, int32_t numPrograms, int32_t numParams)
    : m_audioMaster(audioMaster), m_numPrograms(numPrograms), m_numParams(numParams) {
    std::memset(&m_cEffect, 0, sizeof m_cEffect);
    m_cEffect.magic = kEffectMagic;
    m_cEffect.dispatcher = dispatchEffect;
    m_cEffect.process = processEffect;
    m_cEffect.setParameter = setParameterEffect;
    m_cEffect.getParameter = getParameterEffect;
    m_cEffect.numPrograms = numPrograms;
    m_cEffect.numParams = numParams;
    m_cEffect.numInputs = 1;
    m_cEffect.numOutputs = 2;
    m_cEffect.ioRatio = 1.0f;
    m_cEffect.object = this;
    m_cEffect.version = 1;
    m_cEffect.processReplacing = processReplacingEffect;
    m_cEffect.processDoubleReplacing = processDoubleReplacingEffect;
}

AudioEffect::~AudioEffect() {
    delete m_editor;
}

void AudioEffect::setEditor(AEffEditor* editor) {
    m_editor = editor;
    setFlag(effFlagsHasEditor, editor != nullptr);
}

void AudioEffect::setFlag(int32_t flag, bool state) {
    if (state)
        m_cEffect.flags |= flag;
    else
        m_cEffect.flags &= ~flag;
}

void AudioEffect::programsAreChunks(bool state) {
    setFlag(effFlagsProgramChunks, state);
}

void AudioEffect::canProcessReplacing(bool state) {
    setFlag(effFlagsCanReplacing, state);
}

void AudioEffect::canDoubleReplacing(bool state) {
    setFlag(effFlagsCanDoubleReplacing, state);
}

int32_t AudioEffect::getMasterVersion() {
    return int32_t(callHost(audioMasterVersion));
}

void AudioEffect::setParameterAutomated(int32_t index, float value) {
    setParameter(index, value);
    callHost(audioMasterAutomate, index, 0, nullptr, value);
}

intptr_t AudioEffect::dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    switch (opcode) {
    case effOpen:
        open();
        return 0;
    case effClose:
        close();
        return 0;
    case effSetProgram:
        if (value >= 0 && value < m_numPrograms) setProgram(int32_t(value));
        return 0;
    case effGetProgram:
        return getProgram();
    case effSetProgramName:
        if (ptr) setProgramName(static_cast<char*>(ptr));
        return 0;
    case effGetProgramName:
        if (ptr) getProgramName(static_cast<char*>(ptr));
        return 0;
    case effGetParamLabel:
        if (ptr) getParameterLabel(index, static_cast<char*>(ptr));
        return 0;
    case effGetParamDisplay:
        if (ptr) getParameterDisplay(index, static_cast<char*>(ptr));
        return 0;
    case effGetParamName:
        if (ptr) getParameterName(index, static_cast<char*>(ptr));
        return 0;
    case effSetSampleRate:
        setSampleRate(opt);
        return 0;
    case effSetBlockSize:
        setBlockSize(int32_t(value));
        return 0;
    case effMainsChanged:
        if (value)
            resume();
        else
            suspend();
        return 0;
    case effEditGetRect:
        return m_editor && ptr && m_editor->getRect(static_cast<ERect**>(ptr)) ? 1 : 0;
    case effEditOpen:
        return m_editor && m_editor->open(ptr) ? 1 : 0;
    case effEditClose:
        if (m_editor) m_editor->close();
        return 0;
    case effEditIdle:
        if (m_editor) m_editor->idle();
        return 0;
    case effIdentify:
        return kIdentify;
    case effGetChunk:
        return ptr ? getChunk(static_cast<void**>(ptr), index != 0) : 0;
    case effSetChunk:
        return setChunk(ptr, int32_t(value), index != 0);
    default:
        return 0;
    }
}
