// qel-fontc DESCRIPTION FONT_FOLDER OUTPUT: compiles a font description into a ".fnt" resource.
#include <cstdio>
#include <vector>

#include "Common/ToolFiles.h"
#include "FontCompiler/CFontCompiler.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: qel-fontc DESCRIPTION FONT_FOLDER OUTPUT\n");
        return 2;
    }
    std::string text, trueType, failure;
    qel::CFontCompiler::SDescription description;
    std::vector<uint8_t> output;
    if (!qel::readInputFile(argv[1], text, failure)) {
        std::fprintf(stderr, "%s\n", failure.c_str());
        return 1;
    }
    if (!qel::CFontCompiler::parseDescription(text, description, failure)) {
        std::fprintf(stderr, "%s: %s\n", argv[1], failure.c_str());
        return 1;
    }
    const std::string facePath = std::string(argv[2]) + "/" + description.face;
    if (!qel::readInputFile(facePath, trueType, failure) ||
        !qel::CFontCompiler::compile(trueType, description.size, output, failure) ||
        !qel::writeOutputFile(argv[3], output.data(), output.size(), failure)) {
        std::fprintf(stderr, "%s: %s\n", argv[1], failure.c_str());
        return 1;
    }
    return 0;
}
