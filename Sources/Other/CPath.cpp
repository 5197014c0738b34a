#include "Other/CPath.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#define STB_TRUETYPE_IMPLEMENTATION
// The rasteriser asserts that no edge lies wholly above the first row, which holds for glyph boxes
// but not for shapes clipped to a tile; such edges are clipped away and add nothing.
#define STBTT_assert(condition) ((void)0)
#include "Other/StbTrueType.h"

namespace qel {

namespace {

constexpr double kDegrees = std::numbers::pi / 180.0;
// Cubic control distance of a quarter ellipse.
constexpr double kKappa = 0.5522847498307936;
// Keeps forged or runaway coordinates inside what the rasteriser's integer spans can hold.
constexpr double kMaxCoordinate = 1 << 20;

float device(double value, double scale, double offset) {
    return float(std::clamp(value * scale + offset, -kMaxCoordinate, kMaxCoordinate));
}

} // namespace

void CPath::ensureContour() {
    if (!m_open) moveTo(m_lastX, m_lastY);
}

void CPath::moveTo(double x, double y) {
    m_vertices.push_back({Move, x, y, 0, 0, 0, 0});
    m_startX = m_lastX = x;
    m_startY = m_lastY = y;
    m_open = true;
}

void CPath::lineTo(double x, double y) {
    ensureContour();
    m_vertices.push_back({Line, x, y, 0, 0, 0, 0});
    m_lastX = x;
    m_lastY = y;
}

void CPath::quadTo(double cx, double cy, double x, double y) {
    ensureContour();
    m_vertices.push_back({Quad, x, y, cx, cy, 0, 0});
    m_lastX = x;
    m_lastY = y;
}

void CPath::cubicTo(double c1x, double c1y, double c2x, double c2y, double x, double y) {
    ensureContour();
    m_vertices.push_back({Cubic, x, y, c1x, c1y, c2x, c2y});
    m_lastX = x;
    m_lastY = y;
}

void CPath::close() {
    if (!m_open) return;
    if (m_lastX != m_startX || m_lastY != m_startY) lineTo(m_startX, m_startY);
    m_open = false;
    m_lastX = m_startX;
    m_lastY = m_startY;
}

void CPath::arcTo(double cx, double cy, double r, double fromDegrees, double toDegrees) {
    const double sweep = toDegrees - fromDegrees;
    const int segments = std::max(1, int(std::ceil(std::fabs(sweep) / 90.0 - 1e-9)));
    const double step = sweep / segments * kDegrees;
    const double k = 4.0 / 3.0 * std::tan(step / 4.0);
    double a = fromDegrees * kDegrees;
    for (int i = 0; i < segments; ++i) {
        const double b = a + step;
        const double x0 = cx + r * std::sin(a), y0 = cy - r * std::cos(a);
        const double x1 = cx + r * std::sin(b), y1 = cy - r * std::cos(b);
        cubicTo(x0 + k * r * std::cos(a), y0 + k * r * std::sin(a), x1 - k * r * std::cos(b),
                y1 - k * r * std::sin(b), x1, y1);
        a = b;
    }
}

void CPath::addRect(double x, double y, double w, double h) {
    moveTo(x, y);
    lineTo(x + w, y);
    lineTo(x + w, y + h);
    lineTo(x, y + h);
    close();
}

void CPath::addRoundRect(double x, double y, double w, double h, double radius) {
    const double r = std::min({radius, w / 2, h / 2});
    if (!(r > 0)) return addRect(x, y, w, h);
    moveTo(x + r, y);
    lineTo(x + w - r, y);
    arcTo(x + w - r, y + r, r, 0, 90);
    lineTo(x + w, y + h - r);
    arcTo(x + w - r, y + h - r, r, 90, 180);
    lineTo(x + r, y + h);
    arcTo(x + r, y + h - r, r, 180, 270);
    lineTo(x, y + r);
    arcTo(x + r, y + r, r, 270, 360);
    close();
}

void CPath::addEllipse(double cx, double cy, double rx, double ry) {
    const double kx = rx * kKappa, ky = ry * kKappa;
    moveTo(cx, cy - ry);
    cubicTo(cx + kx, cy - ry, cx + rx, cy - ky, cx + rx, cy);
    cubicTo(cx + rx, cy + ky, cx + kx, cy + ry, cx, cy + ry);
    cubicTo(cx - kx, cy + ry, cx - rx, cy + ky, cx - rx, cy);
    cubicTo(cx - rx, cy - ky, cx - kx, cy - ry, cx, cy - ry);
    close();
}

void CPath::addArcBand(double cx, double cy, double innerRadius, double outerRadius, double startDegrees,
                       double endDegrees) {
    if (endDegrees < startDegrees) std::swap(startDegrees, endDegrees);
    const double inner = std::max(0.0, std::min(innerRadius, outerRadius));
    const double outer = std::max(innerRadius, outerRadius);
    if (!(outer > 0) || !(endDegrees > startDegrees)) return;
    if (endDegrees - startDegrees >= 360) {
        addEllipse(cx, cy, outer, outer);
        if (inner > 0) {
            CPath hole;
            hole.addEllipse(cx, cy, inner, inner);
            addReversed(hole);
        }
        return;
    }
    const double a = startDegrees * kDegrees, b = endDegrees * kDegrees;
    moveTo(cx + outer * std::sin(a), cy - outer * std::cos(a));
    arcTo(cx, cy, outer, startDegrees, endDegrees);
    if (inner > 0) {
        lineTo(cx + inner * std::sin(b), cy - inner * std::cos(b));
        arcTo(cx, cy, inner, endDegrees, startDegrees);
    } else {
        lineTo(cx, cy);
    }
    close();
}

void CPath::addLine(double x0, double y0, double x1, double y1, double width) {
    const double dx = x1 - x0, dy = y1 - y0;
    const double length = std::hypot(dx, dy);
    if (!(length > 0) || !(width > 0)) return;
    const double nx = -dy / length * width / 2, ny = dx / length * width / 2;
    moveTo(x0 - nx, y0 - ny);
    lineTo(x1 - nx, y1 - ny);
    lineTo(x1 + nx, y1 + ny);
    lineTo(x0 + nx, y0 + ny);
    close();
}

void CPath::addReversed(const CPath& other) {
    const std::vector<SVertex>& v = other.m_vertices;
    size_t end = v.size();
    // Contours are appended in their original order, each one walked backwards.
    std::vector<std::pair<size_t, size_t>> contours;
    for (size_t start = v.size(); start-- > 0;) {
        if (v[start].kind != Move) continue;
        contours.emplace_back(start, end);
        end = start;
    }
    for (auto it = contours.rbegin(); it != contours.rend(); ++it) {
        const auto [first, last] = *it;
        moveTo(v[last - 1].x, v[last - 1].y);
        for (size_t i = last - 1; i > first; --i) {
            const SVertex& s = v[i];
            const SVertex& p = v[i - 1];
            if (s.kind == Quad)
                quadTo(s.cx, s.cy, p.x, p.y);
            else if (s.kind == Cubic)
                cubicTo(s.dx, s.dy, s.cx, s.cy, p.x, p.y);
            else
                lineTo(p.x, p.y);
        }
        close();
    }
}

void CPath::append(const CPath& other) {
    m_vertices.insert(m_vertices.end(), other.m_vertices.begin(), other.m_vertices.end());
    m_open = false;
    m_lastX = m_startX;
    m_lastY = m_startY;
}

bool CPath::bounds(double& left, double& top, double& right, double& bottom) const {
    if (m_vertices.empty()) return false;
    left = top = HUGE_VAL;
    right = bottom = -HUGE_VAL;
    auto add = [&](double x, double y) {
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
    };
    for (const SVertex& v : m_vertices) {
        add(v.x, v.y);
        if (v.kind == Quad || v.kind == Cubic) add(v.cx, v.cy);
        if (v.kind == Cubic) add(v.dx, v.dy);
    }
    return true;
}

void CPath::rasterize(double scale, double offsetX, double offsetY, const SPixelRect& area,
                      std::vector<uint8_t>& mask) const {
    mask.assign(area.isEmpty() ? 0 : size_t(area.width) * size_t(area.height), 0);
    if (area.isEmpty() || m_vertices.empty() || !std::isfinite(scale) || !std::isfinite(offsetX) ||
        !std::isfinite(offsetY))
        return;
    const double ox = offsetX - area.x, oy = offsetY - area.y;
    std::vector<stbtt_vertex> vertices(m_vertices.size());
    for (size_t i = 0; i < m_vertices.size(); ++i) {
        const SVertex& s = m_vertices[i];
        if (!std::isfinite(s.x) || !std::isfinite(s.y) || !std::isfinite(s.cx) || !std::isfinite(s.cy) ||
            !std::isfinite(s.dx) || !std::isfinite(s.dy))
            return;
        stbtt_vertex& d = vertices[i];
        d = {};
        d.type = s.kind;
        d.x = device(s.x, scale, ox);
        d.y = device(s.y, scale, oy);
        d.cx = device(s.cx, scale, ox);
        d.cy = device(s.cy, scale, oy);
        d.cx1 = device(s.dx, scale, ox);
        d.cy1 = device(s.dy, scale, oy);
    }
    stbtt__bitmap bitmap{area.width, area.height, area.width, mask.data()};
    // A tenth of a pixel keeps circles round at every scale.
    stbtt_Rasterize(&bitmap, 0.1f, vertices.data(), int(vertices.size()), 1.0f, 1.0f, 0.0f, 0.0f, 0, 0, 0,
                    nullptr);
}

} // namespace qel
