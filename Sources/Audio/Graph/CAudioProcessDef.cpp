#include "Audio/Graph/CAudioProcessDef.h"

#include "Audio/Graph/CAudioProcess.h"

namespace qel {

CError* CAudioProcessDef::init() {
    QEL_CHECK(CAudioProcessDefBase::init());
    m_isAutoLinks = getAttrBool("is-auto-links");
    return nullptr;
}

std::unique_ptr<CAudioProcessBase> CAudioProcessDef::createProcess() const {
    return std::make_unique<CAudioProcess>();
}

} // namespace qel
