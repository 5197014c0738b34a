#include "UI/CSectorMap.h"

#include <algorithm>

namespace qel {

void CSectorMap::resize(int32_t width, int32_t height) {
    m_width = std::max(width, 0);
    m_height = std::max(height, 0);
    m_columns = (m_width + kTileSize - 1) / kTileSize;
    m_rows = (m_height + kTileSize - 1) / kTileSize;
    m_sectors.assign(size_t(m_columns) * size_t(m_rows), CSector());
    for (int32_t row = 0; row < m_rows; ++row)
        for (int32_t column = 0; column < m_columns; ++column) {
            const int32_t x = column * kTileSize, y = row * kTileSize;
            m_sectors[size_t(row * m_columns + column)].rect = {x, y, std::min(kTileSize, m_width - x),
                                                                std::min(kTileSize, m_height - y)};
        }
    m_queue.clear();
    m_taken.clear();
}

void CSectorMap::markDirty(const SPixelRect& rect) {
    const SPixelRect area = rect.intersected({0, 0, m_width, m_height});
    if (area.isEmpty()) return;
    CCriticalSectionGuard guard(m_lock);
    for (int32_t row = area.y / kTileSize; row <= (area.bottom() - 1) / kTileSize; ++row)
        for (int32_t column = area.x / kTileSize; column <= (area.right() - 1) / kTileSize; ++column) {
            const int32_t index = row * m_columns + column;
            CSector& tile = m_sectors[size_t(index)];
            if (tile.isQueued) continue;
            tile.isQueued = true;
            m_queue.push_back(index);
        }
}

bool CSectorMap::takeTile(int32_t& index) {
    CCriticalSectionGuard guard(m_lock);
    while (!m_queue.empty()) {
        index = m_queue.back();
        m_queue.pop_back();
        CSector& tile = m_sectors[size_t(index)];
        tile.isQueued = false;
        if (!tile.hasContent) continue;
        m_taken.push_back(index);
        return true;
    }
    return false;
}

std::vector<SPixelRect> CSectorMap::takenRects() {
    m_grid.assign(m_sectors.size(), 0);
    for (int32_t index : m_taken)
        m_grid[size_t(index)] = 1;
    m_taken.clear();
    std::vector<SPixelRect> rects;
    for (int32_t row = 0; row < m_rows; ++row)
        for (int32_t column = 0; column < m_columns;) {
            if (!m_grid[size_t(row * m_columns + column)]) {
                ++column;
                continue;
            }
            const int32_t first = column;
            while (column < m_columns && m_grid[size_t(row * m_columns + column)])
                ++column;
            const SPixelRect& left = m_sectors[size_t(row * m_columns + first)].rect;
            const SPixelRect& right = m_sectors[size_t(row * m_columns + column - 1)].rect;
            rects.push_back({left.x, left.y, right.right() - left.x, left.height});
        }
    return rects;
}

} // namespace qel
