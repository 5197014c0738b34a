#include "UI/CAppDataGroup.h"

namespace qel {

CAppDataGroup::CAppDataGroup()
    : CAppData(CString(kMakerFolder) + "/" + kPluginsFolder + "/", CString(), "AppDataGroup_", CString()) {}

CAppDataGroup& CAppDataGroup::instance() {
    static CAppDataGroup store;
    return store;
}

} // namespace qel
