#include "Other/CPngFile.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace qel {

namespace {

const uint8_t kSignature[8] = {137, 'P', 'N', 'G', 13, 10, 26, 10};

void putU32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(uint8_t(value >> shift));
}

uint32_t getU32(const uint8_t* bytes) {
    return uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | bytes[3];
}

void putChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
    putU32(out, uint32_t(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    putU32(out, uint32_t(crc32(0, out.data() + start, uInt(out.size() - start))));
}

uint8_t paeth(int a, int b, int c) {
    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return uint8_t(a);
    return uint8_t(pb <= pc ? b : c);
}

CError* formatError(const char* what) {
    return QEL_ERROR({}, "@qelstr_CPngFile_decode_BadFormat Not a picture this program reads (%1).", what);
}

} // namespace

void CPngFile::encode(const CBitmap& bitmap, std::vector<uint8_t>& bytes) {
    const auto width = uint32_t(bitmap.width()), height = uint32_t(bitmap.height());
    std::vector<uint8_t> raw;
    raw.reserve(size_t(height) * (size_t(width) * 4 + 1));
    for (uint32_t y = 0; y < height; ++y) {
        raw.push_back(0);
        const uint32_t* row = bitmap.row(int32_t(y));
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t pixel = row[x], alpha = pixel >> 24;
            auto straight = [alpha](uint32_t c) {
                return uint8_t(alpha ? std::min(255u, (c * 255 + alpha / 2) / alpha) : 0);
            };
            raw.push_back(straight((pixel >> 16) & 255));
            raw.push_back(straight((pixel >> 8) & 255));
            raw.push_back(straight(pixel & 255));
            raw.push_back(uint8_t(alpha));
        }
    }
    uLongf packedSize = compressBound(uLong(raw.size()));
    std::vector<uint8_t> packed(packedSize);
    compress2(packed.data(), &packedSize, raw.data(), uLong(raw.size()), 6);
    packed.resize(packedSize);

    bytes.assign(kSignature, kSignature + 8);
    std::vector<uint8_t> header;
    putU32(header, width);
    putU32(header, height);
    header.insert(header.end(), {8, 6, 0, 0, 0});
    putChunk(bytes, "IHDR", header);
    putChunk(bytes, "IDAT", packed);
    putChunk(bytes, "IEND", {});
}

CError* CPngFile::decode(const std::vector<uint8_t>& bytes, CBitmap& bitmap) {
    if (bytes.size() < 8 || std::memcmp(bytes.data(), kSignature, 8) != 0) return formatError("signature");
    uint32_t width = 0, height = 0, channels = 0;
    std::vector<uint8_t> packed;
    bool ended = false;
    for (size_t at = 8; !ended;) {
        if (bytes.size() - at < 12) return formatError("truncated chunk");
        const uint32_t length = getU32(&bytes[at]);
        if (length > bytes.size() - at - 12) return formatError("chunk length");
        const uint8_t* type = &bytes[at + 4];
        const uint8_t* data = &bytes[at + 8];
        if (getU32(data + length) != uint32_t(crc32(0, type, length + 4))) return formatError("checksum");
        if (std::memcmp(type, "IHDR", 4) == 0) {
            if (length != 13) return formatError("header");
            width = getU32(data);
            height = getU32(data + 4);
            if (data[8] != 8 || (data[9] != 6 && data[9] != 2) || data[10] || data[11] || data[12])
                return formatError("pixel format");
            channels = data[9] == 6 ? 4 : 3;
            if (width == 0 || height == 0 || width > 8192 || height > 8192) return formatError("size");
        } else if (std::memcmp(type, "IDAT", 4) == 0) {
            packed.insert(packed.end(), data, data + length);
        } else if (std::memcmp(type, "IEND", 4) == 0) {
            ended = true;
        }
        at += 12 + size_t(length);
    }
    if (!channels) return formatError("no header");
    const size_t stride = size_t(width) * channels;
    std::vector<uint8_t> raw(size_t(height) * (stride + 1));
    uLongf rawSize = uLongf(raw.size());
    if (uncompress(raw.data(), &rawSize, packed.data(), uLong(packed.size())) != Z_OK ||
        rawSize != raw.size())
        return formatError("pixel data");

    bitmap.resize(int32_t(width), int32_t(height));
    std::vector<uint8_t> previous(stride, 0);
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* line = &raw[size_t(y) * (stride + 1)];
        const uint8_t filter = line[0];
        uint8_t* cur = line + 1;
        for (size_t i = 0; i < stride; ++i) {
            const int a = i >= channels ? cur[i - channels] : 0, b = previous[i];
            const int c = i >= channels ? previous[i - channels] : 0;
            switch (filter) {
            case 0:
                break;
            case 1:
                cur[i] = uint8_t(cur[i] + a);
                break;
            case 2:
                cur[i] = uint8_t(cur[i] + b);
                break;
            case 3:
                cur[i] = uint8_t(cur[i] + (a + b) / 2);
                break;
            case 4:
                cur[i] = uint8_t(cur[i] + paeth(a, b, c));
                break;
            default:
                return formatError("row filter");
            }
        }
        uint32_t* out = bitmap.row(int32_t(y));
        for (uint32_t x = 0; x < width; ++x) {
            const uint8_t* p = cur + size_t(x) * channels;
            const uint8_t alpha = channels == 4 ? p[3] : 255;
            out[x] = CColor{p[0], p[1], p[2], alpha}.premultiplied();
        }
        std::memcpy(previous.data(), cur, stride);
    }
    return nullptr;
}

CError* CPngFile::write(const CString& path, const CBitmap& bitmap) {
    std::vector<uint8_t> bytes;
    encode(bitmap, bytes);
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.toUtf8().c_str(), "wb"), std::fclose);
    if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size())
        return QEL_ERROR({}, "@qelstr_CPngFile_write_WriteError Unable to write picture '%1' (error %2).",
                         path, errno);
    return nullptr;
}

CError* CPngFile::read(const CString& path, CBitmap& bitmap) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.toUtf8().c_str(), "rb"), std::fclose);
    if (!file)
        return QEL_ERROR({}, "@qelstr_CPngFile_read_OpenError Unable to open picture '%1' (error %2).", path,
                         errno);
    std::vector<uint8_t> bytes;
    uint8_t buffer[65536];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0;)
        bytes.insert(bytes.end(), buffer, buffer + n);
    CError* error = decode(bytes, bitmap);
    return error ? QEL_PASS_CTX(error, path) : nullptr;
}

} // namespace qel
