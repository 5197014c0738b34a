#pragma once

#include <cstdint>
#include <vector>

#include "Audio/DSP/CBiquadSectionList.h"
#include "Audio/Filters/CAudioFilterParams.h"
#include "Core/CObject.h"

namespace qel {

// A filter generator ("audio:fltgen-..."): turns the parameter values of a filter process and the
// sample rate into second-order sections. Generators are shared definition objects, so every operation
// is const; coefficients are generated only when a value or the sample rate changed.
class CAudioFilterGen : public CObject {
public:
    // Appends the names of the value slots this generator reads, in the order it reads them; a name
    // already in the list is not added again.
    virtual void listSlots(std::vector<CString>& names) const = 0;
    // The most sections one generate call appends.
    virtual int32_t maxSectionCount() const = 0;
    // Appends the sections for these values at this sample rate; appending none is a pass-through.
    virtual void generate(const CAudioFilterParams& params, double sampleRate,
                          CBiquadSectionList& sections) const = 0;

protected:
    static void addSlot(std::vector<CString>& names, const CString& name);
    // The "type" attribute as a whole number in 0..maxType (0 when absent); false when it is not one.
    bool readType(int32_t maxType, int32_t& type) const;
};

} // namespace qel
