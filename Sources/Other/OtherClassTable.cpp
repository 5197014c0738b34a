#include "Other/OtherClassTable.h"

#include "Other/CAudioInterfaceClient.h"
#include "Other/CFontObject.h"
#include "Other/CImageSetObject.h"
#include "Other/CParamInterfaceBaseConnectorUni.h"
#include "Other/CParamInterfaceClientConnectorUni.h"

namespace qel {

const SCreatorEntry* qelOtherClassTable() {
    static const SCreatorEntry table[] = {
        {"other:param-interface-base-connector-uni", qelCreate<CParamInterfaceBaseConnectorUni>,
         CClassRecord::initObject},
        {"other:param-interface-client-connector-uni", qelCreate<CParamInterfaceClientConnectorUni>,
         CParamInterfaceClientConnectorUni::initClass},
        {"audio:interface-client", qelCreate<CAudioInterfaceClient>, CAudioInterfaceClient::initClass},
        {"font", qelCreate<CFontObject>, CClassRecord::initObject},
        {"imageset", qelCreate<CImageSetObject>, CClassRecord::initObject},
        {nullptr, nullptr, nullptr},
    };
    return table;
}

} // namespace qel
