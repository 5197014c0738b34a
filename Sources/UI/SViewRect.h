#pragma once

#include <algorithm>

namespace qel {

// A rectangle in view units: the editor's layout coordinates, before the UI scale.
struct SViewRect {
    double x = 0, y = 0, width = 0, height = 0;

    double right() const { return x + width; }
    double bottom() const { return y + height; }
    bool isEmpty() const { return width <= 0 || height <= 0; }
    bool contains(double px, double py) const { return px >= x && py >= y && px < right() && py < bottom(); }
    SViewRect intersected(const SViewRect& other) const {
        const double left = std::max(x, other.x), top = std::max(y, other.y);
        const double r = std::min(right(), other.right()), b = std::min(bottom(), other.bottom());
        return r > left && b > top ? SViewRect{left, top, r - left, b - top} : SViewRect{left, top, 0, 0};
    }
    bool operator==(const SViewRect& other) const = default;
};

} // namespace qel
