#pragma once

#include "UI/CAppData.h"

namespace qel {

// The store of data shared by all of the maker's products.
class CAppDataGlobal : public CAppData {
public:
    CAppDataGlobal();

    // The process-wide store, created on first use and destroyed when the library is unloaded.
    static CAppDataGlobal& instance();
};

} // namespace qel
