#include "Other/CColor.h"

#include <string>

namespace qel {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

bool CColor::parse(const CString& text) {
    const std::string s = text.toUtf8();
    if ((s.size() != 7 && s.size() != 9) || s[0] != '#') return false;
    uint8_t bytes[4] = {0, 0, 0, 255};
    for (size_t i = 1, n = 0; i < s.size(); i += 2, ++n) {
        const int hi = hexDigit(s[i]), lo = hexDigit(s[i + 1]);
        if (hi < 0 || lo < 0) return false;
        bytes[n] = uint8_t(hi * 16 + lo);
    }
    *this = {bytes[0], bytes[1], bytes[2], bytes[3]};
    return true;
}

uint32_t CColor::premultiplied() const {
    auto mul = [this](uint8_t c) { return uint32_t((c * a + 127) / 255); };
    return uint32_t(a) << 24 | mul(r) << 16 | mul(g) << 8 | mul(b);
}

} // namespace qel
