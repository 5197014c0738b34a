// qel-isc DESCRIPTION FONT_FOLDER OUTPUT: compiles an image set description into an ".is" resource.
#include <cstdio>
#include <vector>

#include "Common/ToolFiles.h"
#include "ImageSetCompiler/CImageSetCompiler.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: qel-isc DESCRIPTION FONT_FOLDER OUTPUT\n");
        return 2;
    }
    std::string text, failure;
    std::vector<uint8_t> output;
    if (!qel::readInputFile(argv[1], text, failure)) {
        std::fprintf(stderr, "%s\n", failure.c_str());
        return 1;
    }
    if (!qel::CImageSetCompiler::compile(text, argv[2], output, failure)) {
        std::fprintf(stderr, "%s:%s\n", argv[1], failure.c_str());
        return 1;
    }
    if (!qel::writeOutputFile(argv[3], output.data(), output.size(), failure)) {
        std::fprintf(stderr, "%s\n", failure.c_str());
        return 1;
    }
    return 0;
}
