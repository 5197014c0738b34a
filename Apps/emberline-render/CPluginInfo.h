#pragma once

#include <cstdio>

#include "VstHost/CVstPluginHost.h"

namespace qel {

// The --info listing of a loaded, resumed plug-in.
class CPluginInfo {
public:
    static void print(CVstPluginHost& host, double rate, std::FILE* out);
    static const char* categoryName(int32_t category);
};

} // namespace qel
