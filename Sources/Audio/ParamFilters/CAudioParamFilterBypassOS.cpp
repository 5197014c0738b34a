#include "Audio/ParamFilters/CAudioParamFilterBypassOS.h"

#include <cmath>

#include "Audio/Converters/CAudioParamConverter.h"

namespace qel {

void CAudioParamFilterBypassOS::onSourceChange(CAudioParam&, const SAudioParamChange& change,
                                               const CAudioParam::CAccess*) {
    if (change.group != CAudioParamStorage::kCommonGroup && change.group >= 1) return;
    const double o = CAudioParamConverter::roundHalfAway(sources()[0]->getValue(0, 0, 1.0));
    const double h = CAudioParamConverter::roundHalfAway(sources()[1]->getValue(0, 0, 0.0));
    const bool bypass = o == 1.0 || (o == 0.0 && h == 0.0);
    destinations()[0]->setValue(change.group, 0, 0, bypass ? 1.0 : 0.0, change.cause);
}

} // namespace qel
