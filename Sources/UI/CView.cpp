#include "UI/CView.h"

#include "Other/CPalette.h"
#include "UI/CStyle.h"
#include "UI/CWindowRenderer.h"

namespace qel {

namespace {

double aligned(const CString& alignment, double start, double extent, double offset, double& size) {
    if (alignment == "right" || alignment == "bottom") return start + extent - offset - size;
    if (alignment == "center") return start + (extent - size) / 2 + offset;
    if (alignment == "stretch") size = std::max(0.0, extent - offset - size);
    return start + offset;
}

} // namespace

bool CView::parseNumbers(const CString& text, double* values, size_t count) {
    size_t n = 0;
    for (const CString& part : text.trimmed().split(' ')) {
        if (part.isEmpty()) continue;
        if (n == count || !part.parseDouble(values[n])) return false;
        ++n;
    }
    return n == count;
}

void CView::initClass(CClassRecord& record) {
    CClassRecord::initObject(record);
    for (const char* name : {"placement", "alignment-h", "alignment-v", "borders"})
        record.addAttrHandler(name, [](CObject& object, const CString&, const CAttrValue&) {
            auto& view = static_cast<CView&>(object);
            return view.state() >= Initialized ? view.onPlacementChanged() : nullptr;
        });
    record.addAttrHandler("is-hidden", [](CObject& object, const CString&, const CAttrValue& value) {
        auto& view = static_cast<CView&>(object);
        return view.state() >= Initialized ? view.setHidden(value.toBool()) : nullptr;
    });
}

CError* CView::init() {
    QEL_CHECK(CObject::init());
    m_hidden = getAttrBool("is-hidden");
    m_isMouseTarget = getAttrBool("is-mouse-target");
    m_isFocusable = getAttrBool("is-focusable");
    QEL_CHECK(findStyleAndPalette());
    return readAttributes();
}

// Styles and palettes are defined before the views that use them, so they are found this early and
// every attribute read during initialisation already sees the style.
CError* CView::findStyleAndPalette() {
    if (hasAttr("style")) {
        if (CError* error = findObjectByAttr("style", m_style)) return QEL_PASS_CTX(error, fullName());
    }
    if (hasAttr("palette")) {
        CObject* found = nullptr;
        if (CError* error = findObjectChecked(
                getAttr("palette"),
                [](const CObject* o) { return dynamic_cast<const CPalette*>(o) != nullptr; }, found))
            return QEL_PASS_CTX(error, fullName());
        m_palette = dynamic_cast<const CPalette*>(found);
    }
    return nullptr;
}

CError* CView::readAttributes() {
    double placement[4] = {0, 0, 0, 0};
    const CString placementText = getAttr("placement");
    if (!placementText.isEmpty() && !parseNumbers(placementText, placement, 4))
        return QEL_ERROR(fullName(), "@qelstr_CView_init_BadPlacement Invalid placement '%1'.",
                         placementText);
    m_placement = {placement[0], placement[1], placement[2], placement[3]};
    const CString bordersText = getAttr("borders");
    if (!bordersText.isEmpty() && !parseNumbers(bordersText, m_borders, 4))
        return QEL_ERROR(fullName(), "@qelstr_CView_init_BadBorders Invalid borders '%1'.", bordersText);
    m_alignH = getAttr("alignment-h");
    m_alignV = getAttr("alignment-v");
    for (const CString* alignment : {&m_alignH, &m_alignV}) {
        static const char* const known[] = {"", "left", "top", "center", "right", "bottom", "stretch"};
        if (std::none_of(std::begin(known), std::end(known), [&](const char* k) { return *alignment == k; }))
            return QEL_ERROR(fullName(), "@qelstr_CView_init_BadAlignment Invalid alignment '%1'.",
                             *alignment);
    }
    return nullptr;
}

void CView::detachFromParent() {
    if (CWindowRenderer* owner = window()) owner->forgetView(this);
    CObject::detachFromParent();
}

CView* CView::parentView() const {
    return dynamic_cast<CView*>(parent());
}

std::vector<CView*> CView::childViews() const {
    std::vector<CView*> views;
    for (CObject* child : children())
        if (auto* view = dynamic_cast<CView*>(child)) views.push_back(view);
    return views;
}

SViewRect CView::contentRect() const {
    return {m_frame.x + m_borders[0], m_frame.y + m_borders[1],
            std::max(0.0, m_frame.width - m_borders[0] - m_borders[2]),
            std::max(0.0, m_frame.height - m_borders[1] - m_borders[3])};
}

void CView::layout(const SViewRect& parentArea) {
    double width = m_placement.width, height = m_placement.height;
    const double x = aligned(m_alignH, parentArea.x, parentArea.width, m_placement.x, width);
    const double y = aligned(m_alignV, parentArea.y, parentArea.height, m_placement.y, height);
    m_frame = {x, y, width, height};
    m_needsPrepare = true;
    const SViewRect content = contentRect();
    for (CView* child : childViews())
        child->layout(content);
}

CError* CView::onPlacementChanged() {
    const SViewRect before = drawBounds();
    QEL_CHECK(readAttributes());
    if (CView* parentV = parentView())
        layout(parentV->contentRect());
    else
        layout({0, 0, m_placement.width, m_placement.height});
    invalidate(before);
    invalidate();
    return nullptr;
}

bool CView::isHidden() const {
    for (const CView* view = this; view; view = view->parentView())
        if (view->m_hidden) return true;
    return false;
}

bool CView::isVisibleInFrame(int32_t frameNumber) {
    if (m_visibilityFrame != frameNumber) {
        m_visibilityFrame = frameNumber;
        m_visible = !isHidden();
    }
    return m_visible;
}

CError* CView::setHidden(bool hidden) {
    if (hidden == m_hidden) return nullptr;
    m_hidden = hidden;
    invalidate();
    return nullptr;
}

CWindowRenderer* CView::window() const {
    const CView* view = this;
    while (CView* up = view->parentView())
        view = up;
    return view->m_window;
}

void CView::invalidate() {
    invalidate(drawBounds());
}

void CView::invalidate(const SViewRect& rect) {
    m_needsPrepare = true;
    if (CWindowRenderer* owner = window()) owner->requestUpdate(rect);
}

void CView::requestPrepareTree() {
    m_needsPrepare = true;
    for (CView* child : childViews())
        child->requestPrepareTree();
}

CError* CView::prepareIfNeeded(double scale) {
    if (!m_needsPrepare && scale == m_preparedScale) return nullptr;
    m_needsPrepare = false;
    m_preparedScale = scale;
    CError* error = prepare(scale);
    return error ? QEL_PASS_CTX(error, fullName()) : nullptr;
}

CError* CView::prepare(double) {
    return nullptr;
}

void CView::draw(CDrawContext&) const {}

CView* CView::hitTest(double x, double y) {
    if (m_hidden || !m_frame.contains(x, y)) return nullptr;
    const std::vector<CView*> views = childViews();
    for (auto it = views.rbegin(); it != views.rend(); ++it)
        if (CView* hit = (*it)->hitTest(x, y)) return hit;
    return m_isMouseTarget ? this : nullptr;
}

CString CView::styleAttr(const CString& name) const {
    if (hasAttr(name)) return getAttr(name);
    return m_style ? m_style->lookup(name) : CString();
}

const CPalette* CView::palette() const {
    for (const CView* view = this; view; view = view->parentView())
        if (view->m_palette) return view->m_palette;
    return nullptr;
}

CColor CView::paletteColor(const CString& name, const CColor& fallback) const {
    const CPalette* colours = palette();
    return colours ? colours->color(name, fallback) : fallback;
}

} // namespace qel
