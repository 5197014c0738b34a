#include <cstdio>

#include "DefinitionCompiler/CDefinitionCompiler.h"

// qel-defc input.xml output.bin: compiles one definition file for embedding.
int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: qel-defc input.xml output.bin\n");
        return 1;
    }
    std::string failure;
    if (!qel::CDefinitionCompiler::compileFile(argv[1], argv[2], failure)) {
        std::fprintf(stderr, "%s\n", failure.c_str());
        return 1;
    }
    return 0;
}
