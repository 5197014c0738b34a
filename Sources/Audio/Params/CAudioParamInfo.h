#pragma once

#include <cstdint>
#include <vector>

#include "Audio/Params/CAudioParamStorage.h"
#include "Core/CInputStream.h"
#include "Core/COutputStream.h"
#include "Core/CString.h"

namespace qel {

class CAudioParamConverter;
class CObject;

// The description of one audio parameter: shape, converters, ranges, state names and defaults. Built
// once by its definition (or read from a stream) and immutable afterwards.
class CAudioParamInfo : public CCheckedObject {
public:
    enum DataType : int32_t { Float = 0, String = 1, Raw = 2 };

    // Reads one entry of the local or the global application data store; false when there is none.
    using FAppDataReader = bool (*)(bool global, const CString& name, uint32_t type, CByteBuffer& data);
    // Installed once at start-up; state names taken from a store need it.
    static void setAppDataReader(FAppDataReader reader);

    static int32_t parseDataType(const CString& text);

    // Resolves converterNames from the context object (the shared object when null).
    CError* parseConverterNames(CObject* context);
    CError* parseMinMaxValues(const CString& minText, const CString& maxText);
    CError* parseStateNames(const CString& text);

    CError* save(COutputStream& stream) const;
    // Converter paths are resolved from the context object (the shared object when null).
    CError* load(CInputStream& stream, CObject* context = nullptr);

    double minValue(int32_t position) const;
    double maxValue(int32_t position) const;
    const CAudioParamConverter* converter(int32_t position) const;

    int32_t elementSize = 1;
    int32_t dataType = Float;
    bool isSingleGroup = false;
    bool isSingleElement = false;
    bool isGlobal = false;
    bool isStorable = false;
    bool isPersistent = false;
    CString visualName;
    CString name;
    CString registryName;
    std::vector<CString> converterNames;
    std::vector<const CAudioParamConverter*> converters;
    std::vector<double> maxValues;
    std::vector<double> minValues;
    std::vector<CString> stateNames;
    std::vector<CString> stateShortNames;
    CAudioParamStorage defaults;
    std::vector<double> flatDefaults;

private:
    CError* readStateNamesEntry(const CString& entryName, bool global);
    void addState(const CString& longName, const CString& shortName);
};

} // namespace qel
