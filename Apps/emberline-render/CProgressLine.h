#pragma once

#include <chrono>

namespace qel {

// A one-line progress display on stderr: at once on a terminal, otherwise only for renders that
// already took more than two seconds, so short runs and logs stay quiet.
class CProgressLine {
public:
    CProgressLine();
    void update(double fraction);
    void finish();

private:
    using Clock = std::chrono::steady_clock;
    Clock::time_point m_start;
    Clock::time_point m_lastShown;
    bool m_terminal;
    bool m_shown = false;
};

} // namespace qel
