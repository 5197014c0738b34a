#include "Core/CString.h"

#include <cassert>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace qel {

namespace {

bool isSpace(uint32_t c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// Case folding for ASCII and the Latin-1 letters (the multiplication and division signs are not letters).
uint32_t foldLower(uint32_t c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 32;
    return c;
}

uint32_t foldUpper(uint32_t c) {
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 32;
    return c;
}

} // namespace

CString::CString(const char* text) : CString(text, text ? std::strlen(text) : 0) {}

CString::CString(const char* text, size_t length) {
    m_in8[0] = 0;
    append(text, length);
}

CString::CString(const char16_t* text) {
    m_in8[0] = 0;
    size_t length = 0;
    if (text)
        while (text[length])
            ++length;
    *this = CString(text, length);
}

CString::CString(const char16_t* text, size_t length) {
    m_in8[0] = 0;
    bool needsWide = false;
    for (size_t i = 0; i < length && !needsWide; ++i)
        needsWide = text[i] >= 256;
    if (needsWide) widen();
    reserve(length);
    for (size_t i = 0; i < length; ++i) {
        if (m_wide)
            m_data16()[i] = text[i];
        else
            m_data8()[i] = char(text[i]);
    }
    truncate(length);
}

CString::CString(const CString& other) {
    m_in8[0] = 0;
    assign(other);
}

CString::CString(CString&& other) noexcept {
    takeFrom(other);
}

CString::~CString() {
    freeHeap();
}

CString& CString::operator=(const CString& other) {
    if (this != &other) assign(other);
    return *this;
}

CString& CString::operator=(CString&& other) noexcept {
    if (this != &other) {
        freeHeap();
        takeFrom(other);
    }
    return *this;
}

void CString::freeHeap() {
    if (!isInline()) ::operator delete(m_data);
    m_data = m_in8;
}

void CString::takeFrom(CString& other) noexcept {
    m_wide = other.m_wide;
    m_length = other.m_length;
    m_capacity = other.m_capacity;
    if (other.isInline()) {
        std::memcpy(m_in8, other.m_in8, kInlineBytes);
        m_data = m_in8;
    } else {
        m_data = other.m_data;
    }
    other.m_data = other.m_in8;
    other.m_wide = false;
    other.m_length = 0;
    other.m_capacity = kInlineBytes - 1;
    other.m_in8[0] = 0;
}

void CString::assign(const CString& other) {
    clear();
    if (other.m_wide) widen();
    reserve(other.m_length);
    size_t bytes = (other.m_length + 1) * (m_wide ? 2 : 1);
    std::memcpy(m_data, other.m_data, bytes);
    m_length = other.m_length;
}

void CString::clear() {
    freeHeap();
    m_wide = false;
    m_length = 0;
    m_capacity = kInlineBytes - 1;
    m_in8[0] = 0;
}

void CString::grow(size_t characters) {
    size_t capacity = m_capacity;
    while (capacity < characters)
        capacity = capacity * 2 + 1;
    size_t unit = m_wide ? 2 : 1;
    void* data = ::operator new((capacity + 1) * unit);
    std::memcpy(data, m_data, (m_length + 1) * unit);
    freeHeap();
    m_data = data;
    m_capacity = uint32_t(capacity);
}

void CString::reserve(size_t characters) {
    if (characters > m_capacity) grow(characters);
}

void CString::widen() {
    if (m_wide) return;
    size_t capacity = m_length < kInlineBytes / 2 ? kInlineBytes / 2 - 1 : m_capacity;
    char16_t* wide = capacity == kInlineBytes / 2 - 1
                         ? nullptr
                         : static_cast<char16_t*>(::operator new((capacity + 1) * 2));
    char16_t staging[kInlineBytes / 2];
    char16_t* target = wide ? wide : staging;
    for (size_t i = 0; i <= m_length; ++i)
        target[i] = uint8_t(m_data8()[i]);
    freeHeap();
    if (wide) {
        m_data = wide;
    } else {
        std::memcpy(m_in16, staging, sizeof(staging));
        m_data = m_in8;
    }
    m_capacity = uint32_t(capacity);
    m_wide = true;
}

void CString::truncate(size_t length) {
    assert(length <= m_capacity);
    m_length = uint32_t(length);
    if (m_wide)
        m_data16()[length] = 0;
    else
        m_data8()[length] = 0;
}

const char* CString::c8() const {
    assert(!m_wide);
    return m_data8();
}

const char16_t* CString::c16() const {
    assert(m_wide);
    return m_data16();
}

CString& CString::append(const CString& other) {
    if (other.m_wide && !m_wide) widen();
    size_t start = m_length;
    reserve(start + other.m_length);
    if (m_wide == other.m_wide) {
        std::memcpy(static_cast<char*>(m_data) + start * (m_wide ? 2 : 1), other.m_data,
                    other.m_length * (m_wide ? 2 : 1));
    } else {
        for (size_t i = 0; i < other.m_length; ++i)
            m_data16()[start + i] = uint8_t(other.m_data8()[i]);
    }
    truncate(start + other.m_length);
    return *this;
}

CString& CString::append(const char* text, size_t length) {
    size_t start = m_length;
    reserve(start + length);
    if (m_wide) {
        for (size_t i = 0; i < length; ++i)
            m_data16()[start + i] = uint8_t(text[i]);
    } else if (length) {
        std::memcpy(m_data8() + start, text, length);
    }
    truncate(start + length);
    return *this;
}

CString& CString::append(const char* text) {
    return append(text, text ? std::strlen(text) : 0);
}

CString& CString::appendChar(uint32_t codePoint) {
    if (codePoint >= 0x10000 && codePoint <= 0x10FFFF) {
        codePoint -= 0x10000;
        appendChar(0xD800 + (codePoint >> 10));
        return appendChar(0xDC00 + (codePoint & 0x3FF));
    }
    if (codePoint > 0xFFFF) codePoint = 0xFFFD;
    if (codePoint >= 256) widen();
    reserve(m_length + 1);
    if (m_wide)
        m_data16()[m_length] = char16_t(codePoint);
    else
        m_data8()[m_length] = char(codePoint);
    truncate(m_length + 1);
    return *this;
}

CString CString::fromUtf8(std::string_view utf8) {
    CString result;
    result.reserve(utf8.size());
    const auto* p = reinterpret_cast<const uint8_t*>(utf8.data());
    const auto* end = p + utf8.size();
    while (p < end) {
        uint32_t lead = *p++;
        int extra;
        if (lead < 0x80) {
            result.appendChar(lead);
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            lead &= 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            lead &= 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3;
            lead &= 0x07;
        } else {
            continue; // stray continuation byte or 11111xxx
        }
        if (end - p < extra) break;
        for (int i = 0; i < extra; ++i)
            lead = (lead << 6) | (*p++ & 0x3F);
        result.appendChar(lead);
    }
    return result;
}

void CString::appendUtf8To(std::string& out) const {
    for (size_t i = 0; i < m_length; ++i) {
        uint32_t c = at(i);
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < m_length && at(i + 1) >= 0xDC00 && at(i + 1) < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (at(i + 1) - 0xDC00);
            ++i;
        }
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
}

std::string CString::toUtf8() const {
    std::string out;
    out.reserve(m_length);
    appendUtf8To(out);
    return out;
}

int CString::compare(const CString& other) const {
    size_t n = m_length < other.m_length ? m_length : other.m_length;
    if (!m_wide && !other.m_wide) {
        int r = std::memcmp(m_data, other.m_data, n);
        if (r) return r < 0 ? -1 : 1;
    } else {
        for (size_t i = 0; i < n; ++i) {
            uint32_t a = at(i), b = other.at(i);
            if (a != b) return a < b ? -1 : 1;
        }
    }
    return m_length == other.m_length ? 0 : (m_length < other.m_length ? -1 : 1);
}

int CString::compareNoCase(const CString& other) const {
    size_t n = m_length < other.m_length ? m_length : other.m_length;
    for (size_t i = 0; i < n; ++i) {
        uint32_t a = foldLower(at(i)), b = foldLower(other.at(i));
        if (a != b) return a < b ? -1 : 1;
    }
    return m_length == other.m_length ? 0 : (m_length < other.m_length ? -1 : 1);
}

bool CString::startsWith(const CString& prefix) const {
    if (prefix.m_length > m_length) return false;
    for (size_t i = 0; i < prefix.m_length; ++i)
        if (at(i) != prefix.at(i)) return false;
    return true;
}

bool CString::endsWith(const CString& suffix) const {
    if (suffix.m_length > m_length) return false;
    size_t offset = m_length - suffix.m_length;
    for (size_t i = 0; i < suffix.m_length; ++i)
        if (at(offset + i) != suffix.at(i)) return false;
    return true;
}

size_t CString::find(uint32_t character, size_t from) const {
    for (size_t i = from; i < m_length; ++i)
        if (at(i) == character) return i;
    return npos;
}

size_t CString::find(const CString& needle, size_t from) const {
    if (needle.m_length == 0) return from <= m_length ? from : npos;
    for (size_t i = from; i + needle.m_length <= m_length; ++i) {
        size_t j = 0;
        while (j < needle.m_length && at(i + j) == needle.at(j))
            ++j;
        if (j == needle.m_length) return i;
    }
    return npos;
}

size_t CString::rfind(uint32_t character) const {
    for (size_t i = m_length; i-- > 0;)
        if (at(i) == character) return i;
    return npos;
}

CString CString::substr(size_t position, size_t count) const {
    if (position >= m_length) return CString();
    if (count > m_length - position) count = m_length - position;
    if (m_wide) return CString(m_data16() + position, count);
    return CString(m_data8() + position, count);
}

std::vector<CString> CString::split(uint32_t separator) const {
    std::vector<CString> pieces;
    size_t start = 0;
    while (start <= m_length) {
        size_t end = find(separator, start);
        if (end == npos) end = m_length;
        if (end > start) pieces.push_back(substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

CString CString::trimmed() const {
    size_t begin = 0, end = m_length;
    while (begin < end && isSpace(at(begin)))
        ++begin;
    while (end > begin && isSpace(at(end - 1)))
        --end;
    return substr(begin, end - begin);
}

CString CString::toLower() const {
    CString result(*this);
    for (size_t i = 0; i < m_length; ++i) {
        if (m_wide)
            result.m_data16()[i] = char16_t(foldLower(at(i)));
        else
            result.m_data8()[i] = char(foldLower(at(i)));
    }
    return result;
}

CString CString::toUpper() const {
    CString result(*this);
    for (size_t i = 0; i < m_length; ++i) {
        uint32_t c = foldUpper(at(i));
        if (m_wide)
            result.m_data16()[i] = char16_t(c);
        else
            result.m_data8()[i] = char(c);
    }
    return result;
}

CString CString::fromInt(int64_t value) {
    char buffer[24];
    int n = std::snprintf(buffer, sizeof(buffer), "%lld", static_cast<long long>(value));
    return CString(buffer, size_t(n));
}

CString CString::fromUInt(uint64_t value) {
    char buffer[24];
    int n = std::snprintf(buffer, sizeof(buffer), "%llu", static_cast<unsigned long long>(value));
    return CString(buffer, size_t(n));
}

CString CString::fromDouble(double value, int decimals) {
    if (std::isfinite(value)) {
        // printf rounds half to even on the binary value; round half away from zero on the decimal scale.
        double scale = std::pow(10.0, decimals);
        double scaled = std::round(value * scale);
        if (std::fabs(scaled) < 9e15) value = scaled / scale;
        if (value == 0) value = 0; // no "-0.0000"
    }
    return format("%.*f", decimals, value);
}

CString CString::format(const char* printfFormat, ...) {
    char stackBuffer[256];
    va_list args;
    va_start(args, printfFormat);
    int n = std::vsnprintf(stackBuffer, sizeof(stackBuffer), printfFormat, args);
    va_end(args);
    if (n < 0) return CString();
    if (size_t(n) < sizeof(stackBuffer)) return CString(stackBuffer, size_t(n));
    std::string big(size_t(n) + 1, '\0');
    va_start(args, printfFormat);
    std::vsnprintf(big.data(), big.size(), printfFormat, args);
    va_end(args);
    return CString(big.data(), size_t(n));
}

bool CString::parseInt64(int64_t& out) const {
    size_t i = 0;
    bool negative = false;
    if (i < m_length && (at(i) == '-' || at(i) == '+')) negative = at(i++) == '-';
    if (i == m_length) return false;
    uint64_t limit = negative ? uint64_t(INT64_MAX) + 1 : uint64_t(INT64_MAX);
    uint64_t value = 0;
    for (; i < m_length; ++i) {
        uint32_t c = at(i);
        if (c < '0' || c > '9') return false;
        if (value > (limit - (c - '0')) / 10) return false;
        value = value * 10 + (c - '0');
    }
    out = negative ? int64_t(0 - value) : int64_t(value);
    return true;
}

bool CString::parseInt32(int32_t& out) const {
    int64_t value;
    if (!parseInt64(value) || value < INT32_MIN || value > INT32_MAX) return false;
    out = int32_t(value);
    return true;
}

bool CString::parseDouble(double& out) const {
    if (m_length == 0 || m_length > 256 || isSpace(at(0))) return false;
    char buffer[260];
    for (size_t i = 0; i < m_length; ++i) {
        uint32_t c = at(i);
        if (c >= 128 || c == 0) return false;
        buffer[i] = char(c);
    }
    buffer[m_length] = 0;
    char* end = nullptr;
    errno = 0;
    double value = std::strtod(buffer, &end);
    if (end != buffer + m_length) return false;
    out = value;
    return true;
}

size_t CString::hash() const {
    // FNV-1a over characters, so that equal strings of either width hash alike.
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 0; i < m_length; ++i) {
        h ^= at(i);
        h *= 1099511628211ull;
    }
    return size_t(h);
}

} // namespace qel
