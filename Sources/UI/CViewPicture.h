#pragma once

#include "Core/CError.h"
#include "Core/CString.h"
#include "Other/CBitmap.h"
#include "UI/CDrawContext.h"

namespace qel {

class CImageSet;
class CView;

// One frame of an image set as a view shows it: drawn at the view's scale and colours when the view
// is prepared, then only copied into tiles.
class CViewPicture {
public:
    // The set named by the view's attribute (a name under the shared "is" object); none when the
    // attribute is empty.
    CError* find(CView& view, const CString& attribute);
    // Draws the frame at rect's size (the set's own size unless it stretches) for the scale.
    CError* prepare(const CView& view, int32_t frame, const SViewRect& rect, double scale);
    void draw(CDrawContext& context) const;

private:
    const CImageSet* m_set = nullptr;
    CBitmap m_bitmap;
    SViewRect m_rect;
};

} // namespace qel
