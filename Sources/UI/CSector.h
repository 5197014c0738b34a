#pragma once

#include <vector>

#include "Other/CBitmap.h"

namespace qel {

class CView;

// One tile of a window: what is drawn there in the current frame.
struct CSector {
    SPixelRect rect;
    bool isQueued = false;
    // Anything to draw: a visible view overlaps the tile.
    bool hasContent = false;
    std::vector<CView*> views;
};

} // namespace qel
