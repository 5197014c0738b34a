#pragma once

#include <string>

#include "SAudioData.h"

namespace qel {

// Sound files through libsndfile; writes 32-bit float WAV.
class CAudioFile {
public:
    static bool read(const std::string& path, SAudioData& audio, std::string& error);
    static bool write(const std::string& path, const SAudioData& audio, std::string& error);
};

} // namespace qel
