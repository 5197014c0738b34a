#include "UI/CViewPicture.h"

#include "Other/CImageSet.h"
#include "Other/CImageSetObject.h"
#include "UI/CView.h"

namespace qel {

namespace {

// Fallback colours only, for views outside any palette.
class CNoPalette : public CPalette {
public:
    CColor color(const CString&, const CColor& fallback) const override { return fallback; }
};

} // namespace

CError* CViewPicture::find(CView& view, const CString& attribute) {
    m_set = nullptr;
    const CString name = view.styleAttr(attribute);
    if (name.isEmpty()) return nullptr;
    CObject* shared = CObject::sharedObject();
    auto* object = shared ? dynamic_cast<CImageSetObject*>(shared->findObject("is." + name)) : nullptr;
    if (!object || !object->imageSet())
        return QEL_ERROR(view.fullName(), "@qelstr_CViewPicture_find_NoImageSet Image set '%1' not found.",
                         name);
    m_set = object->imageSet();
    return nullptr;
}

CError* CViewPicture::prepare(const CView& view, int32_t frame, const SViewRect& rect, double scale) {
    if (!m_set) return nullptr;
    m_rect = rect;
    if (!m_set->isStretchable()) {
        m_rect.width = m_set->width();
        m_rect.height = m_set->height();
    }
    static const CNoPalette noPalette;
    const CPalette* palette = view.palette();
    return m_set->render(frame, scale, palette ? *palette : noPalette, m_rect.width, m_rect.height, m_bitmap);
}

void CViewPicture::draw(CDrawContext& context) const {
    if (m_set) context.draw(m_bitmap, m_rect.x, m_rect.y);
}

} // namespace qel
