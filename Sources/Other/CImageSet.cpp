#include "Other/CImageSet.h"

#include <algorithm>
#include <cmath>

#include "Other/CBinaryCursor.h"
#include "Other/CPath.h"

namespace qel {

namespace {

constexpr uint32_t kMagic = qelFourCC("QEIS");
constexpr int32_t kMaxOperations = 4096;
constexpr float kMaxValue = 100000;
constexpr float kMaxNaturalSize = 2048;
constexpr double kMaxSize = 8192;
constexpr int32_t kMaxBlur = 64;

// What a value measures: an x or y coordinate (anchored), a length scaled with the picture, or a plain
// number (opacity, angle).
enum Role { X, Y, Length, Number };

// Which values each shape reads, in stored order.
const std::vector<Role>& geometryRoles(uint8_t shape) {
    static const std::vector<Role> rect{X, Y, X, Y}, roundRect{X, Y, X, Y, Length},
        ellipse{X, Y, Length, Length}, arcBand{X, Y, Length, Length, Number, Number},
        line{X, Y, X, Y, Length}, none;
    switch (shape) {
    case CImageSet::Rect:
        return rect;
    case CImageSet::RoundRect:
        return roundRect;
    case CImageSet::Ellipse:
        return ellipse;
    case CImageSet::ArcBand:
        return arcBand;
    case CImageSet::Line:
        return line;
    default:
        return none;
    }
}

class CParser {
public:
    CParser(const CString& name, const uint8_t* data, size_t size) : m_cursor(data, size), m_name(name) {}

    CError* fail(const char* what) const {
        return QEL_ERROR({}, "@qelstr_CImageSet_read_Invalid Invalid image set data in '%1': %2 at byte %3.",
                         m_name, CString(what), uint64_t(m_cursor.position()));
    }

    bool value(CImageSet::SValue& out, Role role) {
        uint8_t head = 0;
        if (!m_cursor.u8(head) || (head & ~uint8_t(7))) return false;
        out.anchor = head & 3;
        out.animated = (head & CImageSet::kAnimated) != 0;
        if ((role == Length || role == Number) && out.anchor != CImageSet::FromStart) return false;
        if (!m_cursor.f32(out.from) || std::fabs(out.from) > kMaxValue) return false;
        out.to = out.from;
        if (out.animated && (!m_cursor.f32(out.to) || std::fabs(out.to) > kMaxValue)) return false;
        return true;
    }

    CBinaryCursor m_cursor;
    CString m_name;
};

uint32_t mix(uint32_t h) {
    h ^= h >> 16;
    h *= 0x7feb352du;
    h ^= h >> 15;
    h *= 0x846ca68bu;
    h ^= h >> 16;
    return h;
}

double lattice(int32_t x, int32_t y, uint32_t seed) {
    return mix(uint32_t(x) * 0x9e3779b1u ^ mix(uint32_t(y) * 0x85ebca77u ^ seed)) / 4294967296.0;
}

double valueNoise(double u, double v, uint32_t seed) {
    const double fu = std::floor(u), fv = std::floor(v);
    const int32_t iu = int32_t(fu), iv = int32_t(fv);
    double su = u - fu, sv = v - fv;
    su = su * su * (3 - 2 * su);
    sv = sv * sv * (3 - 2 * sv);
    const double top = lattice(iu, iv, seed) * (1 - su) + lattice(iu + 1, iv, seed) * su;
    const double bottom = lattice(iu, iv + 1, seed) * (1 - su) + lattice(iu + 1, iv + 1, seed) * su;
    return top * (1 - sv) + bottom * sv;
}

// Three octaves of value noise in 0..1, in view units so a texture looks the same at every scale.
double fractalNoise(double u, double v, uint32_t seed) {
    return (valueNoise(u, v, seed) * 4 + valueNoise(u * 2, v * 2, seed + 1) * 2 +
            valueNoise(u * 4, v * 4, seed + 2)) /
           7;
}

// One box pass along rows (step 1) or columns (step width) of the mask.
void boxPass(std::vector<uint8_t>& mask, int32_t width, int32_t height, int32_t radius, bool vertical) {
    const int32_t lines = vertical ? width : height, length = vertical ? height : width;
    const size_t step = vertical ? size_t(width) : 1, lineStep = vertical ? 1 : size_t(width);
    const uint32_t window = uint32_t(2 * radius + 1);
    std::vector<uint8_t> line(static_cast<size_t>(length));
    for (int32_t l = 0; l < lines; ++l) {
        uint8_t* base = mask.data() + size_t(l) * lineStep;
        for (int32_t i = 0; i < length; ++i)
            line[size_t(i)] = base[size_t(i) * step];
        uint32_t sum = 0;
        for (int32_t i = 0; i <= radius && i < length; ++i)
            sum += line[size_t(i)];
        for (int32_t i = 0; i < length; ++i) {
            base[size_t(i) * step] = uint8_t((sum + window / 2) / window);
            if (i + radius + 1 < length) sum += line[size_t(i + radius + 1)];
            if (i - radius >= 0) sum -= line[size_t(i - radius)];
        }
    }
}

} // namespace

struct CImageSet::SContext {
    double scale = 1;
    int32_t width = 0, height = 0;
    double t = 0; // position inside the current operation's frames
    std::vector<CColor> colors;

    double resolve(const SValue& value, Role role) const {
        const double v = value.from + (double(value.to) - value.from) * t;
        if (role == Number) return v;
        if (role == Length) return v * scale;
        const double size = role == X ? width : height;
        switch (value.anchor) {
        case FromEnd:
            return size - v * scale;
        case FromCentre:
            return size / 2 + v * scale;
        case Fraction:
            return v * size;
        default:
            return v * scale;
        }
    }
};

CError* CImageSet::readAll(CPosInputStream& stream, CByteBuffer& data) {
    uint64_t size = 0, position = 0;
    QEL_CHECK(stream.getSize(size));
    QEL_CHECK(stream.getPosition(position));
    if (position > size || size - position > 0x7fffffffu)
        return QEL_ERROR({}, "@qelstr_CImageSet_read_Size Invalid data size %1.", size);
    QEL_CHECK(stream.readBytes(data, uint32_t(size - position)));
    return nullptr;
}

CError* CImageSet::read(CPosInputStream& stream) {
    CByteBuffer data;
    QEL_CHECK(readAll(stream, data));
    CParser p(resourceName(), data.data(), data.size());
    CBinaryCursor& c = p.m_cursor;

    uint32_t magic = 0;
    uint16_t version = 0, flags = 0, frames = 0, colorCount = 0, opCount = 0, reserved = 0;
    float width = 0, height = 0;
    if (!c.u32(magic) || magic != kMagic) return p.fail("not an image set");
    if (!c.u16(version) || version != kVersion) return p.fail("unknown version");
    if (!c.u16(flags) || (flags & ~kStretchable)) return p.fail("unknown flags");
    if (!c.f32(width) || !c.f32(height) || !(width > 0) || !(height > 0) || width > kMaxNaturalSize ||
        height > kMaxNaturalSize)
        return p.fail("bad size");
    if (!c.u16(frames) || frames == 0) return p.fail("bad frame count");
    if (!c.u16(colorCount) || !c.u16(opCount) || opCount > kMaxOperations || !c.u16(reserved) || reserved)
        return p.fail("bad header");

    std::vector<SColorEntry> colors(colorCount);
    for (SColorEntry& entry : colors) {
        uint8_t length = 0;
        const uint8_t* name = nullptr;
        if (!c.u8(length) || length == 0 || length > 64 || !c.bytes(name, length))
            return p.fail("bad colour name");
        for (uint8_t i = 0; i < length; ++i)
            if (name[i] <= ' ' || name[i] > '~') return p.fail("bad colour name");
        entry.name = CString(reinterpret_cast<const char*>(name), length);
        if (!c.u8(entry.fallback.r) || !c.u8(entry.fallback.g) || !c.u8(entry.fallback.b) ||
            !c.u8(entry.fallback.a))
            return p.fail("bad colour");
    }

    std::vector<SOperation> operations(opCount);
    for (SOperation& op : operations) {
        uint8_t shape = 0, paint = 0, stops = 0;
        if (!c.u8(shape) || shape < Rect || shape > Path) return p.fail("unknown shape");
        if (!c.u8(paint) || paint > Noise) return p.fail("unknown paint");
        op.shape = Shape(shape);
        op.paint = Paint(paint);
        if (!c.u16(op.firstFrame) || !c.u16(op.lastFrame) || op.firstFrame > op.lastFrame ||
            op.lastFrame >= frames)
            return p.fail("bad frame range");
        if (!c.u8(stops) || (paint == Gradient ? stops < 2 || stops > kMaxStops : stops != 1))
            return p.fail("bad colour count");
        op.colors.resize(stops);
        for (uint16_t& index : op.colors)
            if (!c.u16(index) || index >= colorCount) return p.fail("bad colour index");
        if (!p.value(op.opacity, Number) || !p.value(op.blur, Length) || !p.value(op.outline, Length))
            return p.fail("bad value");
        if (paint == Gradient)
            for (int i = 0; i < 4; ++i)
                if (!p.value(op.axis[i], i % 2 ? Y : X)) return p.fail("bad gradient");
        if (paint == Noise && (!c.u32(op.seed) || !p.value(op.cell, Length))) return p.fail("bad noise");
        if (shape == Path) {
            uint16_t count = 0;
            if (!c.u16(count)) return p.fail("bad path");
            op.path.resize(count);
            for (size_t i = 0; i < op.path.size(); ++i) {
                SPathVertex& v = op.path[i];
                if (!c.u8(v.kind) || v.kind < CPath::Move || v.kind > CPath::Cubic ||
                    (i == 0 && v.kind != CPath::Move))
                    return p.fail("bad path");
                const int points = v.kind == CPath::Cubic ? 3 : v.kind == CPath::Quad ? 2 : 1;
                for (int k = 0; k < points; ++k)
                    if (!p.value(v.x[k], X) || !p.value(v.y[k], Y)) return p.fail("bad path");
            }
        } else {
            for (Role role : geometryRoles(shape)) {
                op.geometry.emplace_back();
                if (!p.value(op.geometry.back(), role)) return p.fail("bad geometry");
            }
        }
    }
    if (c.remaining()) return p.fail("trailing bytes");

    m_frameCount = frames;
    m_width = width;
    m_height = height;
    m_stretchable = flags & kStretchable;
    m_colors = std::move(colors);
    m_operations = std::move(operations);
    return nullptr;
}

void CImageSet::buildShape(const SOperation& op, const SContext& ctx, CPath& path) {
    std::vector<double> g;
    const std::vector<Role>& roles = geometryRoles(op.shape);
    for (size_t i = 0; i < roles.size(); ++i)
        g.push_back(ctx.resolve(op.geometry[i], roles[i]));
    const double outline = std::max(0.0, ctx.resolve(op.outline, Length));
    CPath hole;
    switch (op.shape) {
    case Rect:
        path.addRect(g[0], g[1], g[2] - g[0], g[3] - g[1]);
        if (outline > 0)
            hole.addRect(g[0] + outline, g[1] + outline, g[2] - g[0] - 2 * outline,
                         g[3] - g[1] - 2 * outline);
        break;
    case RoundRect:
        path.addRoundRect(g[0], g[1], g[2] - g[0], g[3] - g[1], g[4]);
        if (outline > 0)
            hole.addRoundRect(g[0] + outline, g[1] + outline, g[2] - g[0] - 2 * outline,
                              g[3] - g[1] - 2 * outline, g[4] - outline);
        break;
    case Ellipse:
        path.addEllipse(g[0], g[1], g[2], g[3]);
        if (outline > 0 && g[2] > outline && g[3] > outline)
            hole.addEllipse(g[0], g[1], g[2] - outline, g[3] - outline);
        break;
    case ArcBand:
        path.addArcBand(g[0], g[1], g[2], g[3], g[4], g[5]);
        break;
    case Line:
        path.addLine(g[0], g[1], g[2], g[3], g[4]);
        break;
    case Path:
        for (const SPathVertex& v : op.path) {
            double x[3], y[3];
            for (int k = 0; k < 3; ++k) {
                x[k] = ctx.resolve(v.x[k], X);
                y[k] = ctx.resolve(v.y[k], Y);
            }
            switch (v.kind) {
            case CPath::Move:
                path.moveTo(x[0], y[0]);
                break;
            case CPath::Line:
                path.lineTo(x[0], y[0]);
                break;
            case CPath::Quad:
                path.quadTo(x[0], y[0], x[1], y[1]);
                break;
            default:
                path.cubicTo(x[0], y[0], x[1], y[1], x[2], y[2]);
                break;
            }
        }
        break;
    }
    // An outline thicker than half the shape leaves nothing inside to cut.
    bool holeValid = false;
    double l, t, r, b;
    if (hole.bounds(l, t, r, b)) holeValid = r > l && b > t;
    if (holeValid) path.addReversed(hole);
}

void CImageSet::draw(const SOperation& op, const SContext& ctx, CBitmap& out) const {
    CPath path;
    buildShape(op, ctx, path);
    double left, top, right, bottom;
    if (!path.bounds(left, top, right, bottom)) return;
    const double opacity = std::clamp(ctx.resolve(op.opacity, Number), 0.0, 1.0);
    const uint32_t alpha = uint32_t(std::lround(opacity * 255));
    if (alpha == 0) return;
    const int32_t blur = std::clamp(int32_t(std::lround(ctx.resolve(op.blur, Length))), 0, kMaxBlur);
    const double margin = 3.0 * blur + 1;
    const double clampedLeft = std::clamp(std::floor(left - margin), 0.0, double(ctx.width));
    const double clampedTop = std::clamp(std::floor(top - margin), 0.0, double(ctx.height));
    const double clampedRight = std::clamp(std::ceil(right + margin), 0.0, double(ctx.width));
    const double clampedBottom = std::clamp(std::ceil(bottom + margin), 0.0, double(ctx.height));
    const SPixelRect area{int32_t(clampedLeft), int32_t(clampedTop), int32_t(clampedRight - clampedLeft),
                          int32_t(clampedBottom - clampedTop)};
    if (area.isEmpty()) return;
    std::vector<uint8_t> mask;
    path.rasterize(1.0, 0.0, 0.0, area, mask);
    if (blur > 0)
        for (int pass = 0; pass < 3; ++pass) {
            boxPass(mask, area.width, area.height, blur, false);
            boxPass(mask, area.width, area.height, blur, true);
        }

    const uint32_t solid = ctx.colors[op.colors[0]].premultiplied();
    double ax = 0, ay = 0, dx = 0, dy = 0, axisLength2 = 0, cell = 1;
    if (op.paint == Gradient) {
        ax = ctx.resolve(op.axis[0], X);
        ay = ctx.resolve(op.axis[1], Y);
        dx = ctx.resolve(op.axis[2], X) - ax;
        dy = ctx.resolve(op.axis[3], Y) - ay;
        axisLength2 = dx * dx + dy * dy;
    } else if (op.paint == Noise) {
        cell = std::max(ctx.resolve(op.cell, Length) / ctx.scale, 0.01);
    }
    for (int32_t y = 0; y < area.height; ++y) {
        uint32_t* row = out.row(area.y + y) + area.x;
        const uint8_t* coverage = mask.data() + size_t(y) * size_t(area.width);
        for (int32_t x = 0; x < area.width; ++x) {
            if (!coverage[x]) continue;
            uint32_t pixel = solid;
            uint32_t amount = (uint32_t(coverage[x]) * alpha + 127) / 255;
            const double px = area.x + x + 0.5, py = area.y + y + 0.5;
            if (op.paint == Gradient) {
                const double t = axisLength2 > 0
                                     ? std::clamp(((px - ax) * dx + (py - ay) * dy) / axisLength2, 0.0, 1.0)
                                     : 0;
                const double position = t * double(op.colors.size() - 1);
                const size_t i = std::min(size_t(position), op.colors.size() - 2);
                const double f = position - double(i);
                const CColor& a = ctx.colors[op.colors[i]];
                const CColor& b = ctx.colors[op.colors[i + 1]];
                auto mixChannel = [f](uint8_t u, uint8_t v) { return uint8_t(std::lround(u + (v - u) * f)); };
                pixel = CColor{mixChannel(a.r, b.r), mixChannel(a.g, b.g), mixChannel(a.b, b.b),
                               mixChannel(a.a, b.a)}
                            .premultiplied();
            } else if (op.paint == Noise) {
                const double n = fractalNoise(px / ctx.scale / cell, py / ctx.scale / cell, op.seed);
                amount = uint32_t(std::lround(amount * n));
            }
            row[x] = CBitmap::blendPixel(row[x], CBitmap::scalePixel(pixel, amount));
        }
    }
}

CError* CImageSet::render(int32_t frame, double scale, const CPalette& palette, double width, double height,
                          CBitmap& out) const {
    if (m_frameCount <= 0)
        return QEL_ERROR({}, "@qelstr_CImageSet_render_Empty The image set is not loaded.");
    if (frame < 0 || frame >= m_frameCount)
        return QEL_ERROR({}, "@qelstr_CImageSet_render_Frame Frame %1 is not in 0..%2.", frame,
                         m_frameCount - 1);
    if (!m_stretchable) {
        width = m_width;
        height = m_height;
    }
    const double w = std::ceil(width * scale - 1e-9), h = std::ceil(height * scale - 1e-9);
    if (!(scale > 0) || !(scale <= 16) || !(w >= 1) || !(h >= 1) || w > kMaxSize || h > kMaxSize)
        return QEL_ERROR({}, "@qelstr_CImageSet_render_Size Cannot draw %1 x %2 at scale %3.",
                         CString::fromDouble(width, 2), CString::fromDouble(height, 2),
                         CString::fromDouble(scale, 2));
    SContext ctx;
    ctx.scale = scale;
    ctx.width = int32_t(w);
    ctx.height = int32_t(h);
    ctx.colors.reserve(m_colors.size());
    for (const SColorEntry& entry : m_colors)
        ctx.colors.push_back(palette.color(entry.name, entry.fallback));
    out.resize(ctx.width, ctx.height, 0);
    for (const SOperation& op : m_operations) {
        if (frame < op.firstFrame || frame > op.lastFrame) continue;
        ctx.t =
            op.lastFrame > op.firstFrame ? double(frame - op.firstFrame) / (op.lastFrame - op.firstFrame) : 0;
        draw(op, ctx, out);
    }
    return nullptr;
}

} // namespace qel
