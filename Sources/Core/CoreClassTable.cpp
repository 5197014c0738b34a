#include "Core/CApplication.h"
#include "Core/CAttrDoubler.h"
#include "Core/CObject.h"
#include "Core/CTimerQueued.h"

namespace qel {

const SCreatorEntry* qelCoreClassTable() {
    static const SCreatorEntry table[] = {
        {"core:object", qelCreate<CObject>, CClassRecord::initObject},
        {"core:attr-doubler", qelCreate<CAttrDoubler>, CAttrDoubler::initClass},
        {"core:timer", qelCreate<CTimerQueued>, CTimerQueued::initClass},
        {nullptr, nullptr, nullptr},
    };
    return table;
}

} // namespace qel
