#pragma once

#include <cstdint>
#include <vector>

#include "Core/CDataSet.h"
#include "Core/CInputStream.h"
#include "Other/CBitmap.h"
#include "Other/CColor.h"
#include "Other/CPalette.h"

namespace qel {

class CPath;

// A set of pictures (frames) drawn from vector shapes at any scale and coloured from a palette.
// Loaded from an ".is" resource that qel-isc compiles from a description. All const calls are safe
// from several threads at once: drawing reads only the loaded shapes.
class CImageSet : public CDataSet {
public:
    // Resource format (little-endian):
    //   header: "QEIS", u16 version (1), u16 flags (bit 0: stretchable), f32 width, f32 height,
    //           u16 frame count (>= 1), u16 colour count, u16 operation count, u16 zero
    //   colours: u8 name length (1..64), the ASCII name, u8 r, g, b, a of the fallback colour
    //   operations, drawn in order, each:
    //     u8 shape, u8 paint, u16 first frame, u16 last frame (the frames it is drawn in),
    //     u8 colour count then that many u16 colour indices (one for solid and noise paints, 2..8
    //     gradient stops spread evenly),
    //     values: opacity (0..1), blur radius, outline width (0: filled),
    //     gradient: x0, y0, x1, y1 of its axis; noise: u32 seed and a value: the cell size,
    //     geometry: rect x0 y0 x1 y1; round rect x0 y0 x1 y1 radius; ellipse cx cy rx ry;
    //     arc band cx cy inner outer startDegrees endDegrees; line x0 y0 x1 y1 width;
    //     path: u16 vertex count, each u8 kind (move, line, quad, cubic) and its points as x, y.
    //   A value is u8 (bits 0-1 anchor, bit 2 animated) and f32 (a second f32 when animated: the value
    //   is interpolated from the first to the second across the operation's frames). Anchors place
    //   x and y coordinates from the start edge, from the end edge, from the centre or as a fraction
    //   of the size, so stretched frames keep their corners; lengths and other numbers use the start.
    enum Shape : uint8_t { Rect = 1, RoundRect, Ellipse, ArcBand, Line, Path };
    enum Paint : uint8_t { Solid = 0, Gradient, Noise };
    enum Anchor : uint8_t { FromStart = 0, FromEnd, FromCentre, Fraction };
    static constexpr uint8_t kAnimated = 4;
    static constexpr uint16_t kVersion = 1;
    static constexpr uint16_t kStretchable = 1;
    static constexpr int32_t kMaxStops = 8;

    struct SValue {
        uint8_t anchor = FromStart;
        bool animated = false;
        float from = 0, to = 0;
    };
    struct SColorEntry {
        CString name;
        CColor fallback;
    };
    int32_t frameCount() const { return m_frameCount; }
    double width() const { return m_width; }
    double height() const { return m_height; }
    bool isStretchable() const { return m_stretchable; }
    const std::vector<SColorEntry>& colors() const { return m_colors; }

    // Draws frame into out (resized to ceil(width * scale) x ceil(height * scale)). width and height
    // are the natural size; stretchable sets take any size, others are always drawn at theirs.
    virtual CError* render(int32_t frame, double scale, const CPalette& palette, double width, double height,
                           CBitmap& out) const;

protected:
    CError* read(CPosInputStream& stream) override;
    // The rest of the stream as one buffer.
    static CError* readAll(CPosInputStream& stream, CByteBuffer& data);

    int32_t m_frameCount = 0;
    double m_width = 0, m_height = 0;
    bool m_stretchable = false;

private:
    struct SPathVertex {
        uint8_t kind = 0;
        SValue x[3], y[3];
    };
    struct SOperation {
        Shape shape = Rect;
        Paint paint = Solid;
        uint16_t firstFrame = 0, lastFrame = 0;
        std::vector<uint16_t> colors;
        SValue opacity, blur, outline;
        SValue axis[4];
        uint32_t seed = 0;
        SValue cell;
        std::vector<SValue> geometry;
        std::vector<SPathVertex> path;
    };
    struct SContext;
    void draw(const SOperation& op, const SContext& context, CBitmap& out) const;
    static void buildShape(const SOperation& op, const SContext& context, CPath& path);

    std::vector<SColorEntry> m_colors;
    std::vector<SOperation> m_operations;
};

} // namespace qel
