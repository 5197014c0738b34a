#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qel {

// Compiles an image set description (".isd", see Gfx/Imagesets/README.md) into an ".is" resource.
// Text is turned into outlines here, from TrueType faces in fontFolder, so the product needs no font
// to draw a set.
class CImageSetCompiler {
public:
    static bool compile(const std::string& description, const std::string& fontFolder,
                        std::vector<uint8_t>& output, std::string& failure);
};

} // namespace qel
