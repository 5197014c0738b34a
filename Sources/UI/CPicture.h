#pragma once

#include "UI/CView.h"
#include "UI/CViewPicture.h"

namespace qel {

// "ui:picture": one frame ("frame-index") of an image set ("imageset"), at the set's own size, or
// filling the view for sets that stretch. "outset" ("left top right bottom") lets it draw beyond
// the view, as shadows do.
class CPicture : public CView {
public:
    CError* initComplete() override;
    SViewRect drawBounds() const override;
    void draw(CDrawContext& context) const override;
    CError* setFrameIndex(int32_t index);
    int32_t frameIndex() const { return m_frameIndex; }

    static void initClass(CClassRecord& record);

protected:
    CError* prepare(double scale) override;
    CError* readAttributes() override;

private:
    CViewPicture m_picture;
    int32_t m_frameIndex = 0;
    double m_outset[4] = {0, 0, 0, 0};
};

} // namespace qel
