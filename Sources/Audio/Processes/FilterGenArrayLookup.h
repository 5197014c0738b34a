#pragma once

#include <vector>

#include "Core/CString.h"

namespace qel {

class CAudioFilterGenArray;
class CAudioProcessDefBase;

// The generator array that a filter process's "gen-array" names, logged when missing (the process
// then passes its input through). The slots its generators read are appended to slotNames.
const CAudioFilterGenArray* qelFindGenArray(const CAudioProcessDefBase& def, const CString& processName,
                                            std::vector<CString>& slotNames);

} // namespace qel
