#include "CProgressLine.h"

#include <unistd.h>

#include <cstdio>

namespace qel {

CProgressLine::CProgressLine() : m_start(Clock::now()), m_lastShown(m_start), m_terminal(isatty(2) != 0) {}

void CProgressLine::update(double fraction) {
    auto now = Clock::now();
    if (!m_terminal && now - m_start < std::chrono::seconds(2)) return;
    auto interval = m_terminal ? std::chrono::milliseconds(200) : std::chrono::milliseconds(2000);
    if (m_shown && now - m_lastShown < interval) return;
    m_lastShown = now;
    m_shown = true;
    std::fprintf(stderr, m_terminal ? "\rrendering %3d%%" : "rendering %3d%%\n", int(fraction * 100));
}

void CProgressLine::finish() {
    if (m_shown) std::fprintf(stderr, m_terminal ? "\rrendering 100%%\n" : "rendering done\n");
    m_shown = false;
}

} // namespace qel
