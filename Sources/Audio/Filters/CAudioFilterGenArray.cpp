#include "Audio/Filters/CAudioFilterGenArray.h"

#include <algorithm>
#include <cmath>

#include "Audio/Filters/CAudioFilterGen.h"
#include "Audio/Filters/CAudioFilterGenArrayItem.h"

namespace qel {

CError* CAudioFilterGenArray::initComplete() {
    QEL_CHECK(CObject::initComplete());
    m_items.clear();
    for (CObject* child : children())
        if (auto* item = dynamic_cast<const CAudioFilterGenArrayItem*>(child)) m_items.push_back(item);
    return nullptr;
}

const CAudioFilterGen* CAudioFilterGenArray::select(double type) const {
    const double index = std::round(type);
    for (const CAudioFilterGenArrayItem* item : m_items)
        if (double(item->index()) == index) return item->generator();
    return nullptr;
}

void CAudioFilterGenArray::listSlots(std::vector<CString>& names) const {
    for (const CAudioFilterGenArrayItem* item : m_items)
        item->generator()->listSlots(names);
}

int32_t CAudioFilterGenArray::maxSectionCount() const {
    int32_t count = 0;
    for (const CAudioFilterGenArrayItem* item : m_items)
        count = std::max(count, item->generator()->maxSectionCount());
    return count;
}

void CAudioFilterGenArray::generate(const CAudioFilterParams& params, double sampleRate,
                                    CBiquadSectionList& sections) const {
    if (const CAudioFilterGen* generator = select(params.type()))
        generator->generate(params, sampleRate, sections);
}

} // namespace qel
