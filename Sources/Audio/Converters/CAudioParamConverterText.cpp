#include "Audio/Converters/CAudioParamConverterText.h"

namespace qel {

double CAudioParamConverterText::textToValue(const CAudioParamInfo&, int32_t, const CString&,
                                             bool* ok) const {
    setOk(ok, true);
    return 0.0;
}

double CAudioParamConverterText::parseLimit(const CAudioParamInfo&, int32_t, const CString&, bool* ok) const {
    setOk(ok, true);
    return 0.0;
}

void CAudioParamConverterText::valueToText(CString& text, const CAudioParamInfo&, int32_t, double value,
                                           const CAudioParamData* pool, int32_t) const {
    text = pool ? pool->getString(CAudioParamData::indexOfValue(value)) : CString();
}

} // namespace qel
