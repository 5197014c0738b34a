#include "Audio/Converters/CAudioParamConverter.h"

#include <charconv>
#include <cmath>
#include <string>

namespace qel {

namespace {

bool isDigit(uint32_t c) {
    return c >= '0' && c <= '9';
}

int hexDigit(uint32_t c) {
    if (isDigit(c)) return int(c - '0');
    if (c >= 'a' && c <= 'f') return int(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return int(c - 'A' + 10);
    return -1;
}

} // namespace

CError* CAudioParamConverter::initComplete() {
    QEL_CHECK(CObject::initComplete());
    m_label = getAttr("label");
    m_isDiscrete = getAttrBool("is-discrete");
    return nullptr;
}

double CAudioParamConverter::fromNormalized(const CAudioParamInfo& info, int32_t position,
                                            double normalized) const {
    double lo = info.minValue(position), hi = info.maxValue(position);
    return lo + (hi - lo) * normalized;
}

double CAudioParamConverter::toNormalized(const CAudioParamInfo& info, int32_t position, double value) const {
    double lo = info.minValue(position), hi = info.maxValue(position);
    return (value - lo) / (hi - lo);
}

double CAudioParamConverter::normalizedToDisplay(const CAudioParamInfo& info, int32_t position,
                                                 double normalized) const {
    return fromNormalized(info, position, normalized);
}

double CAudioParamConverter::clampToRange(const CAudioParamInfo& info, int32_t position, double value) {
    double a = info.minValue(position), b = info.maxValue(position);
    double lo = a < b ? a : b, hi = a < b ? b : a;
    return value < lo ? lo : value > hi ? hi : value;
}

bool CAudioParamConverter::parseNumber(const CString& text, double& value) {
    size_t n = text.length(), i = 0;
    std::string plain; // the same number in the one form from_chars reads, independent of the locale
    if (i < n && (text.at(i) == '+' || text.at(i) == '-')) {
        if (text.at(i) == '-') plain += '-';
        ++i;
    }
    size_t integerDigits = 0, fractionDigits = 0;
    for (; i < n && isDigit(text.at(i)); ++i, ++integerDigits)
        plain += char(text.at(i));
    size_t lastPartDigits = integerDigits;
    if (i < n && (text.at(i) == '.' || text.at(i) == ',')) {
        plain += '.';
        for (++i; i < n && isDigit(text.at(i)); ++i, ++fractionDigits)
            plain += char(text.at(i));
        lastPartDigits = fractionDigits;
    }
    bool negativeExponent = false;
    if (i < n && (text.at(i) == 'e' || text.at(i) == 'E')) {
        if (integerDigits + fractionDigits == 0) return false;
        plain += 'e';
        ++i;
        if (i < n && (text.at(i) == '+' || text.at(i) == '-')) {
            negativeExponent = text.at(i) == '-';
            if (negativeExponent) plain += '-';
            ++i;
        }
        size_t exponentDigits = 0;
        for (; i < n && isDigit(text.at(i)); ++i, ++exponentDigits)
            plain += char(text.at(i));
        lastPartDigits = exponentDigits;
    }
    if (i != n || lastPartDigits == 0) return false;
    double parsed = 0;
    auto [end, error] = std::from_chars(plain.data(), plain.data() + plain.size(), parsed);
    if (error == std::errc::result_out_of_range) {
        bool negative = plain[0] == '-';
        parsed = negativeExponent ? (negative ? -0.0 : 0.0) : (negative ? -HUGE_VAL : HUGE_VAL);
    } else if (error != std::errc() || end != plain.data() + plain.size()) {
        return false;
    }
    value = parsed;
    return true;
}

bool CAudioParamConverter::parseInteger(const CString& text, int64_t& value) {
    size_t n = text.length(), i = 0;
    bool negative = i < n && text.at(i) == '-';
    if (negative) ++i;
    int base = 10;
    if (i + 1 < n && text.at(i) == '0' && (text.at(i + 1) == 'x' || text.at(i + 1) == 'X')) {
        base = 16;
        i += 2;
    } else if (i < n && (text.at(i) == '#' || text.at(i) == '$')) {
        base = 16;
        ++i;
    }
    if (i == n) return false;
    uint64_t magnitude = 0;
    for (; i < n; ++i) {
        int digit = base == 16 ? hexDigit(text.at(i)) : isDigit(text.at(i)) ? int(text.at(i) - '0') : -1;
        if (digit < 0) return false;
        if (magnitude > (uint64_t(INT64_MAX) - uint64_t(digit)) / uint64_t(base)) return false;
        magnitude = magnitude * uint64_t(base) + uint64_t(digit);
    }
    value = negative ? -int64_t(magnitude) : int64_t(magnitude);
    return true;
}

double CAudioParamConverter::roundHalfAway(double value) {
    return value >= 0 ? std::floor(value + 0.5) : -std::floor(0.5 - value);
}

CString CAudioParamConverter::formatNumber(double value, int32_t decimals) {
    if (decimals < 0) decimals = 0;
    double scaled = roundHalfAway(value * std::pow(10.0, decimals));
    // Beyond the 64-bit integers (and for infinities) the plain printf form is the best there is.
    if (!(std::fabs(scaled) < 9.2e18)) return CString::format("%.*f", int(decimals), value);
    int64_t integer = int64_t(scaled);
    CString digits = CString::fromUInt(integer < 0 ? uint64_t(0) - uint64_t(integer) : uint64_t(integer));
    CString text = integer < 0 ? CString("-") : CString();
    if (decimals == 0) return text + digits;
    // At least one digit stands before the point.
    for (size_t length = digits.length(); length <= size_t(decimals); ++length)
        text += '0';
    text += digits;
    text = text.substr(0, text.length() - size_t(decimals)) + "." +
           text.substr(text.length() - size_t(decimals));
    return text;
}

} // namespace qel
