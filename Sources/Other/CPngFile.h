#pragma once

#include <vector>

#include "Core/CError.h"
#include "Core/CString.h"
#include "Other/CBitmap.h"
#include "Other/CColor.h"

namespace qel {

// Pictures of the editor as PNG files: snapshots for people to look at, golden pictures for tests.
// Writes 8-bit RGBA; reads 8-bit RGB and RGBA without interlacing, which is what it writes.
class CPngFile {
public:
    static CError* write(const CString& path, const CBitmap& bitmap);
    static CError* read(const CString& path, CBitmap& bitmap);
    // The same over bytes in memory.
    static void encode(const CBitmap& bitmap, std::vector<uint8_t>& bytes);
    static CError* decode(const std::vector<uint8_t>& bytes, CBitmap& bitmap);
};

} // namespace qel
