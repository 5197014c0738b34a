#pragma once

#include "UI/CAppData.h"

namespace qel {

// The store of data shared by the maker's audio plug-ins.
class CAppDataGroup : public CAppData {
public:
    CAppDataGroup();

    // The process-wide store, created on first use and destroyed when the library is unloaded.
    static CAppDataGroup& instance();
};

} // namespace qel
