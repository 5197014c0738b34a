#include "Audio/Filters/CAudioFilterBypassGen.h"

namespace qel {

void CAudioFilterBypassGen::listSlots(std::vector<CString>&) const {}

int32_t CAudioFilterBypassGen::maxSectionCount() const {
    return 0;
}

void CAudioFilterBypassGen::generate(const CAudioFilterParams&, double, CBiquadSectionList&) const {}

} // namespace qel
