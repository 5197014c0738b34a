#include "Other/CParamInterfaceBaseConnector.h"

#include "Other/CParamInterfaceBase.h"

namespace qel {

CParamInterfaceBaseConnector::~CParamInterfaceBaseConnector() {
    // The base may outlive its connector while its tree is taken down.
    if (m_base) m_base->onConnectorGone(this);
}

void CParamInterfaceBaseConnector::setBase(CParamInterfaceBase* base) {
    CCriticalSectionGuard guard(m_lock);
    m_base = base;
}

CError* CParamInterfaceBaseConnector::processClientData(uint32_t sender, CMemoryReader& reader) {
    CCriticalSectionGuard guard(m_lock);
    if (!m_base)
        return QEL_ERROR(fullName(),
                         "@qelstr_CParamInterfaceBaseConnector_processClientData_NoBaseObject No base "
                         "object defined.");
    return m_base->handleMessage(sender, reader);
}

} // namespace qel
