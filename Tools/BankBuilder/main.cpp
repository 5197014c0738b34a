#include <cstdio>

#include "BankBuilder/CBankBuilder.h"

// qel-bankc input.xml output.bin: writes one preset bank or bank list for embedding.
int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: qel-bankc input.xml output.bin\n");
        return 1;
    }
    std::string failure;
    if (!qel::CBankBuilder::buildFile(argv[1], argv[2], failure)) {
        std::fprintf(stderr, "%s\n", failure.c_str());
        return 1;
    }
    return 0;
}
