#pragma once

#include "Audio/VST/AEffect.h"

class AEffEditor;

// The basic effect: owner of the published record and of the dispatcher for opcodes 0 to 24.
class AudioEffect {
public:
    AudioEffect(audioMasterCallback audioMaster, int32_t numPrograms, int32_t numParams);
    virtual ~AudioEffect();

    virtual intptr_t dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);

    virtual void open() {}
    virtual void close() {}
    virtual void suspend() {}
    virtual void resume() {}
    // The deprecated accumulating call does nothing.
    virtual void process(float** inputs, float** outputs, int32_t frames) {
        (void)inputs, (void)outputs, (void)frames;
    }
    virtual void processReplacing(float** inputs, float** outputs, int32_t frames) = 0;
    virtual void processDoubleReplacing(double** inputs, double** outputs, int32_t frames) {
        (void)inputs, (void)outputs, (void)frames;
    }
    virtual void setParameter(int32_t index, float value) { (void)index, (void)value; }
    virtual float getParameter(int32_t index) {
        (void)index;
        return 0;
    }
    virtual int32_t getProgram() { return m_curProgram; }
    virtual void setProgram(int32_t program) { m_curProgram = program; }
    virtual void setProgramName(char* name) { (void)name; }
    virtual void getProgramName(char* name) { *name = 0; }
    virtual void getParameterLabel(int32_t index, char* label) { (void)index, *label = 0; }
    virtual void getParameterDisplay(int32_t index, char* text) { (void)index, *text = 0; }
    virtual void getParameterName(int32_t index, char* text) { (void)index, *text = 0; }
    virtual int32_t getChunk(void** data, bool isPreset) {
        (void)isPreset;
        *data = nullptr;
        return 0;
    }
    virtual int32_t setChunk(void* data, int32_t size, bool isPreset) {
        (void)data, (void)size, (void)isPreset;
        return 0;
    }
    virtual void setSampleRate(float rate) { m_sampleRate = rate; }
    virtual void setBlockSize(int32_t size) { m_blockSize = size; }

    AEffect* getAeffect() { return &m_cEffect; }
    void setEditor(AEffEditor* editor);
    AEffEditor* getEditor() const { return m_editor; }
    void setUniqueID(int32_t id) { m_cEffect.uniqueID = id; }
    void setNumInputs(int32_t count) { m_cEffect.numInputs = count; }
    void setNumOutputs(int32_t count) { m_cEffect.numOutputs = count; }
    void setInitialDelay(int32_t delay) { m_cEffect.initialDelay = delay; }
    void programsAreChunks(bool state = true);
    void canProcessReplacing(bool state = true);
    void canDoubleReplacing(bool state = true);
    float getSampleRate() const { return m_sampleRate; }
    int32_t getBlockSize() const { return m_blockSize; }

    // Host callback wrappers.
    int32_t getMasterVersion();
    void setParameterAutomated(int32_t index, float value);

protected:
    void setFlag(int32_t flag, bool state);
    intptr_t callHost(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0) {
        return m_audioMaster ? m_audioMaster(&m_cEffect, opcode, index, value, ptr, opt) : 0;
    }

    audioMasterCallback m_audioMaster;
    AEffEditor* m_editor = nullptr;
    float m_sampleRate = 44100.0f;
    int32_t m_blockSize = 1024;
    int32_t m_numPrograms;
    int32_t m_numParams;
    int32_t m_curProgram = 0;
    AEffect m_cEffect;
};
