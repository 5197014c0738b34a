#include "UI/CCaption.h"

namespace qel {

CError* CCaption::init() {
    QEL_CHECK(CTextView::init());
    if (styleAttr("imageset").isEmpty()) QEL_CHECK(setAttr("imageset", "groupcaption", false));
    if (styleAttr("text-align").isEmpty()) QEL_CHECK(setAttr("text-align", "center", false));
    return nullptr;
}

} // namespace qel
