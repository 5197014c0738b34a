#include "UI/CAppDataGlobal.h"

namespace qel {

// Entries written by older plug-ins in the audio plug-ins folder are still found there.
CAppDataGlobal::CAppDataGlobal()
    : CAppData(CString(kMakerFolder) + "/", CString(), "AppDataGlobal_",
               CString(kMakerFolder) + "/" + kPluginsFolder + "/") {}

CAppDataGlobal& CAppDataGlobal::instance() {
    static CAppDataGlobal store;
    return store;
}

} // namespace qel
