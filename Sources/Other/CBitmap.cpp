#include "Other/CBitmap.h"

#include <algorithm>

namespace qel {

SPixelRect SPixelRect::intersected(const SPixelRect& other) const {
    const int32_t left = std::max(x, other.x), top = std::max(y, other.y);
    const int32_t r = std::min(right(), other.right()), b = std::min(bottom(), other.bottom());
    if (r <= left || b <= top) return {left, top, 0, 0};
    return {left, top, r - left, b - top};
}

void CBitmap::resize(int32_t width, int32_t height, uint32_t fill) {
    m_width = std::max(width, 0);
    m_height = std::max(height, 0);
    m_pixels.assign(size_t(m_width) * size_t(m_height), fill);
}

void CBitmap::fill(const SPixelRect& rect, uint32_t pixel) {
    const SPixelRect area = rect.intersected(bounds());
    for (int32_t y = area.y; y < area.bottom(); ++y)
        std::fill(row(y) + area.x, row(y) + area.right(), pixel);
}

uint32_t CBitmap::scalePixel(uint32_t pixel, uint32_t coverage) {
    // Two channels per multiply; the rounding keeps full coverage exact.
    const uint32_t rb = ((pixel & 0x00ff00ffu) * coverage + 0x00800080u);
    const uint32_t ag = (((pixel >> 8) & 0x00ff00ffu) * coverage + 0x00800080u);
    return (((rb + ((rb >> 8) & 0x00ff00ffu)) >> 8) & 0x00ff00ffu) |
           ((ag + ((ag >> 8) & 0x00ff00ffu)) & 0xff00ff00u);
}

uint32_t CBitmap::blendPixel(uint32_t destination, uint32_t source) {
    const uint32_t alpha = source >> 24;
    if (alpha == 255) return source;
    if (alpha == 0 && source == 0) return destination;
    return source + scalePixel(destination, 255 - alpha);
}

void CBitmap::blendFill(const SPixelRect& rect, const SPixelRect& clip, uint32_t pixel) {
    const SPixelRect area = rect.intersected(clip).intersected(bounds());
    for (int32_t y = area.y; y < area.bottom(); ++y) {
        uint32_t* out = row(y);
        for (int32_t x = area.x; x < area.right(); ++x)
            out[x] = blendPixel(out[x], pixel);
    }
}

void CBitmap::blend(const CBitmap& source, int32_t x, int32_t y, const SPixelRect& clip) {
    const SPixelRect area =
        SPixelRect{x, y, source.width(), source.height()}.intersected(clip).intersected(bounds());
    for (int32_t row_ = area.y; row_ < area.bottom(); ++row_) {
        uint32_t* out = row(row_);
        const uint32_t* in = source.row(row_ - y) - x;
        for (int32_t col = area.x; col < area.right(); ++col)
            out[col] = blendPixel(out[col], in[col]);
    }
}

void CBitmap::blendMask(const uint8_t* mask, int32_t maskWidth, int32_t maskHeight, int32_t x, int32_t y,
                        uint32_t pixel, const SPixelRect& clip) {
    const SPixelRect area = SPixelRect{x, y, maskWidth, maskHeight}.intersected(clip).intersected(bounds());
    for (int32_t row_ = area.y; row_ < area.bottom(); ++row_) {
        uint32_t* out = row(row_);
        const uint8_t* in = mask + size_t(row_ - y) * size_t(maskWidth) - x;
        for (int32_t col = area.x; col < area.right(); ++col)
            if (in[col]) out[col] = blendPixel(out[col], scalePixel(pixel, in[col]));
    }
}

} // namespace qel
