#pragma once

#include "Other/CBitmap.h"
#include "Other/CColor.h"
#include "UI/SViewRect.h"

namespace qel {

// Drawing into one tile of a window's back buffer. Views draw in view units; the context scales them
// and clips everything to the tile, so tiles can be drawn on several threads at once.
class CDrawContext {
public:
    CDrawContext(CBitmap& target, const SPixelRect& clip, double scale)
        : m_target(target), m_clip(clip.intersected(target.bounds())), m_scale(scale) {}

    double scale() const { return m_scale; }
    const SPixelRect& clip() const { return m_clip; }
    // Device pixels covered by a view rectangle: edges rounded, so neighbours meet without gaps.
    SPixelRect toDevice(const SViewRect& rect) const { return toDevice(rect, m_scale); }
    static SPixelRect toDevice(const SViewRect& rect, double scale);
    bool intersects(const SViewRect& rect) const { return !toDevice(rect).intersected(m_clip).isEmpty(); }

    // The same target, clipped further to a view rectangle.
    CDrawContext clipped(const SViewRect& rect) const {
        return CDrawContext(m_target, m_clip.intersected(toDevice(rect)), m_scale);
    }

    void fill(const SViewRect& rect, CColor color);
    // A picture drawn at the device position of a view point.
    void draw(const CBitmap& picture, double x, double y);
    void drawAt(const CBitmap& picture, int32_t deviceX, int32_t deviceY);

private:
    CBitmap& m_target;
    SPixelRect m_clip;
    double m_scale;
};

} // namespace qel
