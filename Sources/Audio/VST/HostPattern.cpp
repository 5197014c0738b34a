#include "Audio/VST/HostPattern.h"

namespace qel {

bool qelHostPatternMatch(const char* pattern, const char* text) {
    // Greedy with one backtrack point: the last "*" seen and where its run ended.
    const char* star = nullptr;
    const char* resume = nullptr;
    while (*text) {
        if (*pattern == '*') {
            star = pattern++;
            resume = text;
        } else if (*pattern == '?' || *pattern == *text) {
            ++pattern;
            ++text;
        } else if (star) {
            pattern = star + 1;
            text = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == '*')
        ++pattern;
    return *pattern == 0;
}

} // namespace qel
