#include "Audio/ProductStartup.h"

#include "Audio/AudioClassTable.h"
#include "Audio/Filters/FilterClassTable.h"
#include "Audio/Params/CAudioParamInfo.h"
#include "Core/CApplication.h"
#include "Other/OtherClassTable.h"
#include "UI/CAppDataGlobal.h"
#include "UI/CAppDataLocal.h"
#include "UI/UIClassTable.h"

namespace qel {

namespace {

bool readAppData(bool global, const CString& name, uint32_t type, CByteBuffer& data) {
    CAppData& store = global ? static_cast<CAppData&>(CAppDataGlobal::instance())
                             : static_cast<CAppData&>(CAppDataLocal::instance());
    // A store that yields nothing (none of its places has the entry, or it is off) leaves the
    // parameters the default compiled into the plug-in.
    return store.get(name, type, data) || store.getDefault(name, type, data);
}

} // namespace

std::vector<const SCreatorEntry*> qelProductClassTables() {
    return {qelCoreClassTable(), qelAudioClassTable(), qelFilterClassTable(), qelOtherClassTable(),
            qelUIClassTable()};
}

CError* qelProductStartup(const SEmbeddedResource* resources) {
    CAudioParamInfo::setAppDataReader(readAppData);
    return CApplication::startup(qelProductClassTables(), resources, "SharedData.xml");
}

} // namespace qel
