#pragma once

#include <map>
#include <string>

#include "Other/CPalette.h"

namespace qel::test {

// The colours the descriptions fall back to.
class FallbackPalette : public CPalette {
public:
    CColor color(const CString&, const CColor& fallback) const override { return fallback; }
};

// Chosen colours by name, every other colour transparent; remembers what was asked for.
class ChosenPalette : public CPalette {
public:
    std::map<std::string, CColor> chosen;
    mutable std::map<std::string, CColor> asked;

    CColor color(const CString& name, const CColor& fallback) const override {
        asked[name.toUtf8()] = fallback;
        const auto it = chosen.find(name.toUtf8());
        return it == chosen.end() ? CColor{0, 0, 0, 0} : it->second;
    }
};

} // namespace qel::test
