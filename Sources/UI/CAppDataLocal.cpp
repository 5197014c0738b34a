#include "UI/CAppDataLocal.h"

namespace qel {

CAppDataLocal::CAppDataLocal()
    : CAppData(CString(kMakerFolder) + "/" + kPluginsFolder + "/" + kProductFolder + "/",
               CString(kProductFolder) + "/", "AppDataLocal_", CString()) {}

CAppDataLocal& CAppDataLocal::instance() {
    static CAppDataLocal store;
    return store;
}

} // namespace qel
