#pragma once

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

#include "Audio/Params/CAudioParamDef.h"
#include "Audio/ProductStartup.h"
#include "Core/CApplication.h"
#include "Core/CObject.h"
#include "Support/DefinitionBuilder.h"
#include "Support/ErrorText.h"

namespace qel::test {

// Core and audio classes, with the product's converters under "shared::audio.paramcvt".
class ParamTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(CApplication::startup(qelProductClassTables(), nullptr, CString()), nullptr);
        ASSERT_EQ(CApplication::initRootObject(CString(), root), nullptr);
        CObject* audio = nullptr;
        ASSERT_EQ(make(CObject::sharedObject(), "core:object", "audio", {}, audio), nullptr);
        ASSERT_EQ(make(audio, "core:object", "paramcvt", {}, cvt), nullptr);
        const std::vector<std::pair<const char*, Attrs>> converters = {
            {"gain",
             {{"label", "dB"}, {"decimals", "1"}, {"scale-power", "1.0"}, {"scale-threshold", "-1.0"}}},
            {"freq", {{"label", "Hz"}, {"scale-power", "1.0"}, {"scale-threshold", "-1.0"}}},
            {"bw", {{"label", "Oct"}}},
            {"text", {{"is-discrete", "true"}}},
            {"real", {{"decimals", "2"}}},
            {"percent", {{"label", "%"}}},
            {"time", {{"label", "ms"}, {"scale", "0.001"}}},
            {"time-sec", {{"label", "s"}, {"scale", "1.0"}}},
            {"enum", {{"is-discrete", "true"}}},
            {"enum-enable", {{"is-discrete", "true"}, {"state-names", "Off;On"}}},
        };
        for (const auto& [name, attrs] : converters) {
            CString tag = CString("audio:cvt-") + (CString(name).startsWith("time")   ? "time"
                                                   : CString(name).startsWith("enum") ? "enum"
                                                                                      : name);
            CObject* made = nullptr;
            ASSERT_EQ(make(cvt, tag.toUtf8().c_str(), name, attrs, made), nullptr) << name;
        }
    }
    void TearDown() override {
        CApplication::releaseRootObject(root);
        CApplication::shutdown();
    }

    // Adds a child with the attributes and runs its three set-up phases; a failing child is removed.
    static CError* make(CObject* parent, const char* tag, const char* name, const Attrs& attrs,
                        CObject*& made) {
        return buildDefinition(parent, tag, name, attrs, {}, made);
    }

    // A one-value gain parameter of -12..12 dB defaulting to 0 dB, with attributes replaced or added.
    static Attrs gain(const Attrs& changes) {
        Attrs attrs = {{"element-size", "1"},
                       {"converter", "shared::audio.paramcvt.gain"},
                       {"min-values", "-12"},
                       {"max-values", "12"},
                       {"def-values", "0"}};
        for (const auto& change : changes) {
            auto same = std::find_if(attrs.begin(), attrs.end(), [&change](const auto& a) {
                return !std::strcmp(a.first, change.first);
            });
            if (same != attrs.end())
                same->second = change.second;
            else
                attrs.push_back(change);
        }
        return attrs;
    }

    // A parameter definition below the root; null (with a test failure) when it does not build.
    const CAudioParamInfo* param(const Attrs& attrs) {
        CObject* made = nullptr;
        CError* error = make(root, "audio:param", "p", attrs, made);
        EXPECT_EQ(firstLine(error), "");
        return made ? &static_cast<CAudioParamDef*>(made)->info() : nullptr;
    }
    // The message line of a definition that fails.
    std::string paramError(const Attrs& attrs) {
        CObject* made = nullptr;
        return firstLine(make(root, "audio:param", "p", attrs, made));
    }

    CObject* root = nullptr;
    CObject* cvt = nullptr;
};

} // namespace qel::test
