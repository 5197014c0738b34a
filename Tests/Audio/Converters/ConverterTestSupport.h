#pragma once

#include <string>

#include "Audio/Converters/CAudioParamConverter.h"
#include "Audio/Params/ParamTree.h"

namespace qel::test {

// The product's converters with a parameter description whose ranges the tests set.
class ConverterTest : public ParamTreeTest {
protected:
    const CAudioParamConverter* converter(const char* name) {
        auto* found = dynamic_cast<CAudioParamConverter*>(cvt->findObject(CString(".") + name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    void setRange(double lo, double hi) {
        info.minValues = {lo};
        info.maxValues = {hi};
    }
    std::string text(const CAudioParamConverter* c, double value, int32_t form = CAudioParamConverter::Normal,
                     const CAudioParamData* pool = nullptr) {
        CString out;
        c->valueToText(out, info, 0, value, pool, form);
        return out.toUtf8();
    }
    // The value of an accepted text; NaN when the converter rejects it.
    double value(const CAudioParamConverter* c, const char* input) {
        bool ok = false;
        double v = c->textToValue(info, 0, input, &ok);
        return ok ? v : std::nan("");
    }
    std::string initError(const char* tag, const Attrs& attrs) {
        CObject* made = nullptr;
        return firstLine(make(cvt, tag, "custom", attrs, made));
    }

    CAudioParamInfo info;
};

} // namespace qel::test
