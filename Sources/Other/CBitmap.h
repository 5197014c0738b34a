#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qel {

// A rectangle of device pixels.
struct SPixelRect {
    int32_t x = 0, y = 0, width = 0, height = 0;

    int32_t right() const { return x + width; }
    int32_t bottom() const { return y + height; }
    bool isEmpty() const { return width <= 0 || height <= 0; }
    SPixelRect intersected(const SPixelRect& other) const;
    bool operator==(const SPixelRect& other) const = default;
};

// 32-bit premultiplied BGRA pixels (0xAARRGGBB in memory order B, G, R, A), rows packed: the back
// buffer of a window and every picture drawn into it.
class CBitmap {
public:
    CBitmap() = default;
    CBitmap(int32_t width, int32_t height, uint32_t fill = 0) { resize(width, height, fill); }

    void resize(int32_t width, int32_t height, uint32_t fill = 0);
    int32_t width() const { return m_width; }
    int32_t height() const { return m_height; }
    bool isEmpty() const { return m_width <= 0 || m_height <= 0; }
    SPixelRect bounds() const { return {0, 0, m_width, m_height}; }

    uint32_t* row(int32_t y) { return m_pixels.data() + size_t(y) * size_t(m_width); }
    const uint32_t* row(int32_t y) const { return m_pixels.data() + size_t(y) * size_t(m_width); }
    uint32_t pixel(int32_t x, int32_t y) const { return row(y)[x]; }
    uint32_t* data() { return m_pixels.data(); }
    const uint32_t* data() const { return m_pixels.data(); }

    // Fills (replaces) the part of rect inside the bitmap.
    void fill(const SPixelRect& rect, uint32_t pixel);
    // Source-over blend of one premultiplied pixel over the part of rect inside clip.
    void blendFill(const SPixelRect& rect, const SPixelRect& clip, uint32_t pixel);
    // Source-over blend of source with its top left corner at (x, y), restricted to clip.
    void blend(const CBitmap& source, int32_t x, int32_t y, const SPixelRect& clip);
    // Tints an 8-bit coverage mask (mask rows of maskWidth bytes) with pixel and blends it at (x, y).
    void blendMask(const uint8_t* mask, int32_t maskWidth, int32_t maskHeight, int32_t x, int32_t y,
                   uint32_t pixel, const SPixelRect& clip);

    static uint32_t blendPixel(uint32_t destination, uint32_t source);
    // A premultiplied pixel scaled by coverage 0..255.
    static uint32_t scalePixel(uint32_t pixel, uint32_t coverage);

private:
    int32_t m_width = 0;
    int32_t m_height = 0;
    std::vector<uint32_t> m_pixels;
};

} // namespace qel
