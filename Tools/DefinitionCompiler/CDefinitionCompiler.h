#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qel {

// Build-time compiler from authored definition XML to the binary definition tree that
// CDefinitionLoader reads. Failures are reported as "file:line: message" so that build logs and
// editors can jump to the offending element.
class CDefinitionCompiler {
public:
    // The document must be UTF-8. fileName only labels the failure text.
    static bool compile(std::string_view xml, const std::string& fileName, std::vector<uint8_t>& tree,
                        std::string& failure);
    // Reads inputPath, writes outputPath (creating its folder); nothing is written on failure.
    static bool compileFile(const std::string& inputPath, const std::string& outputPath,
                            std::string& failure);
};

} // namespace qel
