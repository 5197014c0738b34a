#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qel {

// Turns a font description (a TrueType face and a nominal size) into a ".fnt" resource: the glyph
// outlines, advances and kerning pairs of the characters the editor shows.
class CFontCompiler {
public:
    struct SDescription {
        std::string face; // file name inside the font folder
        double size = 0;  // em size in view units
    };

    // "face NAME" and "size N" lines; '#' starts a comment line.
    static bool parseDescription(const std::string& text, SDescription& description, std::string& failure);
    // Compiles the TrueType bytes at the given size; fails when a character of the set is missing.
    static bool compile(const std::string& trueType, double size, std::vector<uint8_t>& output,
                        std::string& failure);
    // Printable ASCII, Latin-1 and the symbols of the editor (minus, arrows, dashes, ellipsis, ...).
    static const std::vector<uint32_t>& characterSet();
};

} // namespace qel
