#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace qel {

// Reads a whole build input.
inline bool readInputFile(const std::string& path, std::string& content, std::string& failure) {
    std::ifstream input(path, std::ios::binary);
    if (!input.is_open()) {
        failure = path + ": cannot open the file";
        return false;
    }
    content.assign(std::istreambuf_iterator<char>(input), {});
    if (input.bad()) {
        failure = path + ": cannot read the file";
        return false;
    }
    return true;
}

// Writes a build output, creating its folder. A partial file is removed so that it never looks up
// to date to the build.
inline bool writeOutputFile(const std::string& path, const void* data, size_t size, std::string& failure) {
    std::error_code ignored;
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (!parent.empty()) std::filesystem::create_directories(parent, ignored);
    std::ofstream output(path, std::ios::binary | std::ios::trunc);
    output.write(static_cast<const char*>(data), std::streamsize(size));
    output.close();
    if (!output) {
        std::filesystem::remove(path, ignored);
        failure = path + ": cannot write the file";
        return false;
    }
    return true;
}

} // namespace qel
