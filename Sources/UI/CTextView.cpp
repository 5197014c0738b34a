#include "UI/CTextView.h"

#include <cmath>

#include "Other/CFont.h"
#include "Other/CFontObject.h"

namespace qel {

void CTextView::initClass(CClassRecord& record) {
    CView::initClass(record);
    record.addAttrHandler("text", [](CObject& object, const CString&, const CAttrValue& value) {
        auto& view = static_cast<CTextView&>(object);
        return view.state() >= Completed ? view.setText(value.text()) : nullptr;
    });
}

CError* CTextView::initComplete() {
    QEL_CHECK(CView::initComplete());
    if (hasAttr("text"))
        m_text = getAttr("text");
    else if (CObject* content = childByName("content"))
        m_text = content->getAttr("value");
    CString family = styleAttr("font"), style = styleAttr("font-style");
    if (family.isEmpty()) family = "base";
    if (style.isEmpty()) style = "regular";
    CObject* shared = sharedObject();
    auto* fonts = shared ? dynamic_cast<CFontObject*>(shared->findObject("font." + family)) : nullptr;
    m_font = fonts ? fonts->font(style) : nullptr;
    if (!m_font)
        return QEL_ERROR(fullName(), "@qelstr_CTextView_initComplete_NoFont Font '%1' (%2) not found.",
                         family, style);
    return m_background.find(*this, "imageset");
}

CError* CTextView::setText(const CString& text) {
    if (text == m_text) return nullptr;
    m_text = text;
    invalidate();
    return nullptr;
}

CError* CTextView::prepare(double scale) {
    QEL_CHECK(m_background.prepare(*this, 0, frame(), scale));
    CString colourName = styleAttr("text-color");
    if (colourName.isEmpty()) colourName = "text";
    const CColor colour = paletteColor(colourName, CColor{230, 226, 200, 255});
    m_font->renderText(m_text, scale, colour, m_rendered);

    const SViewRect& f = frame();
    double padding = 0;
    styleAttr("padding").parseDouble(padding);
    const CString align = styleAttr("text-align");
    double left = f.x * scale + padding * scale;
    if (align == "center")
        left = (f.x + f.width / 2) * scale - m_rendered.width() / 2.0;
    else if (align == "right")
        left = (f.right() - padding) * scale - m_rendered.width();
    m_textX = int32_t(std::lround(left));
    m_textY = int32_t(std::lround((f.y + f.height / 2) * scale - m_rendered.height() / 2.0));
    return nullptr;
}

void CTextView::draw(CDrawContext& context) const {
    m_background.draw(context);
    CDrawContext inside = context.clipped(frame());
    inside.drawAt(m_rendered, m_textX, m_textY);
}

} // namespace qel
