#pragma once

#include <vector>

#include "Audio/Filters/CAudioFilterGen.h"

namespace qel {

class CAudioFilterSerialGenItem;

// "audio:fltgen-serial": the sections of its items' generators, item after item.
class CAudioFilterSerialGen : public CAudioFilterGen {
public:
    CError* initComplete() override;

    void listSlots(std::vector<CString>& names) const override;
    int32_t maxSectionCount() const override;
    void generate(const CAudioFilterParams& params, double sampleRate,
                  CBiquadSectionList& sections) const override;

    const std::vector<const CAudioFilterSerialGenItem*>& items() const { return m_items; }

private:
    std::vector<const CAudioFilterSerialGenItem*> m_items;
};

} // namespace qel
