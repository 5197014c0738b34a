#include "Audio/Filters/CAudioFilterSerialGen.h"

#include "Audio/Filters/CAudioFilterSerialGenItem.h"

namespace qel {

CError* CAudioFilterSerialGen::initComplete() {
    QEL_CHECK(CAudioFilterGen::initComplete());
    m_items.clear();
    for (CObject* child : children())
        if (auto* item = dynamic_cast<const CAudioFilterSerialGenItem*>(child)) m_items.push_back(item);
    return nullptr;
}

void CAudioFilterSerialGen::listSlots(std::vector<CString>& names) const {
    for (const CAudioFilterSerialGenItem* item : m_items)
        item->generator()->listSlots(names);
}

int32_t CAudioFilterSerialGen::maxSectionCount() const {
    int32_t count = 0;
    for (const CAudioFilterSerialGenItem* item : m_items)
        count += item->generator()->maxSectionCount();
    return count;
}

void CAudioFilterSerialGen::generate(const CAudioFilterParams& params, double sampleRate,
                                     CBiquadSectionList& sections) const {
    for (const CAudioFilterSerialGenItem* item : m_items) {
        CAudioFilterParams adjusted = params;
        item->adjust(adjusted);
        item->generator()->generate(adjusted, sampleRate, sections);
    }
}

} // namespace qel
