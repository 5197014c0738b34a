#pragma once

#include <cstdint>
#include <vector>

#include "Audio/DSP/CBiquadSectionList.h"
#include "Core/CObject.h"

namespace qel {

class CAudioFilterGen;
class CAudioFilterGenArrayItem;
class CAudioFilterParams;

// "audio:fltgen-array": the generators a filter process chooses from by its "type" value; the item
// whose "index" equals the value (rounded to the nearest whole number) generates, the first such item
// when several share an index. No matching item generates nothing.
class CAudioFilterGenArray : public CObject {
public:
    CError* initComplete() override;

    // The generator for a "type" value; null when no item has that index.
    const CAudioFilterGen* select(double type) const;
    // The value slots of every item's generator, item after item, each name once.
    void listSlots(std::vector<CString>& names) const;
    // The most sections any item appends.
    int32_t maxSectionCount() const;
    // The sections of the generator params.type() selects.
    void generate(const CAudioFilterParams& params, double sampleRate, CBiquadSectionList& sections) const;

    const std::vector<const CAudioFilterGenArrayItem*>& items() const { return m_items; }

private:
    std::vector<const CAudioFilterGenArrayItem*> m_items;
};

} // namespace qel
