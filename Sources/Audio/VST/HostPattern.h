#pragma once

namespace qel {

// Whole-string match of a host name against a pattern: "*" matches any run of characters (also
// none), "?" exactly one; everything else must be equal.
bool qelHostPatternMatch(const char* pattern, const char* text);

} // namespace qel
