#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Audio/CAudioWrapper.h"
#include "Audio/ProductStartup.h"
#include "Audio/VST/CAudioWrapperVST.h"
#include "Core/CApplication.h"
#include "Core/CObject.h"
#include "ResourceEmbedder/EmbeddedResources.h"

namespace qel::test {

// A scripted host for plug-in objects made in this process: its answers come from the fields below
// and every callback it receives is recorded.
struct SScriptedHost {
    intptr_t version = 2400;
    std::string product = "Test Host";
    std::string vendor = "Test Vendor";
    int32_t processLevel = kVstProcessLevelRealtime;
    std::vector<int32_t> calls;

    static SScriptedHost*& current() {
        static SScriptedHost* host = nullptr;
        return host;
    }
    static intptr_t callback(AEffect*, int32_t opcode, int32_t, intptr_t, void* ptr, float) {
        SScriptedHost* host = current();
        if (!host) return 0;
        host->calls.push_back(opcode);
        switch (opcode) {
        case audioMasterVersion:
            return host->version;
        case audioMasterGetProductString:
            snprintf(static_cast<char*>(ptr), 65, "%s", host->product.c_str());
            return 1;
        case audioMasterGetVendorString:
            snprintf(static_cast<char*>(ptr), 65, "%s", host->vendor.c_str());
            return 1;
        case audioMasterGetCurrentProcessLevel:
            return host->processLevel;
        default:
            return 0;
        }
    }
};

class WrapperInstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(qelProductStartup(g_embeddedResources), nullptr);
        CAudioWrapper::setApplicationFactory(
            [](CObject*& application) { return CApplication::initRootObject(CString(), application); });
        SScriptedHost::current() = &host;
    }
    void TearDown() override {
        if (effect) effect->dispatcher(effect, effClose, 0, 0, nullptr, 0);
        SScriptedHost::current() = nullptr;
        CAudioWrapper::setApplicationFactory(nullptr);
        CApplication::shutdown();
    }
    CAudioWrapperVST& create() {
        effect = CAudioWrapperVST::createEffect(SScriptedHost::callback);
        EXPECT_NE(effect, nullptr);
        return *static_cast<CAudioWrapperVST*>(static_cast<AudioEffect*>(effect->object));
    }

    SScriptedHost host;
    AEffect* effect = nullptr;
};

} // namespace qel::test
