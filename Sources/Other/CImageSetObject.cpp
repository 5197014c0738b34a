#include "Other/CImageSetObject.h"

namespace qel {

CError* CImageSetObject::initComplete() {
    const CString file = getAttr("file");
    if (file.isEmpty())
        return QEL_ERROR(fullName(), "@qelstr_CImageSetObject_init_NoFile Image set names no file.");
    auto imageSet = std::make_unique<CImageSet>();
    if (CError* error = imageSet->load(file)) return QEL_PASS_CTX(error, fullName());
    m_imageSet = std::move(imageSet);
    return CObject::initComplete();
}

} // namespace qel
