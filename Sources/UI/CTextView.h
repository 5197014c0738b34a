#pragma once

#include "UI/CView.h"
#include "UI/CViewPicture.h"

namespace qel {

class CFont;

// "ui:textview": one line of text, from "text" or the element's content. Style attributes: "font"
// (a family of the shared "font" object, "base" by default) and "font-style" ("regular"),
// "text-color" (a palette colour name, "text" by default), "text-align" ("left", "center",
// "right") and "padding" (view units at the aligned side); an optional "imageset" is drawn behind.
class CTextView : public CView {
public:
    CError* initComplete() override;
    void draw(CDrawContext& context) const override;

    const CString& text() const { return m_text; }
    CError* setText(const CString& text);

    static void initClass(CClassRecord& record);

protected:
    CError* prepare(double scale) override;

private:
    CString m_text;
    const CFont* m_font = nullptr;
    CViewPicture m_background;
    CBitmap m_rendered;
    int32_t m_textX = 0, m_textY = 0;
};

} // namespace qel
