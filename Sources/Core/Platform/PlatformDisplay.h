#pragma once

#include <cstdint>

namespace qel::platform {

// Size of the primary monitor in pixels; 0 x 0 without a display.
void primaryMonitorSize(int32_t& width, int32_t& height);

} // namespace qel::platform
