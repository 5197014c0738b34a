#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qel {

// Build-time generator of the C++ source that holds the embedded resource table: one aligned block
// per resource (a little-endian 32-bit byte count, then the bytes) and the table of names, ended by
// a null block.
class CResourceEmbedder {
public:
    struct SResource {
        std::string name;
        std::string path;
    };

    // Splits "name=path" at the first '='; names may hold slashes and dots but no '='.
    static bool parseArgument(std::string_view argument, SResource& resource, std::string& failure);
    // Reads every file and returns the source text.
    static bool generate(const std::vector<SResource>& resources, std::string& source, std::string& failure);
    // Writes the source to outputPath (creating its folder); nothing is left behind on failure.
    static bool writeSourceFile(const std::string& outputPath, const std::vector<SResource>& resources,
                                std::string& failure);
};

} // namespace qel
