#include "UI/UIClassTable.h"

#include "UI/CStdEventBridge.h"

namespace qel {

const SCreatorEntry* qelUIClassTable() {
    static const SCreatorEntry table[] = {
        {"ui:ui-event-bridge", qelCreate<CStdEventBridge>, CClassRecord::initObject},
        {nullptr, nullptr, nullptr},
    };
    return table;
}

} // namespace qel
