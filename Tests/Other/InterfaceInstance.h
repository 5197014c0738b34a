#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <mutex>
#include <vector>

#include "Audio/CAudioWrapper.h"
#include "Audio/Params/CAudioParam.h"
#include "Audio/Params/CAudioParamCollector.h"
#include "Audio/Params/CAudioParamRegistry.h"
#include "Audio/ProductStartup.h"
#include "Audio/VST/CAudioWrapperVST.h"
#include "Core/CApplication.h"
#include "Core/Platform/CThreadPump.h"
#include "Other/CAudioInterfaceClient.h"
#include "Other/CParamInterfaceBaseConnectorUni.h"
#include "Other/CParamInterfaceClientConnectorUni.h"
#include "ResourceEmbedder/EmbeddedResources.h"

namespace qel::test {

// One host callback as the plug-in made it.
struct SHostCall {
    int32_t opcode = 0;
    int32_t index = 0;
    float value = 0;
};

// An editor's user-interface tree built from the compiled definitions, linked to an instance the way
// the editor links it, but without any window.
struct SEditor {
    CObject* audioRoot = nullptr; // the field whose address the tree receives
    CObject* ui = nullptr;
    CAudioInterfaceClient* client = nullptr;
    CParamInterfaceClientConnectorUni* connector = nullptr;

    ~SEditor() {
        if (ui) CApplication::releaseRootObject(ui);
    }
    // What the timer does on a tick, then the thread's event loop.
    void deliver() {
        connector->poll();
        CThreadPump::current()->pump();
    }
};

// A plug-in instance made through the VST binding, a recording host and any number of editors.
class InterfaceInstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(qelProductStartup(g_embeddedResources), nullptr);
        CAudioWrapper::setApplicationFactory(
            [](CObject*& application) { return CApplication::initRootObject(CString(), application); });
        calls().clear();
        CThreadPump::current()->pump();
        effect = CAudioWrapperVST::createEffect(callback);
        ASSERT_NE(effect, nullptr);
        wrapper = static_cast<CAudioWrapperVST*>(static_cast<AudioEffect*>(effect->object));
        effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
        effect->dispatcher(effect, effSetBlockSize, 0, 512, nullptr, 0);
        effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0);
    }
    void TearDown() override {
        editors.clear();
        if (effect) effect->dispatcher(effect, effClose, 0, 0, nullptr, 0);
        CAudioWrapper::setApplicationFactory(nullptr);
        CApplication::shutdown();
    }

    // Read only while no other thread calls the host.
    static std::vector<SHostCall>& calls() {
        static std::vector<SHostCall> recorded;
        return recorded;
    }
    static std::mutex& callsLock() {
        static std::mutex lock;
        return lock;
    }
    // Hosts are called from the audio thread and the user-interface thread alike.
    static intptr_t callback(AEffect*, int32_t opcode, int32_t index, intptr_t, void*, float value) {
        std::lock_guard<std::mutex> guard(callsLock());
        calls().push_back({opcode, index, value});
        return opcode == audioMasterVersion ? 2400 : 0;
    }
    // The calls of one kind, in order.
    static std::vector<SHostCall> callsOf(int32_t opcode) {
        std::lock_guard<std::mutex> guard(callsLock());
        std::vector<SHostCall> found;
        for (const SHostCall& call : calls())
            if (call.opcode == opcode) found.push_back(call);
        return found;
    }

    SEditor& openEditor() {
        auto editor = std::make_unique<SEditor>();
        editor->audioRoot = wrapper->applicationObject();
        EXPECT_EQ(CApplication::initRootObject(CString(), editor->ui), nullptr);
        EXPECT_EQ(editor->ui->setAttrPointer("BaseConnectorRootPtr", &editor->audioRoot), nullptr);
        CError* error = editor->ui->loadXMLData("UserInterface.xml", true);
        EXPECT_EQ(error, nullptr) << (error ? error->joined("\n").toUtf8() : std::string());
        EXPECT_EQ(editor->ui->findObjectChecked("ui.interface-client", editor->client), nullptr);
        EXPECT_EQ(editor->ui->findObjectChecked("ui.interface-client-connector", editor->connector), nullptr);
        editors.push_back(std::move(editor));
        return *editors.back();
    }
    // The editor listens to the output gain and the master registry; the registry itself.
    CAudioParamRegistry* listenToGainAndRegistry(SEditor& editor, int32_t& handle, int32_t& registry) {
        EXPECT_EQ(editor.client->listenParam("plugin.modMain.modOutGain.gain", nullptr, handle), nullptr);
        EXPECT_EQ(editor.client->listenRegistry("plugin.param-registry", nullptr, registry), nullptr);
        editor.deliver();
        CAudioParamRegistry* master = nullptr;
        EXPECT_EQ(wrapper->applicationObject()->findObjectChecked("plugin.param-registry", master), nullptr);
        return master;
    }
    void closeEditor(SEditor& editor) {
        for (auto it = editors.begin(); it != editors.end(); ++it)
            if (it->get() == &editor) {
                editors.erase(it);
                return;
            }
    }
    CParamInterfaceBaseConnectorUni& baseConnector() {
        CParamInterfaceBaseConnectorUni* connector = nullptr;
        EXPECT_EQ(
            wrapper->applicationObject()->findObjectChecked("plugin.interface-base-connector", connector),
            nullptr);
        return *connector;
    }
    CAudioParam& param(const char* name) {
        CAudioParamCollector* collector = nullptr;
        EXPECT_EQ(wrapper->applicationObject()->findObjectChecked("plugin.param-collector", collector),
                  nullptr);
        return *collector->getParam(name);
    }

    // One host block of a sine at the given amplitude on every input.
    void process(double amplitude, int32_t frames = 512) {
        std::vector<float> in(static_cast<size_t>(frames));
        for (int32_t i = 0; i < frames; ++i)
            in[size_t(i)] = float(amplitude * std::sin(2.0 * M_PI * 1000.0 * double(m_phase + i) / 48000.0));
        m_phase += frames;
        std::vector<float*> inputs(size_t(effect->numInputs), in.data());
        lastOutput.assign(size_t(effect->numOutputs), std::vector<float>(size_t(frames)));
        std::vector<float*> outputs;
        for (auto& channel : lastOutput)
            outputs.push_back(channel.data());
        effect->processReplacing(effect, inputs.data(), outputs.data(), frames);
    }

    AEffect* effect = nullptr;
    CAudioWrapperVST* wrapper = nullptr;
    std::vector<std::unique_ptr<SEditor>> editors;
    std::vector<std::vector<float>> lastOutput;

private:
    int64_t m_phase = 0;
};

} // namespace qel::test
