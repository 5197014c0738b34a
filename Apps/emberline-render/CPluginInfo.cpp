#include "CPluginInfo.h"

#include <string>

namespace qel {

const char* CPluginInfo::categoryName(int32_t category) {
    static const char* const names[] = {"unknown",     "effect",          "synth",   "analysis",
                                        "mastering",   "spatializer",     "room fx", "surround fx",
                                        "restoration", "offline process", "shell",   "generator"};
    return category >= 0 && category < int32_t(std::size(names)) ? names[category] : "unknown";
}

void CPluginInfo::print(CVstPluginHost& host, double rate, std::FILE* out) {
    const AEffect* effect = host.effect();
    char id[5] = {};
    for (int i = 0; i < 4; ++i)
        id[i] = char((uint32_t(effect->uniqueID) >> (24 - 8 * i)) & 0xff);
    std::fprintf(out, "plug-in     %s\n", host.path().c_str());
    std::fprintf(out, "entry       %s\n", host.entryName().c_str());
    std::fprintf(out, "name        %s\n", host.effectName().c_str());
    std::fprintf(out, "vendor      %s\n", host.vendorString().c_str());
    std::fprintf(out, "product     %s\n", host.productString().c_str());
    std::fprintf(out, "version     %d (vendor version %d)\n", effect->version, host.vendorVersion());
    std::fprintf(out, "unique id   '%s'\n", id);
    std::fprintf(out, "category    %s\n", categoryName(host.plugCategory()));
    std::fprintf(out, "channels    %d in, %d out\n", host.numInputs(), host.numOutputs());
    std::fprintf(out, "precision   float%s\n", host.canProcessDouble() ? ", double" : "");
    std::fprintf(out, "latency     %d samples at %.0f Hz (%.2f ms)\n", host.latency(), rate,
                 1000.0 * host.latency() / rate);
    std::fprintf(out, "programs    %d\n", host.numPrograms());
    for (int32_t i = 0; i < host.numPrograms(); ++i)
        std::fprintf(out, "  %3d  %s\n", i, host.programNameIndexed(i).c_str());
    std::fprintf(out, "parameters  %d\n", host.numParams());
    for (int32_t i = 0; i < host.numParams(); ++i) {
        std::string label = host.paramLabel(i);
        std::fprintf(out, "  %3d  %-16s %-8s %s\n", i, host.paramName(i).c_str(), label.c_str(),
                     host.paramDisplay(i).c_str());
    }
}

} // namespace qel
