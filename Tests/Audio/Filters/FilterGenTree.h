#pragma once

#include <cmath>
#include <complex>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

#include "Audio/AudioClassTable.h"
#include "Audio/Filters/CAudioFilterGen.h"
#include "Audio/Filters/FilterClassTable.h"
#include "Core/CApplication.h"
#include "Support/DefinitionBuilder.h"
#include "Support/ErrorText.h"

namespace qel::test {

using Slots = std::initializer_list<std::pair<const char*, double>>;

inline std::complex<double> response(const CBiquadSectionList& sections, double w) {
    const std::complex<double> z1 = std::polar(1.0, -w);
    std::complex<double> h = 1.0;
    for (const SBiquadSection& c : sections)
        h *= (c.b0 + c.b1 * z1 + c.b2 * z1 * z1) / (1.0 + c.a1 * z1 + c.a2 * z1 * z1);
    return h;
}

inline double magnitudeAt(const CBiquadSectionList& sections, double freq, double sampleRate) {
    return std::abs(response(sections, 2.0 * M_PI * freq / sampleRate));
}

inline CAudioFilterParams values(Slots slots, double type = 0.0) {
    CAudioFilterParams params;
    params.setType(type);
    for (const auto& [name, value] : slots)
        params.set(name, value);
    return params;
}

template <class Generator>
CBiquadSectionList run(const Generator& generator, const CAudioFilterParams& params, double sampleRate) {
    CBiquadSectionList sections;
    generator.generate(params, sampleRate, sections);
    return sections;
}

template <class Generator>
std::vector<CString> slots(const Generator& generator) {
    std::vector<CString> names;
    generator.listSlots(names);
    return names;
}

// Filter generator definitions built in code under "shared::flt".
class FilterGenTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(CApplication::startup({qelCoreClassTable(), qelAudioClassTable(), qelFilterClassTable()},
                                        nullptr, CString()),
                  nullptr);
        ASSERT_EQ(firstLine(build(CObject::sharedObject(), "core:object", "flt", {}, {}, flt)), "");
    }
    void TearDown() override { CApplication::shutdown(); }

    static CError* build(CObject* parent, const char* tag, const char* name, const Attrs& attrs,
                         const std::vector<std::pair<const char*, Attrs>>& items, CObject*& made) {
        return buildDefinition(parent, tag, name, attrs, items, made);
    }
    template <class T = CAudioFilterGen>
    T* gen(const char* tag, const char* name, const Attrs& attrs,
           const std::vector<std::pair<const char*, Attrs>>& items = {}) {
        CObject* made = nullptr;
        EXPECT_EQ(firstLine(build(flt, tag, name, attrs, items, made)), "") << name;
        EXPECT_NE(dynamic_cast<T*>(made), nullptr) << name;
        return dynamic_cast<T*>(made);
    }
    // The message line of a definition that fails.
    std::string genError(const char* tag, const Attrs& attrs,
                         const std::vector<std::pair<const char*, Attrs>>& items = {}) {
        CObject* made = nullptr;
        return firstLine(build(flt, tag, "failing", attrs, items, made));
    }

    CObject* flt = nullptr;
};

} // namespace qel::test
