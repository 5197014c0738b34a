#include "UI/CFrame.h"

namespace qel {

CError* CFrame::init() {
    QEL_CHECK(CPicture::init());
    if (styleAttr("imageset").isEmpty())
        QEL_CHECK(setAttr("imageset", tag() == "ui:shadow" ? "shadow" : "frame", false));
    return nullptr;
}

} // namespace qel
