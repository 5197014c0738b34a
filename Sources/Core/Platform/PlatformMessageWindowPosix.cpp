#include "Core/Platform/PlatformMessageWindow.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdlib>

namespace qel::platform {

namespace {

constexpr int kMargin = 12;

} // namespace

bool showMessageWindow(const std::string& title, const std::vector<std::string>& lines) {
    // Without DISPLAY, Xlib would still try a default server; headless hosts must not wait on one.
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) return false;
    Display* display = XOpenDisplay(name);
    if (!display) return false;
    const int screen = DefaultScreen(display);
    XFontStruct* font = XLoadQueryFont(display, "fixed");
    const int lineHeight = font ? font->ascent + font->descent + 2 : 14;
    int width = 240;
    for (const std::string& line : lines)
        width =
            std::max(width, font ? XTextWidth(font, line.c_str(), int(line.size())) : int(line.size()) * 7);
    width = std::min(width + 2 * kMargin, DisplayWidth(display, screen));
    const int height = std::min(int(lines.size()) * lineHeight + 2 * kMargin, DisplayHeight(display, screen));

    // Asked before the window exists: the round trip would otherwise show a named window that does
    // not listen to keys yet.
    Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    const Window window =
        XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, unsigned(width), unsigned(height), 1,
                            BlackPixel(display, screen), WhitePixel(display, screen));
    XSelectInput(display, window, ExposureMask | KeyPressMask | ButtonPressMask | StructureNotifyMask);
    XStoreName(display, window, title.c_str());
    XClassHint hint{const_cast<char*>("ApplicationMessage"), const_cast<char*>("ApplicationMessage")};
    XSetClassHint(display, window, &hint);
    XSetWMProtocols(display, window, &deleteWindow, 1);
    GC gc = XCreateGC(display, window, 0, nullptr);
    if (font) XSetFont(display, gc, font->fid);
    XSetForeground(display, gc, BlackPixel(display, screen));
    XMapRaised(display, window);

    for (bool open = true; open;) {
        XEvent event;
        XNextEvent(display, &event);
        switch (event.type) {
        case Expose:
            for (size_t i = 0; i < lines.size(); ++i)
                XDrawString(display, window, gc, kMargin, kMargin + int(i + 1) * lineHeight - 4,
                            lines[i].c_str(), int(lines[i].size()));
            break;
        case KeyPress:
        case ButtonPress:
        case DestroyNotify:
            open = false;
            break;
        case ClientMessage:
            open = Atom(event.xclient.data.l[0]) != deleteWindow;
            break;
        default:
            break;
        }
    }
    XFreeGC(display, gc);
    if (font) XFreeFont(display, font);
    XDestroyWindow(display, window);
    XCloseDisplay(display);
    return true;
}

} // namespace qel::platform
