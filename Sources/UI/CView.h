#pragma once

#include <vector>

#include "Core/CObject.h"
#include "Other/CColor.h"
#include "UI/CDrawContext.h"
#include "UI/SViewRect.h"

namespace qel {

class CPalette;
class CStyle;
class CWindowRenderer;

// "ui:view": a rectangle of the editor. Placed in its parent's content area by "placement"
// ("x y width height" in view units) and "alignment-h" ("left", "center", "right", "stretch") /
// "alignment-v" ("top", "center", "bottom", "stretch"; with "stretch" the width or height is the
// margin kept at the far side); "borders" ("left top right bottom") inset the area its children
// live in. A hidden view hides its descendants. Views draw themselves one tile at a time: what
// draw() reads is made by prepare() on the user-interface thread before any tile is drawn, so tiles
// can be drawn on several threads at once.
class CView : public CObject {
public:
    CError* init() override;
    void detachFromParent() override;

    CView* parentView() const;
    std::vector<CView*> childViews() const;
    const SViewRect& frame() const { return m_frame; }
    // Where the view may draw: its frame, or more for views that draw outside it (shadows).
    virtual SViewRect drawBounds() const { return m_frame; }
    SViewRect contentRect() const;
    // Places this view and its descendants in the parent's content area (the given area for a root).
    void layout(const SViewRect& parentArea);

    bool isHidden() const;
    // The visibility, evaluated at most once per frame however many tiles the view overlaps.
    bool isVisibleInFrame(int32_t frameNumber);
    CError* setHidden(bool hidden);

    // Asks the window to draw the view (or part of it, in root-view units) again on its next frame;
    // the view is prepared again before it is drawn.
    void invalidate();
    void invalidate(const SViewRect& rect);

    // This view and its descendants prepare again before they are next drawn (colours changed).
    void requestPrepareTree();
    // User-interface thread: brings what draw() reads up to date for the scale.
    CError* prepareIfNeeded(double scale);
    // Any thread, one tile.
    virtual void draw(CDrawContext& context) const;

    // The deepest visible view under a point (root-view units) that takes the mouse, or null.
    CView* hitTest(double x, double y);
    bool isMouseTarget() const { return m_isMouseTarget; }
    bool isFocusable() const { return m_isFocusable; }

    // The window of the root view this view belongs to (null before the window knows its root).
    CWindowRenderer* window() const;
    void setWindow(CWindowRenderer* window) { m_window = window; }

    // An attribute of the view, else of its style ("style" names a "ui:style" object).
    CString styleAttr(const CString& name) const;
    // A colour of the view's palette ("palette" names it; views inherit their parent's).
    CColor paletteColor(const CString& name, const CColor& fallback) const;
    const CPalette* palette() const;

    static void initClass(CClassRecord& record);

protected:
    // Exactly count numbers separated by spaces ("placement", "borders" and the like).
    static bool parseNumbers(const CString& text, double* values, size_t count);
    virtual CError* prepare(double scale);
    // Read again from attributes when one of them changes at run time.
    virtual CError* readAttributes();

private:
    CError* findStyleAndPalette();
    CError* onPlacementChanged();

    SViewRect m_placement;
    double m_borders[4] = {0, 0, 0, 0};
    CString m_alignH, m_alignV;
    SViewRect m_frame;
    bool m_hidden = false;
    bool m_isMouseTarget = false;
    bool m_isFocusable = false;
    int32_t m_visibilityFrame = -1;
    bool m_visible = false;
    bool m_needsPrepare = true;
    double m_preparedScale = 0;
    CStyle* m_style = nullptr;
    const CPalette* m_palette = nullptr;
    CWindowRenderer* m_window = nullptr;
};

} // namespace qel
