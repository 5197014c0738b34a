#include "Audio/ParamFilters/CAudioParamFilterBypassGroupSolo.h"

namespace qel {

void CAudioParamFilterBypassGroupSolo::onSourceChange(CAudioParam&, const SAudioParamChange& change,
                                                      const CAudioParam::CAccess*) {
    CAudioParam& solo = *sources()[0];
    CAudioParam::CAccess access(solo, nullptr);
    bool anySolo = false;
    for (int32_t group = 0; group < solo.values().groupCount() && !anySolo; ++group)
        anySolo = solo.values().elementCount(group) > 0 && solo.values().groupValues(group)[0] >= 0.5;
    destinations()[0]->setValue(0, 0, 0, anySolo ? 0.0 : 1.0, change.cause);
}

} // namespace qel
