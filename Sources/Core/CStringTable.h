#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Core/CString.h"

namespace qel {

// The strings of one compiled definition tree, decoded once per load and shared by reference with
// every template body loaded from it.
class CStringTable {
public:
    std::vector<CString> strings;
    bool isStatic = false;

    const CString& at(uint16_t number) const {
        static const CString empty;
        return number < strings.size() ? strings[number] : empty;
    }
};

using CStringTableRef = std::shared_ptr<const CStringTable>;

} // namespace qel
