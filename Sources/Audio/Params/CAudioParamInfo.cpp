#include "Audio/Params/CAudioParamInfo.h"

#include "Audio/Params/CAudioPresetBank.h"

#include "Audio/Converters/CAudioParamConverter.h"
#include "Core/CMemoryReader.h"
#include "Core/CObject.h"

namespace qel {

namespace {

constexpr int32_t kVersion = 1;
constexpr size_t kShortNameLength = 7;
// Non-float parameters hold pool indices; their range covers every index a pool can hand out.
constexpr double kIndexRangeMax = 8388608.0;

CAudioParamInfo::FAppDataReader g_appDataReader = nullptr;

CError* writeBool(COutputStream& stream, bool value) {
    return stream.writeValue(int32_t(value ? 1 : 0));
}

CError* readBool(CInputStream& stream, bool& value) {
    int32_t raw = 0;
    QEL_CHECK(stream.readValue(raw));
    value = raw != 0;
    return nullptr;
}

// Splits the text at spaces into limits, each read by the converter of its position.
CError* parseLimits(CAudioParamInfo& info, const CString& text, std::vector<double>& limits, bool isMin) {
    std::vector<CString> pieces = text.split(' ');
    if (int64_t(pieces.size()) < info.elementSize) {
        if (isMin)
            return QEL_ERROR(
                {},
                "@qelstr_CAudioParamInfo_parseMinMaxValues_NotEnoughMin Not enough minimum values "
                "defined %1 (should be %2).",
                pieces.size(), info.elementSize);
        return QEL_ERROR({},
                         "@qelstr_CAudioParamInfo_parseMinMaxValues_NotEnoughMax Not enough maximum values "
                         "defined %1 (should be %2).",
                         pieces.size(), info.elementSize);
    }
    limits.clear();
    for (int32_t k = 0; k < info.elementSize; ++k) {
        const CAudioParamConverter* converter = info.converter(k);
        limits.push_back(converter ? converter->parseLimit(info, k, pieces[size_t(k)], nullptr) : 0.0);
    }
    return nullptr;
}

} // namespace

void CAudioParamInfo::setAppDataReader(FAppDataReader reader) {
    g_appDataReader = reader;
}

int32_t CAudioParamInfo::parseDataType(const CString& text) {
    if (text == "string" || text == "str" || text == "1") return String;
    if (text == "raw") return Raw;
    return Float;
}

double CAudioParamInfo::minValue(int32_t position) const {
    return position >= 0 && size_t(position) < minValues.size() ? minValues[size_t(position)] : 0.0;
}

double CAudioParamInfo::maxValue(int32_t position) const {
    return position >= 0 && size_t(position) < maxValues.size() ? maxValues[size_t(position)] : 0.0;
}

const CAudioParamConverter* CAudioParamInfo::converter(int32_t position) const {
    return position >= 0 && size_t(position) < converters.size() ? converters[size_t(position)] : nullptr;
}

CError* CAudioParamInfo::parseConverterNames(CObject* context) {
    converters.clear();
    if (!context) context = CObject::sharedObject();
    for (const CString& path : converterNames) {
        if (path.isEmpty()) break;
        auto* found = context ? dynamic_cast<CAudioParamConverter*>(context->findObject(path)) : nullptr;
        if (!found)
            return QEL_ERROR({},
                             "@qelstr_CAudioParamInfo_parseConverterNames_ConverterNotFound Audio parameter "
                             "converter '%1' not found.",
                             path);
        converters.push_back(found);
    }
    if (int64_t(converters.size()) < elementSize)
        return QEL_ERROR({},
                         "@qelstr_CAudioParamInfo_parseConverterNames_NotEnoughConverters Not enough "
                         "converters defined %1 (should be %2).",
                         converters.size(), elementSize);
    return nullptr;
}

CError* CAudioParamInfo::parseMinMaxValues(const CString& minText, const CString& maxText) {
    if (dataType != Float) {
        minValues.assign(size_t(elementSize), 0.0);
        maxValues.assign(size_t(elementSize), kIndexRangeMax);
        return nullptr;
    }
    QEL_CHECK(parseLimits(*this, minText, minValues, true));
    QEL_CHECK(parseLimits(*this, maxText, maxValues, false));
    // A reversed range is fine; an empty one cannot be normalised.
    for (int32_t k = 0; k < elementSize; ++k)
        if (maxValues[size_t(k)] - minValues[size_t(k)] == 0)
            return QEL_ERROR({},
                             "@qelstr_CAudioParamInfo_parseMinMaxValues_Zero Zero default min-max values "
                             "difference detected in element %1.",
                             k);
    return nullptr;
}

void CAudioParamInfo::addState(const CString& longName, const CString& shortName) {
    stateNames.push_back(longName);
    stateShortNames.push_back(shortName.substr(0, kShortNameLength));
}

CError* CAudioParamInfo::parseStateNames(const CString& text) {
    stateNames.clear();
    stateShortNames.clear();
    if (text.isEmpty()) return nullptr;
    if (text.at(0) == '@') {
        bool global = text.startsWith("@/");
        return readStateNamesEntry(text.substr(global ? 2 : 1), global);
    }
    for (const CString& state : text.split(';')) {
        std::vector<CString> parts = state.split('|');
        CString longName = parts.empty() ? CString() : parts[0].trimmed();
        addState(longName, parts.size() > 1 ? parts[1].trimmed() : longName);
    }
    return nullptr;
}

CError* CAudioParamInfo::readStateNamesEntry(const CString& entryName, bool global) {
    CByteBuffer data;
    if (!g_appDataReader || !g_appDataReader(global, entryName, qelFourCC("alst"), data) || data.empty())
        return QEL_ERROR(
            {}, "@qelstr_CAudioParamInfo_parseStateNames_NoData No state names data available in '%1'.",
            entryName);
    CMemoryReader reader(std::move(data));
    CAudioPresetBank bank;
    bool found = false;
    if (CError* error = CAudioPresetBank::loadFirstOfList(reader, bank, found))
        return QEL_PASS_CTX(error, entryName);
    for (int32_t i = 0; i < bank.presetCount(); ++i) {
        // The own part of a preset name lists the long and the short state name.
        std::vector<CString> pieces = bank.preset(i)->ownName().split(';');
        CString longName = pieces.empty() ? CString() : pieces[0].trimmed();
        addState(longName, pieces.size() > 1 ? pieces[1].trimmed() : longName);
    }
    return nullptr;
}

CError* CAudioParamInfo::save(COutputStream& stream) const {
    QEL_CHECK(stream.writeValue(kVersion));
    QEL_CHECK(writeBool(stream, isGlobal));
    QEL_CHECK(writeBool(stream, isStorable));
    QEL_CHECK(writeBool(stream, isPersistent));
    QEL_CHECK(stream.writeString(visualName));
    QEL_CHECK(stream.writeString(name));
    QEL_CHECK(stream.writeString(registryName));
    QEL_CHECK(stream.writeValue(elementSize));
    QEL_CHECK(stream.writeValue(dataType));
    QEL_CHECK(writeBool(stream, isSingleGroup));
    QEL_CHECK(writeBool(stream, isSingleElement));
    for (int32_t k = 0; k < elementSize; ++k) {
        QEL_CHECK(
            stream.writeString(size_t(k) < converterNames.size() ? converterNames[size_t(k)] : CString()));
        QEL_CHECK(stream.writeValue(minValue(k)));
        QEL_CHECK(stream.writeValue(maxValue(k)));
    }
    QEL_CHECK(stream.writeValue(int32_t(stateNames.size())));
    for (size_t i = 0; i < stateNames.size(); ++i) {
        QEL_CHECK(stream.writeString(stateNames[i]));
        QEL_CHECK(stream.writeString(i < stateShortNames.size() ? stateShortNames[i] : CString()));
    }
    QEL_CHECK(defaults.save(stream, -1));
    return nullptr;
}

CError* CAudioParamInfo::load(CInputStream& stream, CObject* context) {
    int32_t version = 0;
    QEL_CHECK(stream.readValue(version));
    if (version != kVersion)
        return QEL_ERROR({}, "@qelstr_CAudioParamInfo_load_VersionError Unsupported data set version %1.",
                         version);
    QEL_CHECK(readBool(stream, isGlobal));
    QEL_CHECK(readBool(stream, isStorable));
    QEL_CHECK(readBool(stream, isPersistent));
    QEL_CHECK(stream.readString(visualName));
    QEL_CHECK(stream.readString(name));
    QEL_CHECK(stream.readString(registryName));
    QEL_CHECK(stream.readValue(elementSize));
    QEL_CHECK(stream.readValue(dataType));
    // Everything after this point relies on a valid shape.
    if (elementSize < 1 || dataType < Float || dataType > Raw || (dataType != Float && elementSize != 1))
        return QEL_ERROR(
            {}, "@qelstr_CAudioParamInfo_load_FormatError Unsupported parameter format (esize=%1, dtype=%2).",
            elementSize, dataType);
    QEL_CHECK(readBool(stream, isSingleGroup));
    QEL_CHECK(readBool(stream, isSingleElement));
    converterNames.clear();
    minValues.clear();
    maxValues.clear();
    for (int32_t k = 0; k < elementSize; ++k) {
        CString path;
        double minimum = 0, maximum = 0;
        QEL_CHECK(stream.readString(path));
        QEL_CHECK(stream.readValue(minimum));
        QEL_CHECK(stream.readValue(maximum));
        converterNames.push_back(path);
        minValues.push_back(minimum);
        maxValues.push_back(maximum);
    }
    int32_t stateCount = 0;
    QEL_CHECK(stream.readValue(stateCount));
    if (stateCount < 0)
        return QEL_ERROR({}, "@qelstr_CAudioParamInfo_load_StateCountError Invalid state count %1.",
                         stateCount);
    stateNames.clear();
    stateShortNames.clear();
    for (int32_t i = 0; i < stateCount; ++i) {
        CString longName, shortName;
        QEL_CHECK(stream.readString(longName));
        QEL_CHECK(stream.readString(shortName));
        stateNames.push_back(longName);
        stateShortNames.push_back(shortName);
    }
    defaults.initShape(*this);
    QEL_CHECK(defaults.load(stream));
    QEL_CHECK(parseConverterNames(context));
    const double* group0 = defaults.groupValues(0);
    flatDefaults.assign(group0, group0 ? group0 + defaults.elementCount(0) * elementSize : group0);
    defaults.setFallback(flatDefaults);
    return nullptr;
}

} // namespace qel
