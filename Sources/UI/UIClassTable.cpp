#include "UI/UIClassTable.h"

#include "UI/CSharedAttribute.h"
#include "UI/CStdEventBridge.h"
#include "UI/CVizExchange.h"

namespace qel {

const SCreatorEntry* qelUIClassTable() {
    static const SCreatorEntry table[] = {
        {"core:shared-attribute", qelCreate<CSharedAttribute>, CSharedAttribute::initClass},
        {"ui:ui-event-bridge", qelCreate<CStdEventBridge>, CClassRecord::initObject},
        {"ui:viz-exchange", qelCreate<CVizExchange>, CVizExchange::initClass},
        {nullptr, nullptr, nullptr},
    };
    return table;
}

} // namespace qel
