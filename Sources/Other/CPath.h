#pragma once

#include <cstdint>
#include <vector>

#include "Other/CBitmap.h"

namespace qel {

// A vector outline in view units (y grows downwards), filled with the non-zero winding rule.
// Angles are in degrees, 0 pointing up and growing clockwise, as a knob turns.
class CPath {
public:
    enum Kind : uint8_t { Move = 1, Line = 2, Quad = 3, Cubic = 4 };
    struct SVertex {
        Kind kind;
        double x, y;   // end point
        double cx, cy; // control point (quad) or first control point (cubic)
        double dx, dy; // second control point (cubic)
    };

    void moveTo(double x, double y);
    void lineTo(double x, double y);
    void quadTo(double cx, double cy, double x, double y);
    void cubicTo(double c1x, double c1y, double c2x, double c2y, double x, double y);
    // Ends the contour; filling closes every contour anyway, this only sets the current point back.
    void close();

    // Closed clockwise contours.
    void addRect(double x, double y, double w, double h);
    void addRoundRect(double x, double y, double w, double h, double radius);
    void addEllipse(double cx, double cy, double rx, double ry);
    // An annular sector between two radii (a pie slice when innerRadius is 0); a sweep of 360 degrees
    // or more is a full ring.
    void addArcBand(double cx, double cy, double innerRadius, double outerRadius, double startDegrees,
                    double endDegrees);
    // A segment of the given width, its ends cut square at the end points.
    void addLine(double x0, double y0, double x1, double y1, double width);
    // Appends the contours of other with their direction reversed: inside a shape they cut a hole.
    void addReversed(const CPath& other);
    void append(const CPath& other);

    void clear() { m_vertices.clear(); }
    bool isEmpty() const { return m_vertices.empty(); }
    const std::vector<SVertex>& vertices() const { return m_vertices; }
    // Control-point bounds; false for an empty path.
    bool bounds(double& left, double& top, double& right, double& bottom) const;

    // Anti-aliased coverage (0..255) of the path mapped by (x * scale + offsetX, y * scale + offsetY)
    // over the device pixels of area; mask becomes area.width x area.height bytes, rows packed.
    void rasterize(double scale, double offsetX, double offsetY, const SPixelRect& area,
                   std::vector<uint8_t>& mask) const;

private:
    void ensureContour();
    void arcTo(double cx, double cy, double r, double fromDegrees, double toDegrees);

    std::vector<SVertex> m_vertices;
    double m_startX = 0, m_startY = 0;
    double m_lastX = 0, m_lastY = 0;
    bool m_open = false;
};

} // namespace qel
