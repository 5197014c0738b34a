#pragma once

#include <cstdint>
#include <vector>

#include "Core/Platform/CCriticalSection.h"
#include "UI/CSector.h"

namespace qel {

// A window's area cut into square tiles, with the queue of tiles to draw in the current frame. The
// queue and the list of tiles taken are shared by the threads drawing one frame, under the map's
// lock; everything else belongs to the user-interface thread.
class CSectorMap {
public:
    static constexpr int32_t kTileSize = 32;

    void resize(int32_t width, int32_t height);
    int32_t width() const { return m_width; }
    int32_t height() const { return m_height; }
    int32_t columns() const { return m_columns; }
    int32_t rows() const { return m_rows; }
    CSector& sector(int32_t index) { return m_sectors[size_t(index)]; }

    // Queues every tile the rectangle touches (once per frame).
    void markDirty(const SPixelRect& rect);
    const std::vector<int32_t>& queued() const { return m_queue; }

    // Any thread of the frame: the next queued tile with something to draw, recorded as taken.
    // False when the queue is empty.
    bool takeTile(int32_t& index);
    // User-interface thread, after the frame: how many tiles were taken, and the tiles taken, merged along
    // rows into rectangles; the taken list is emptied.
    size_t takenCount() const { return m_taken.size(); }
    std::vector<SPixelRect> takenRects();

private:
    int32_t m_width = 0, m_height = 0, m_columns = 0, m_rows = 0;
    std::vector<CSector> m_sectors;
    std::vector<int32_t> m_queue;
    std::vector<int32_t> m_taken;
    std::vector<uint8_t> m_grid;
    CCriticalSection m_lock{4000};
};

} // namespace qel
