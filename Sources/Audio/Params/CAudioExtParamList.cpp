#include "Audio/Params/CAudioExtParamList.h"

#include <algorithm>

#include "Audio/Params/CAudioExtParam.h"

namespace qel {

CError* CAudioExtParamList::onChildAdded(CObject* child) {
    QEL_CHECK(CObject::onChildAdded(child));
    if (auto* entry = dynamic_cast<CAudioExtParam*>(child)) m_entries.push_back(entry);
    return nullptr;
}

void CAudioExtParamList::removeChild(CObject* child) {
    m_entries.erase(std::remove(m_entries.begin(), m_entries.end(), child), m_entries.end());
    CObject::removeChild(child);
}

CAudioExtParam* CAudioExtParamList::entry(int32_t index) const {
    return index >= 0 && index < count() ? m_entries[size_t(index)] : nullptr;
}

} // namespace qel
