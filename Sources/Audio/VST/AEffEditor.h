#pragma once

#include "Audio/VST/AEffect.h"

class AudioEffect;

// The editor of an effect, as the host sees it through the editor opcodes.
class AEffEditor {
public:
    explicit AEffEditor(AudioEffect* effect) : m_effect(effect) {}
    virtual ~AEffEditor() = default;

    virtual bool getRect(ERect** rect) {
        *rect = nullptr;
        return false;
    }
    // parent is the host's window (an X11 window id on Linux).
    virtual bool open(void* parent) {
        m_systemWindow = parent;
        return false;
    }
    virtual void close() { m_systemWindow = nullptr; }
    virtual void idle() {}
    virtual bool isOpen() const { return m_systemWindow != nullptr; }
    virtual bool onWheel(float distance) {
        (void)distance;
        return false;
    }
    // Keyboard input reaches the editor through its own window.
    virtual bool onKeyDown(int32_t index, intptr_t value, float opt) {
        (void)index, (void)value, (void)opt;
        return false;
    }
    virtual bool onKeyUp(int32_t index, intptr_t value, float opt) {
        (void)index, (void)value, (void)opt;
        return false;
    }
    virtual bool setKnobMode(int32_t mode) {
        (void)mode;
        return false;
    }

    AudioEffect* effect() const { return m_effect; }

protected:
    AudioEffect* m_effect;
    void* m_systemWindow = nullptr;
};
