#pragma once

#include <string>
#include <vector>

namespace qel::platform {

// Shows the lines in a top-level window with the title until the user closes it, clicks it or
// presses a key. False at once when there is no display to show it on.
bool showMessageWindow(const std::string& title, const std::vector<std::string>& lines);

} // namespace qel::platform
