#pragma once

#include "Audio/CAudioEnv.h"
#include "Audio/Params/CAudioParam.h"
#include "Audio/Params/CAudioParamCollector.h"
#include "Audio/Params/CAudioParamRegistry.h"
#include "Audio/Params/ParamTree.h"

namespace qel::test {

// An instance tree "plugin" with its audio environment, collector and a master registry owning
// "plugin.modMain" whose definitions live under "shared::audio.modMain".
class CollectorTreeTest : public ParamTreeTest {
protected:
    void SetUp() override {
        ParamTreeTest::SetUp();
        CObject* audio = CObject::sharedObject()->findObject("audio");
        ASSERT_EQ(make(audio, "core:object", "modMain", {}, defs), nullptr);
        ASSERT_EQ(make(root, "core:object", "plugin", {}, plugin), nullptr);
        CObject* made = nullptr;
        ASSERT_EQ(make(plugin, "audio:audio-env", "audio-env", {}, made), nullptr);
        env = static_cast<CAudioEnv*>(made);
        ASSERT_EQ(make(plugin, "audio:param-collector", "param-collector", {{"env", "^audio-env"}}, made),
                  nullptr);
        collector = static_cast<CAudioParamCollector*>(made);
        ASSERT_EQ(firstLine(make(plugin, "audio:param-registry", "param-registry",
                                 {{"hierarchy", "plugin.modMain"},
                                  {"def-name-remap", "plugin=audio"},
                                  {"is-master", "true"},
                                  {"id", "TEST"},
                                  {"param-collector", "^param-collector"}},
                                 made)),
                  "");
        master = static_cast<CAudioParamRegistry*>(made);
    }

    // A definition at shared::audio.modMain.<name>.
    void define(const char* name, const Attrs& attrs) {
        CObject* made = nullptr;
        ASSERT_EQ(firstLine(make(defs, "audio:param", name, attrs, made)), "") << name;
    }
    CAudioParam* param(const char* name) { return collector->getParam(CString("plugin.modMain.") + name); }

    CObject* defs = nullptr;
    CObject* plugin = nullptr;
    CAudioEnv* env = nullptr;
    CAudioParamCollector* collector = nullptr;
    CAudioParamRegistry* master = nullptr;
};

} // namespace qel::test
