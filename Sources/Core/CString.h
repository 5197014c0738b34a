#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qel {

// The framework string: each string holds either 8-bit characters (Latin-1 code units) or 16-bit
// characters (UTF-16 code units) and switches to 16-bit only when a character needs it. Short strings
// live in an inline buffer. Comparisons work character by character across both widths.
class CString {
public:
    CString() noexcept { m_in8[0] = 0; }
    CString(const char* text);
    CString(const char* text, size_t length);
    CString(std::string_view text) : CString(text.data(), text.size()) {}
    CString(const char16_t* text);
    CString(const char16_t* text, size_t length);
    CString(std::u16string_view text) : CString(text.data(), text.size()) {}
    CString(const CString& other);
    CString(CString&& other) noexcept;
    ~CString();

    CString& operator=(const CString& other);
    CString& operator=(CString&& other) noexcept;

    static CString fromUtf8(std::string_view utf8);
    std::string toUtf8() const;
    void appendUtf8To(std::string& out) const;

    size_t length() const { return m_length; }
    bool isEmpty() const { return m_length == 0; }
    bool isWide() const { return m_wide; }
    // Character (code unit) at index; no bounds check beyond debug assertions.
    uint32_t at(size_t index) const { return m_wide ? m_data16()[index] : uint8_t(m_data8()[index]); }
    // Terminated character arrays; only the one matching the width is valid.
    const char* c8() const;
    const char16_t* c16() const;

    void clear();
    void reserve(size_t characters);
    void widen();
    void truncate(size_t length);

    CString& append(const CString& other);
    CString& append(const char* text, size_t length);
    CString& append(const char* text);
    CString& append(std::string_view text) { return append(text.data(), text.size()); }
    // Appends one code point; code points above U+FFFF become a surrogate pair.
    CString& appendChar(uint32_t codePoint);
    CString& operator+=(const CString& other) { return append(other); }
    CString& operator+=(const char* text) { return append(text); }
    CString& operator+=(char c) { return appendChar(uint8_t(c)); }

    int compare(const CString& other) const;
    int compareNoCase(const CString& other) const;
    bool equalsNoCase(const CString& other) const { return compareNoCase(other) == 0; }
    bool startsWith(const CString& prefix) const;
    bool endsWith(const CString& suffix) const;

    static constexpr size_t npos = size_t(-1);
    size_t find(uint32_t character, size_t from = 0) const;
    size_t find(const CString& needle, size_t from = 0) const;
    size_t rfind(uint32_t character) const;
    CString substr(size_t position, size_t count = npos) const;

    // Pieces between separators, empty pieces dropped.
    std::vector<CString> split(uint32_t separator) const;
    CString trimmed() const;
    CString toLower() const;
    CString toUpper() const;

    static CString fromInt(int64_t value);
    static CString fromUInt(uint64_t value);
    // Fixed-point decimal text with the given number of decimals, rounded half away from zero.
    static CString fromDouble(double value, int decimals);
    static CString format(const char* printfFormat, ...) __attribute__((format(printf, 1, 2)));
    // Whole-string decimal parses: an optional sign then digits; nothing else, no overflow.
    bool parseInt32(int32_t& out) const;
    bool parseInt64(int64_t& out) const;
    bool parseDouble(double& out) const;

    size_t hash() const;

    friend bool operator==(const CString& a, const CString& b) { return a.compare(b) == 0; }
    friend bool operator==(const CString& a, const char* b) { return a.compare(CString(b)) == 0; }
    friend std::strong_ordering operator<=>(const CString& a, const CString& b) { return a.compare(b) <=> 0; }
    friend CString operator+(CString a, const CString& b) { return std::move(a.append(b)); }
    friend CString operator+(CString a, const char* b) { return std::move(a.append(b)); }

private:
    static constexpr size_t kInlineBytes = 32;

    char* m_data8() { return static_cast<char*>(m_data); }
    const char* m_data8() const { return static_cast<const char*>(m_data); }
    char16_t* m_data16() { return static_cast<char16_t*>(m_data); }
    const char16_t* m_data16() const { return static_cast<const char16_t*>(m_data); }
    bool isInline() const { return m_data == m_in8; }
    size_t inlineCapacity() const { return (m_wide ? kInlineBytes / 2 : kInlineBytes) - 1; }
    void grow(size_t characters);
    void assign(const CString& other);
    void takeFrom(CString& other) noexcept;
    void freeHeap();

    union {
        char m_in8[kInlineBytes];
        char16_t m_in16[kInlineBytes / 2];
    };
    void* m_data = m_in8;
    uint32_t m_length = 0;
    uint32_t m_capacity = kInlineBytes - 1; // characters, terminator excluded
    bool m_wide = false;
};

struct CStringHash {
    size_t operator()(const CString& s) const { return s.hash(); }
};

struct CStringLessNoCase {
    bool operator()(const CString& a, const CString& b) const { return a.compareNoCase(b) < 0; }
};

} // namespace qel
