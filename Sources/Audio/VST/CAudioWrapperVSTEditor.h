#pragma once

#include "Audio/VST/AEffEditor.h"

namespace qel {
class CAudioWrapper;
class CBitmap;
class CError;
class CObject;
class CWindowRenderer;
} // namespace qel

// The editor as the host sees it: its size, and a user-interface tree of its own ("UserInterface.xml")
// built when the host opens it in a window and destroyed when the host closes it. The tree lives on
// the library's user-interface thread; the host's calls hand their work to that thread and wait.
class CAudioWrapperVSTEditor : public AEffEditor {
public:
    // How long a host call waits for the user-interface thread.
    static constexpr int kAnswerTimeoutMs = 10000;

    CAudioWrapperVSTEditor(AudioEffect* effect, qel::CAudioWrapper& core);
    ~CAudioWrapperVSTEditor() override;

    bool getRect(ERect** rect) override;
    bool open(void* parent) override;
    void close() override;
    bool onWheel(float distance) override;

    // The editor drawn at scale into picture on the calling thread, with a tree of its own and no
    // window: for snapshots without a display.
    qel::CError* snapshot(double scale, qel::CBitmap& picture);

    // The binding's size report to the host writes the size here first.
    void setSize(int32_t width, int32_t height);
    qel::CObject* userInterfaceRoot() const { return m_userInterfaceRoot; }
    qel::CWindowRenderer* windowRenderer() const { return m_windowRenderer; }

private:
    qel::CError* buildTree(void* parent, double scale, qel::CObject*& root);
    bool build();
    void destroyRoot();

    ERect m_rect{0, 0, 0, 0};
    qel::CAudioWrapper& m_core;
    // The user-interface tree follows its address to the audio side.
    qel::CObject* m_audioRoot = nullptr;
    qel::CObject* m_userInterfaceRoot = nullptr;
    qel::CWindowRenderer* m_windowRenderer = nullptr;
    bool m_usesUserInterfaceThread = false;
};
