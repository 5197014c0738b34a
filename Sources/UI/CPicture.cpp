#include "UI/CPicture.h"

#include <algorithm>

namespace qel {

void CPicture::initClass(CClassRecord& record) {
    CView::initClass(record);
    record.addAttrHandler("frame-index", [](CObject& object, const CString&, const CAttrValue& value) {
        auto& picture = static_cast<CPicture&>(object);
        return picture.state() >= Initialized ? picture.setFrameIndex(int32_t(value.toDouble())) : nullptr;
    });
}

CError* CPicture::readAttributes() {
    QEL_CHECK(CView::readAttributes());
    m_frameIndex = getAttrInt("frame-index");
    const CString outset = styleAttr("outset");
    std::fill(std::begin(m_outset), std::end(m_outset), 0.0);
    if (!outset.isEmpty() && !parseNumbers(outset, m_outset, 4))
        return QEL_ERROR(fullName(), "@qelstr_CPicture_init_BadOutset Invalid outset '%1'.", outset);
    return nullptr;
}

CError* CPicture::initComplete() {
    QEL_CHECK(CView::initComplete());
    return m_picture.find(*this, "imageset");
}

SViewRect CPicture::drawBounds() const {
    const SViewRect& f = frame();
    return {f.x - m_outset[0], f.y - m_outset[1], f.width + m_outset[0] + m_outset[2],
            f.height + m_outset[1] + m_outset[3]};
}

CError* CPicture::setFrameIndex(int32_t index) {
    if (index == m_frameIndex) return nullptr;
    m_frameIndex = index;
    invalidate();
    return nullptr;
}

CError* CPicture::prepare(double scale) {
    return m_picture.prepare(*this, m_frameIndex, drawBounds(), scale);
}

void CPicture::draw(CDrawContext& context) const {
    // Cut to the bounds the tiles were chosen by, so no tile draws more of it than another.
    CDrawContext inside = context.clipped(drawBounds());
    m_picture.draw(inside);
}

} // namespace qel
