#pragma once

#include <vector>

#include "Core/CObject.h"

namespace qel {

class CAudioExtParam;

// "audio:ext-param-list": the host-exposed parameters in definition order, which is the host's
// parameter index.
class CAudioExtParamList : public CObject {
public:
    CError* onChildAdded(CObject* child) override;
    void removeChild(CObject* child) override;

    int32_t count() const { return int32_t(m_entries.size()); }
    // Null outside 0..count-1.
    CAudioExtParam* entry(int32_t index) const;
    const std::vector<CAudioExtParam*>& entries() const { return m_entries; }

private:
    std::vector<CAudioExtParam*> m_entries;
};

} // namespace qel
