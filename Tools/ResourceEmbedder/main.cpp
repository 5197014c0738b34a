#include <cstdio>

#include "ResourceEmbedder/CResourceEmbedder.h"

// qel-embed output.cpp name=path...: writes the embedded resource table source.
int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: qel-embed output.cpp name=path...\n");
        return 1;
    }
    std::vector<qel::CResourceEmbedder::SResource> resources(size_t(argc - 2));
    std::string failure;
    for (int i = 2; i < argc; ++i) {
        if (!qel::CResourceEmbedder::parseArgument(argv[i], resources[size_t(i - 2)], failure)) {
            std::fprintf(stderr, "qel-embed: %s\n", failure.c_str());
            return 1;
        }
    }
    if (!qel::CResourceEmbedder::writeSourceFile(argv[1], resources, failure)) {
        std::fprintf(stderr, "qel-embed: %s\n", failure.c_str());
        return 1;
    }
    return 0;
}
