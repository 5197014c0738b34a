#include "Core/Platform/PlatformDisplay.h"

#include <X11/Xlib.h>

#include <cstdlib>

namespace qel::platform {

void primaryMonitorSize(int32_t& width, int32_t& height) {
    width = height = 0;
    // Without DISPLAY, Xlib would still try a default server; headless renders must not wait on one.
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) return;
    Display* display = XOpenDisplay(name);
    if (!display) return;
    Screen* screen = DefaultScreenOfDisplay(display);
    width = WidthOfScreen(screen);
    height = HeightOfScreen(screen);
    XCloseDisplay(display);
}

} // namespace qel::platform
