#include "Audio/Filters/CAudioFilterGenArrayItem.h"

#include "Audio/Filters/CAudioFilterGen.h"
#include "Audio/Filters/CAudioFilterGenArray.h"

namespace qel {

CError* CAudioFilterGenArrayItem::init() {
    QEL_CHECK(CObject::init());
    if (!dynamic_cast<CAudioFilterGenArray*>(parent()))
        return QEL_ERROR(fullName(),
                         "@qelstr_CAudioFilterGenArrayItem_init_InvalidParent CAudioFilterGenArray "
                         "class parent expected.");
    m_index = getAttrInt("index");
    return nullptr;
}

CError* CAudioFilterGenArrayItem::initComplete() {
    QEL_CHECK(CObject::initComplete());
    QEL_CHECK(findObjectChecked(getAttr("fltgen"), m_generator));
    return nullptr;
}

} // namespace qel
