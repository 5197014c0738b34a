#pragma once

#include "UI/CAppData.h"

namespace qel {

// The store of data of this product only.
class CAppDataLocal : public CAppData {
public:
    // The product's folder below the maker's audio plug-ins folder and beside the plug-in file.
    static constexpr const char* kProductFolder = "Emberline";

    CAppDataLocal();

    // The process-wide store, created on first use and destroyed when the library is unloaded.
    static CAppDataLocal& instance();
};

} // namespace qel
