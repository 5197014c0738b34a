#include "Audio/ParamFilters/CAudioParamFilter.h"

#include <algorithm>
#include <cmath>

#include "Audio/Params/CAudioParamCollector.h"
#include "Audio/Params/CAudioParamInfo.h"

namespace qel {

namespace {

int32_t elementSizeOf(const CAudioParam& param) {
    return std::max(param.values().elementSize(), 1);
}

// Elements the group holds; the common group holds what its fallback array holds.
int32_t elementsIn(const CAudioParam& param, int32_t group) {
    if (group != CAudioParamStorage::kCommonGroup) return param.values().elementCount(group);
    return int32_t(param.values().fallback().size()) / elementSizeOf(param);
}

} // namespace

CAudioParamFilter::~CAudioParamFilter() {
    detach();
}

CError* CAudioParamFilter::init(const CAudioParamFilterDef& def, CAudioParamCollector& collector,
                                const std::vector<CString>& sourceNames,
                                const std::vector<CString>& destinationNames) {
    m_def = &def;
    m_collector = &collector;
    if (sourceNames.size() < minSources())
        return QEL_ERROR(
            CString(),
            "@qelstr_CAudioParamFilter_init_NotEnoughSrcParams Not enough source parameters %1 defined "
            "in the param filter (required %2).",
            sourceNames.size(), minSources());
    if (sourceNames.size() > kMaxParams)
        return QEL_ERROR(
            CString(),
            "@qelstr_CAudioParamFilter_init_TooManySrcParams Too many source parameters %1 defined in "
            "the param filter.",
            sourceNames.size());
    if (destinationNames.size() < minDestinations())
        return QEL_ERROR(
            CString(),
            "@qelstr_CAudioParamFilter_init_NotEnoughDstParams Not enough destination parameters %1 "
            "defined in the param filter (required %2).",
            destinationNames.size(), minDestinations());
    if (destinationNames.size() > kMaxParams)
        return QEL_ERROR(
            CString(),
            "@qelstr_CAudioParamFilter_init_TooManyDstParams Too many destination parameters %1 defined "
            "in the param filter.",
            destinationNames.size());
    m_sources.clear();
    m_destinations.clear();
    for (const CString& name : sourceNames)
        m_sources.push_back(collector.getParam(name));
    for (const CString& name : destinationNames)
        m_destinations.push_back(collector.getParam(name));
    return nullptr;
}

void CAudioParamFilter::attach() {
    if (m_attached || m_sources.empty()) return;
    // One lock guards every parameter of the collector: holding it for a source holds them all.
    CAudioParam::CAccess access(*m_sources.front(), nullptr);
    m_attached = true;
    for (CAudioParam* source : m_sources) {
        source->addFilter(this);
        // The destinations are right from the start: feed the common value, then every group.
        const int32_t size = elementSizeOf(*source);
        auto feed = [&](int32_t group, int32_t count) {
            if (count <= 0) return;
            std::vector<double> values(size_t(count) * size_t(size));
            for (size_t i = 0; i < values.size(); ++i)
                values[i] = source->values().getValue(group, int32_t(i), 0.0);
            SAudioParamChange change;
            change.group = group;
            change.elementCount = count;
            change.values = values.data();
            change.pool = &source->values().pool();
            onSourceChange(*source, change, nullptr);
        };
        feed(CAudioParamStorage::kCommonGroup,
             std::max(elementsIn(*source, CAudioParamStorage::kCommonGroup), 1));
        for (int32_t group = 0; group < source->values().groupCount(); ++group)
            feed(group, source->values().elementCount(group));
    }
}

void CAudioParamFilter::detach() {
    if (!m_attached) return;
    m_attached = false;
    for (CAudioParam* source : m_sources)
        source->removeFilter(this);
}

void CAudioParamFilter::onSourceChange(CAudioParam&, const SAudioParamChange& change,
                                       const CAudioParam::CAccess*) {
    runPerElement(change.group, change.firstElement, change.elementCount, change.cause);
}

void CAudioParamFilter::compute(int32_t, int32_t, std::vector<double>&) {}

void CAudioParamFilter::runPerElement(int32_t group, int32_t firstElement, int32_t elementCount,
                                      const void* cause) {
    CAudioParam::CAccess access(*m_sources.front(), nullptr);
    const int32_t readGroup = group == CAudioParamStorage::kCommonGroup ? 0 : group;
    int32_t end = firstElement + elementCount;
    for (CAudioParam* source : m_sources)
        if (!source->info() || !source->info()->isSingleElement)
            end = std::max(end, elementsIn(*source, group));
    if (end <= firstElement) return;

    const size_t count = size_t(end - firstElement);
    std::vector<std::vector<double>> written(m_destinations.size());
    for (size_t d = 0; d < m_destinations.size(); ++d) {
        const CAudioParam& destination = *m_destinations[d];
        const int32_t size = elementSizeOf(destination);
        written[d].resize(count * size_t(size));
        for (size_t i = 0; i < written[d].size(); ++i)
            written[d][i] =
                destination.values().getValue(group, int32_t(size_t(firstElement * size) + i), 0.0);
    }
    std::vector<double> results;
    for (int32_t e = firstElement; e < end; ++e) {
        results.assign(m_destinations.size(), NAN);
        compute(readGroup, e, results);
        for (size_t d = 0; d < m_destinations.size(); ++d)
            if (!std::isnan(results[d]))
                written[d][size_t(e - firstElement) * size_t(elementSizeOf(*m_destinations[d]))] = results[d];
    }
    for (size_t d = 0; d < m_destinations.size(); ++d) {
        SAudioParamChange change;
        change.group = group;
        change.firstElement = firstElement;
        change.elementCount = int32_t(count);
        change.values = written[d].data();
        change.cause = cause;
        m_destinations[d]->applyChange(change);
    }
}

} // namespace qel
