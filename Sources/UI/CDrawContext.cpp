#include "UI/CDrawContext.h"

#include <cmath>

namespace qel {

SPixelRect CDrawContext::toDevice(const SViewRect& rect, double scale) {
    const auto left = int32_t(std::lround(rect.x * scale)), top = int32_t(std::lround(rect.y * scale));
    const auto right = int32_t(std::lround(rect.right() * scale));
    const auto bottom = int32_t(std::lround(rect.bottom() * scale));
    return {left, top, right - left, bottom - top};
}

void CDrawContext::fill(const SViewRect& rect, CColor color) {
    const SPixelRect area = toDevice(rect);
    if (color.a == 255)
        m_target.fill(area.intersected(m_clip), color.premultiplied());
    else
        m_target.blendFill(area, m_clip, color.premultiplied());
}

void CDrawContext::draw(const CBitmap& picture, double x, double y) {
    drawAt(picture, int32_t(std::lround(x * m_scale)), int32_t(std::lround(y * m_scale)));
}

void CDrawContext::drawAt(const CBitmap& picture, int32_t deviceX, int32_t deviceY) {
    m_target.blend(picture, deviceX, deviceY, m_clip);
}

} // namespace qel
