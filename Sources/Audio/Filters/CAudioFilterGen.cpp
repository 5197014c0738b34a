#include "Audio/Filters/CAudioFilterGen.h"

#include <algorithm>
#include <cmath>

namespace qel {

void CAudioFilterGen::addSlot(std::vector<CString>& names, const CString& name) {
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
}

bool CAudioFilterGen::readType(int32_t maxType, int32_t& type) const {
    type = 0;
    if (!hasAttr("type")) return true;
    double value = 0.0;
    if (!getAttr("type").trimmed().parseDouble(value) || value != std::floor(value) || value < 0.0 ||
        value > double(maxType))
        return false;
    type = int32_t(value);
    return true;
}

} // namespace qel
