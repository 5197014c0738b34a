#include "Audio/Filters/CAudioFilterFIRGen.h"

#include "Audio/Filters/CAudioFilterGenArray.h"

namespace qel {

int32_t CAudioFilterFIRGen::maxSectionCount() const {
    return 0;
}

void CAudioFilterFIRGen::generate(const CAudioFilterParams&, double, CBiquadSectionList&) const {}

const CAudioFilterFIRGen* CAudioFilterFIRGen::select(const CAudioFilterGenArray& array,
                                                     const CAudioFilterParams& params) {
    return dynamic_cast<const CAudioFilterFIRGen*>(array.select(params.type()));
}

} // namespace qel
