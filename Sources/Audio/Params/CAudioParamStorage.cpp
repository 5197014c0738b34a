#include "Audio/Params/CAudioParamStorage.h"

#include <algorithm>
#include <set>

#include "Audio/Converters/CAudioParamConverter.h"
#include "Audio/Params/CAudioParamInfo.h"

namespace qel {

namespace {

constexpr int32_t kVersion = 1;
// Values are read in steps, so a forged element count fails at the end of the data, not in allocation.
constexpr int64_t kReadStep = 4096;

CError* countError(int32_t count) {
    return QEL_ERROR({}, "@qelstr_CAudioParamStorage_load_CountError Invalid count %1 in storage data.",
                     count);
}

CError* parseError() {
    return QEL_ERROR({}, "@qelstr_CAudioParamStorage_parseDefValues_Error Default values parsing error.");
}

} // namespace

void CAudioParamStorage::initShape(const CAudioParamInfo& info) {
    setShape(info.elementSize, info.dataType, info.isSingleGroup, info.isSingleElement);
    m_hasData = true;
    m_groups.clear();
    m_pool.clear();
    m_fallback.clear();
}

void CAudioParamStorage::setShape(int32_t elementSize, int32_t dataType, bool isSingleGroup,
                                  bool isSingleElement) {
    m_elementSize = std::max(elementSize, 1);
    m_dataType = dataType;
    m_isSingleGroup = isSingleGroup;
    m_isSingleElement = isSingleElement;
}

void CAudioParamStorage::copyFrom(const CAudioParamStorage& other) {
    if (&other == this) return;
    setShape(other.m_elementSize, other.m_dataType, other.m_isSingleGroup, other.m_isSingleElement);
    m_hasData = other.m_hasData;
    m_pool.copyFrom(other.m_pool);
    m_groups = other.m_groups;
    m_fallback = other.m_fallback;
}

void CAudioParamStorage::clearGroups() {
    m_groups.clear();
}

int32_t CAudioParamStorage::elementCount(int32_t group) const {
    if (group < 0 || group >= groupCount()) return 0;
    return int32_t(m_groups[size_t(group)].size() / size_t(m_elementSize));
}

const double* CAudioParamStorage::groupValues(int32_t group) const {
    if (group < 0 || group >= groupCount()) return nullptr;
    return m_groups[size_t(group)].data();
}

double CAudioParamStorage::getValue(int32_t group, int32_t index, double fallback) const {
    if (!m_hasData) return fallback;
    // One value set serves every channel group.
    if (m_isSingleGroup && group != kCommonGroup) group = 0;
    if (group >= 0 && group < groupCount() && index >= 0 && size_t(index) < m_groups[size_t(group)].size())
        return m_groups[size_t(group)][size_t(index)];
    if (index >= 0 && size_t(index) < m_fallback.size()) return m_fallback[size_t(index)];
    return m_fallback.empty() ? fallback : m_fallback[0];
}

bool CAudioParamStorage::hasValue(int32_t group, int32_t index) const {
    if (!m_hasData || index < 0) return false;
    if (m_isSingleGroup && group != kCommonGroup) group = 0;
    if (group >= 0 && group < groupCount() && size_t(index) < m_groups[size_t(group)].size()) return true;
    return size_t(index) < m_fallback.size();
}

std::vector<double>& CAudioParamStorage::groupForWrite(int32_t group) {
    if (group >= groupCount()) m_groups.resize(size_t(group) + 1);
    return m_groups[size_t(group)];
}

void CAudioParamStorage::setValue(int32_t group, int32_t element, int32_t position, double value) {
    if (group < 0 || element < 0 || position < 0 || position >= m_elementSize) return;
    size_t index = size_t(element) * size_t(m_elementSize) + size_t(position);
    size_t needed = (size_t(element) + 1) * size_t(m_elementSize);
    if (group == kCommonGroup) {
        if (m_fallback.size() < needed) m_fallback.resize(needed, 0.0);
        m_fallback[index] = value;
        return;
    }
    std::vector<double>& values = groupForWrite(group);
    if (values.size() < needed) values.resize(needed, 0.0);
    values[index] = value;
}

void CAudioParamStorage::setElementCount(int32_t group, int32_t count) {
    if (group < 0 || count < 0 || group == kCommonGroup) return;
    groupForWrite(group).resize(size_t(count) * size_t(m_elementSize), 0.0);
}

void CAudioParamStorage::clamp(const CAudioParamInfo& info) {
    size_t positions = std::min(info.minValues.size(), info.maxValues.size());
    for (std::vector<double>& values : m_groups)
        for (size_t i = 0; i < values.size(); ++i) {
            size_t k = i % size_t(m_elementSize);
            if (k >= positions) continue;
            double lo = std::min(info.minValues[k], info.maxValues[k]);
            double hi = std::max(info.minValues[k], info.maxValues[k]);
            // Written so that a NaN read from damaged data ends at the lower limit too.
            if (!(values[i] >= lo))
                values[i] = lo;
            else if (values[i] > hi)
                values[i] = hi;
        }
}

const std::vector<double>& CAudioParamStorage::savedValues(int32_t group) const {
    static const std::vector<double> none;
    if (group == kCommonGroup) return m_fallback;
    if (group < 0 || group >= groupCount()) return none;
    return m_groups[size_t(group)];
}

CError* CAudioParamStorage::save(COutputStream& stream, int32_t group) const {
    std::vector<int32_t> groups;
    if (group == -1)
        for (int32_t g = 0; g < groupCount(); ++g)
            groups.push_back(g);
    else
        groups.push_back(group);

    QEL_CHECK(stream.writeValue(kVersion));
    QEL_CHECK(stream.writeValue(m_elementSize));
    QEL_CHECK(stream.writeValue(m_dataType));
    QEL_CHECK(stream.writeValue(int32_t(groups.size())));
    if (m_dataType == CAudioParamInfo::Float) {
        for (int32_t g : groups) {
            const std::vector<double>& values = savedValues(g);
            // Whole elements only: a fallback set from outside may end inside one.
            size_t elements = values.size() / size_t(m_elementSize);
            QEL_CHECK(stream.writeValue(int32_t(elements)));
            if (elements)
                QEL_CHECK(stream.write(values.data(), uint32_t(elements * size_t(m_elementSize) * 8)));
        }
        return nullptr;
    }
    // The block carries its own pool, numbered in the order the values reference the items.
    CAudioParamData written;
    std::vector<std::vector<int32_t>> indices;
    for (int32_t g : groups) {
        const std::vector<double>& values = savedValues(g);
        indices.emplace_back();
        for (size_t i = 0; i < values.size() / size_t(m_elementSize) * size_t(m_elementSize); ++i)
            indices.back().push_back(written.copyItem(m_pool, CAudioParamData::indexOfValue(values[i])));
    }
    QEL_CHECK(written.save(stream));
    for (const std::vector<int32_t>& groupIndices : indices) {
        QEL_CHECK(stream.writeValue(int32_t(groupIndices.size() / size_t(m_elementSize))));
        for (int32_t index : groupIndices)
            QEL_CHECK(stream.writeValue(index));
    }
    return nullptr;
}

void CAudioParamStorage::releaseReferencedItems() {
    // Items the fallback refers to stay: missing groups still read them.
    std::set<int32_t> kept;
    for (double value : m_fallback)
        kept.insert(CAudioParamData::indexOfValue(value));
    for (const std::vector<double>& values : m_groups)
        for (double value : values) {
            int32_t index = CAudioParamData::indexOfValue(value);
            if (!kept.count(index)) m_pool.release(index);
        }
}

CError* CAudioParamStorage::load(CInputStream& stream) {
    int32_t version = 0, elementSize = 0, dataType = 0, groups = 0;
    QEL_CHECK(stream.readValue(version));
    if (version != kVersion)
        return QEL_ERROR({}, "qelstr_CAudioParamStorage_load_VersionError Unsupported data set version %1.",
                         version);
    QEL_CHECK(stream.readValue(elementSize));
    QEL_CHECK(stream.readValue(dataType));
    if (elementSize != m_elementSize || dataType != m_dataType)
        return QEL_ERROR({},
                         "@qelstr_CAudioParamStorage_load_FormatError Unsupported storage format (esize=%1, "
                         "dtype=%2; should be: esize=%3, dtype=%4).",
                         elementSize, dataType, m_elementSize, m_dataType);
    QEL_CHECK(stream.readValue(groups));
    if (groups < 0) return countError(groups);
    m_hasData = true;
    if (m_dataType != CAudioParamInfo::Float) releaseReferencedItems();
    m_groups.clear();
    if (m_dataType == CAudioParamInfo::Float)
        QEL_CHECK(loadGroupsFloat(stream, groups));
    else
        QEL_CHECK(loadGroupsIndexed(stream, groups));
    return nullptr;
}

CError* CAudioParamStorage::loadGroupsFloat(CInputStream& stream, int32_t groupCount) {
    for (int32_t g = 0; g < groupCount; ++g) {
        int32_t elements = 0;
        QEL_CHECK(stream.readValue(elements));
        if (elements < 0) return countError(elements);
        int64_t total = int64_t(elements) * m_elementSize;
        std::vector<double> values;
        while (int64_t(values.size()) < total) {
            size_t done = values.size();
            int64_t step = std::min(kReadStep, total - int64_t(done));
            values.resize(done + size_t(step));
            QEL_CHECK(stream.read(values.data() + done, uint32_t(step * 8)));
        }
        m_groups.push_back(std::move(values));
    }
    return nullptr;
}

CError* CAudioParamStorage::loadGroupsIndexed(CInputStream& stream, int32_t groupCount) {
    CAudioParamData read;
    QEL_CHECK(read.load(stream));
    for (int32_t g = 0; g < groupCount; ++g) {
        int32_t elements = 0;
        QEL_CHECK(stream.readValue(elements));
        if (elements < 0) return countError(elements);
        int64_t total = int64_t(elements) * m_elementSize;
        std::vector<double> values;
        for (int64_t i = 0; i < total; ++i) {
            int32_t index = 0;
            if (CError* error = stream.readValue(index)) {
                for (double value : values)
                    m_pool.release(int32_t(value));
                return QEL_PASS(error);
            }
            values.push_back(double(m_pool.copyItem(read, index)));
        }
        m_groups.push_back(std::move(values));
    }
    return nullptr;
}

CError* CAudioParamStorage::storeDefValue(const CString& token, const CAudioParamInfo& info, int32_t group,
                                          int32_t element, int32_t position) {
    double value = 0;
    switch (m_dataType) {
    case CAudioParamInfo::Float: {
        const CAudioParamConverter* converter = info.converter(position);
        bool ok = false;
        if (converter) value = converter->textToValue(info, position, token, &ok);
        if (!ok) return parseError();
        break;
    }
    case CAudioParamInfo::String:
        value = m_pool.addString(token);
        break;
    default:
        value = m_pool.addRaw();
    }
    setValue(group, element, position, value);
    return nullptr;
}

CError* CAudioParamStorage::parseDefValues(const CString& text, const CAudioParamInfo& info) {
    initShape(info);
    int32_t group = 0, element = 0, position = 0;
    size_t start = 0;
    for (size_t pos = 0; pos <= text.length(); ++pos) {
        uint32_t c = pos == text.length() ? ';' : text.at(pos);
        bool isSeparator = c == ';' || c == ',' || (c == ' ' && m_elementSize >= 2);
        if (!isSeparator) continue;
        if (pos == start || position >= m_elementSize) return parseError();
        QEL_CHECK(storeDefValue(text.substr(start, pos - start), info, group, element, position));
        if (c != ' ' && position != m_elementSize - 1)
            return QEL_ERROR(
                {},
                "@qelstr_CAudioParamStorage_parseDefValues_NoElements Not enough default elements at pos %1.",
                pos);
        if (c == ' ') {
            ++position;
        } else if (c == ',') {
            ++element;
            position = 0;
        } else {
            ++group;
            element = 0;
            position = 0;
        }
        start = pos + 1;
    }
    m_fallback = m_groups.empty() ? std::vector<double>() : m_groups[0];
    return nullptr;
}

} // namespace qel
