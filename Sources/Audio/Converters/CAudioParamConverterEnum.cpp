#include "Audio/Converters/CAudioParamConverterEnum.h"

namespace qel {

namespace {

constexpr size_t kShortNameLength = 7;

bool findNoCase(const std::vector<CString>& names, const CString& text, int64_t& index) {
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i].equalsNoCase(text)) {
            index = int64_t(i);
            return true;
        }
    return false;
}

} // namespace

CError* CAudioParamConverterEnum::init() {
    QEL_CHECK(CAudioParamConverterRound::init());
    readStateNames();
    return nullptr;
}

void CAudioParamConverterEnum::readStateNames() {
    m_stateNames.clear();
    m_stateShortNames.clear();
    for (const CString& state : getAttr("state-names").split(';')) {
        std::vector<CString> parts = state.split('|');
        CString longName = parts.empty() ? CString() : parts[0];
        m_stateNames.push_back(longName);
        m_stateShortNames.push_back((parts.size() > 1 ? parts[1] : longName).substr(0, kShortNameLength));
    }
}

bool CAudioParamConverterEnum::lookupName(const CAudioParamInfo& info, const CString& text, int64_t base,
                                          int64_t& value) const {
    CString name = text.trimmed();
    CString shortName = name.substr(0, kShortNameLength);
    int64_t index = 0;
    if (findNoCase(m_stateNames, name, index) || findNoCase(info.stateNames, name, index) ||
        findNoCase(m_stateShortNames, shortName, index) ||
        findNoCase(info.stateShortNames, shortName, index)) {
        value = base + index;
        return true;
    }
    return false;
}

double CAudioParamConverterEnum::textToValue(const CAudioParamInfo& info, int32_t position,
                                             const CString& text, bool* ok) const {
    int64_t base = int64_t(roundHalfAway(info.minValue(position)));
    int64_t value = 0;
    bool parsed = parseInteger(text, value) || lookupName(info, text, base, value);
    setOk(ok, parsed);
    return clampToRange(info, position, parsed ? double(value) : double(base));
}

double CAudioParamConverterEnum::parseLimit(const CAudioParamInfo& info, int32_t, const CString& text,
                                            bool* ok) const {
    int64_t value = 0;
    bool parsed = parseInteger(text, value) || lookupName(info, text, 0, value);
    setOk(ok, parsed);
    return parsed ? double(value) : 0.0;
}

void CAudioParamConverterEnum::valueToText(CString& text, const CAudioParamInfo& info, int32_t position,
                                           double value, const CAudioParamData*, int32_t form) const {
    if (m_stateNames.empty() && info.stateNames.empty()) {
        text = formatNumber(value, 0);
        return;
    }
    double index = roundHalfAway(value) - roundHalfAway(info.minValue(position));
    const CString* longName = nullptr;
    const CString* shortName = nullptr;
    if (index >= 0 && index < double(m_stateNames.size())) {
        longName = &m_stateNames[size_t(index)];
        shortName = &m_stateShortNames[size_t(index)];
    } else if (index >= 0 && index < double(info.stateNames.size())) {
        longName = &info.stateNames[size_t(index)];
        shortName =
            size_t(index) < info.stateShortNames.size() ? &info.stateShortNames[size_t(index)] : longName;
    }
    if (!longName) {
        text = form == Compact ? "Rsv" : "Reserve";
        return;
    }
    if (form == Short)
        text = *shortName;
    else if (form == Compact)
        text = shortName->substr(0, 3);
    else
        text = *longName;
}

} // namespace qel
