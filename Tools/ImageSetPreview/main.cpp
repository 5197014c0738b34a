// qel-ispreview OUTPUT.png SCALE FONT.fnt SET.is...: a contact sheet of image sets for review: each
// set's name, then a sample of its frames, and stretchable sets again at a larger size, drawn with
// the fallback colours of their descriptions.
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Common/ToolFiles.h"
#include "Other/CFont.h"
#include "Other/CImageSet.h"

namespace {

using namespace qel;

class CFallbackPalette : public CPalette {
public:
    CColor color(const CString&, const CColor& fallback) const override { return fallback; }
};

void chunk(std::string& png, const char* type, const std::string& data) {
    auto be32 = [&png](uint32_t v) {
        for (int i = 3; i >= 0; --i)
            png.push_back(char(v >> (8 * i)));
    };
    be32(uint32_t(data.size()));
    const std::string body = std::string(type, 4) + data;
    png += body;
    be32(uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()))));
}

// Straight RGBA rows from premultiplied BGRA.
std::string encodePng(const CBitmap& image) {
    std::string raw;
    for (int32_t y = 0; y < image.height(); ++y) {
        raw.push_back(0);
        for (int32_t x = 0; x < image.width(); ++x) {
            const uint32_t p = image.pixel(x, y);
            const uint32_t a = p >> 24;
            auto un = [a](uint32_t c) {
                return char(a ? std::min<uint32_t>(255, (c * 255 + a / 2) / a) : 0);
            };
            raw.push_back(un((p >> 16) & 255));
            raw.push_back(un((p >> 8) & 255));
            raw.push_back(un(p & 255));
            raw.push_back(char(a));
        }
    }
    uLongf size = compressBound(uLong(raw.size()));
    std::string packed(size, '\0');
    compress2(reinterpret_cast<Bytef*>(packed.data()), &size, reinterpret_cast<const Bytef*>(raw.data()),
              uLong(raw.size()), 9);
    packed.resize(size);
    std::string header;
    for (uint32_t v : {uint32_t(image.width()), uint32_t(image.height())})
        for (int i = 3; i >= 0; --i)
            header.push_back(char(v >> (8 * i)));
    header += std::string("\x08\x06\x00\x00\x00", 5);
    std::string png("\x89PNG\r\n\x1a\n", 8);
    chunk(png, "IHDR", header);
    chunk(png, "IDAT", packed);
    chunk(png, "IEND", "");
    return png;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: qel-ispreview OUTPUT.png SCALE FONT.fnt SET.is...\n");
        return 2;
    }
    const double scale = std::atof(argv[2]);
    CFont font;
    if (CError* error = font.load(argv[3])) {
        std::fprintf(stderr, "%s\n", error->joined("\n").toUtf8().c_str());
        return 1;
    }
    const CFallbackPalette palette;
    const int gap = int(8 * scale);
    struct SPlaced {
        CBitmap bitmap;
        int x, y;
    };
    std::vector<SPlaced> placed;
    int y = gap, sheetWidth = 0;
    for (int i = 4; i < argc; ++i) {
        CImageSet set;
        if (CError* error = set.load(argv[i])) {
            std::fprintf(stderr, "%s\n", error->joined("\n").toUtf8().c_str());
            return 1;
        }
        std::string name = argv[i];
        name = name.substr(name.rfind('/') + 1);
        SPlaced label{{}, gap, y};
        font.renderText(CString(name.c_str()) + "  (" + CString::fromInt(set.frameCount()) + " frames)",
                        scale, CColor{225, 220, 190, 255}, label.bitmap);
        y += label.bitmap.height() + gap / 2;
        placed.push_back(std::move(label));
        int x = gap, rowHeight = 0;
        const int samples = std::min(set.frameCount(), 9);
        std::vector<std::pair<double, double>> sizes{{set.width(), set.height()}};
        if (set.isStretchable()) sizes.emplace_back(set.width() * 2.3, set.height() * 1.7);
        for (const auto& [w, h] : sizes)
            for (int s = 0; s < samples; ++s) {
                const int frame = samples > 1 ? s * (set.frameCount() - 1) / (samples - 1) : 0;
                SPlaced item{{}, x, y};
                if (CError* error = set.render(frame, scale, palette, w, h, item.bitmap)) {
                    std::fprintf(stderr, "%s\n", error->joined("\n").toUtf8().c_str());
                    return 1;
                }
                x += item.bitmap.width() + gap;
                rowHeight = std::max(rowHeight, item.bitmap.height());
                placed.push_back(std::move(item));
            }
        sheetWidth = std::max(sheetWidth, x);
        y += rowHeight + gap;
    }
    CBitmap sheet(sheetWidth, y, 0xff2b2e22u);
    for (const SPlaced& item : placed)
        sheet.blend(item.bitmap, item.x, item.y, sheet.bounds());
    std::string failure;
    const std::string png = encodePng(sheet);
    if (!writeOutputFile(argv[1], png.data(), png.size(), failure)) {
        std::fprintf(stderr, "%s\n", failure.c_str());
        return 1;
    }
    return 0;
}
