#pragma once

#include <utility>
#include <vector>

#include "Core/CObject.h"

namespace qel {

// "audio:param-remap": parameter name aliases a process uses when it looks up its parameters.
class CAudioParamRemapDef : public CObject {
public:
    CError* initComplete() override;

    // (original name, new name); a new name may be relative to the parent ("^oversampling").
    const std::vector<std::pair<CString, CString>>& remaps() const { return m_remaps; }

    // Pairs "a = b" separated by ";" (or by spaces when there is no ";"), appended to pairs.
    static CError* parsePairs(const CString& text, const CString& context,
                              std::vector<std::pair<CString, CString>>& pairs);

private:
    std::vector<std::pair<CString, CString>> m_remaps;
};

} // namespace qel
