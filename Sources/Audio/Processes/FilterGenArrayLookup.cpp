#include "Audio/Processes/FilterGenArrayLookup.h"

#include "Audio/Filters/CAudioFilterGenArray.h"
#include "Audio/Graph/CAudioProcessDefBase.h"
#include "Core/CDebugLog.h"

namespace qel {

const CAudioFilterGenArray* qelFindGenArray(const CAudioProcessDefBase& def, const CString& processName,
                                            std::vector<CString>& slotNames) {
    const CString path = def.getAttr("gen-array");
    CObject* found = path.isEmpty() ? nullptr : const_cast<CAudioProcessDefBase&>(def).findObject(path);
    const auto* array = dynamic_cast<const CAudioFilterGenArray*>(found);
    if (!array) {
        const std::string text = path.toUtf8();
        CDebugLog::writeLine(CString::format("The 'gen-array' '%s' not found.", text.c_str()), processName);
        return nullptr;
    }
    array->listSlots(slotNames);
    return array;
}

} // namespace qel
