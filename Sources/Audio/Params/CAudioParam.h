#pragma once

#include <cstdint>
#include <vector>

#include "Audio/Params/CAudioParamStorage.h"
#include "Audio/Params/SAudioParamChange.h"
#include "Core/CString.h"
#include "Core/Platform/CCriticalSection.h"

namespace qel {

class CAudioParamCollector;
class CAudioParamChangeList;
class CAudioParamFilter;
class CAudioParamInfo;
class CAudioParamRegistry;

// A process's interest in a parameter: which changes raise its flag and set its group bits.
struct SAudioParamSubscription {
    int32_t groupFilter = -1;   // -1: any group
    int32_t elementFilter = -1; // -1: any element
    bool* changed = nullptr;
    uint32_t* groupMask = nullptr;
};

// One run-time parameter, made by the collector under its full dotted name. Holds the live values,
// the copy the audio thread reads and the values a reset restores.
class CAudioParam : public CCheckedObject {
public:
    // The access protocol: registers the access with the collector and takes the parameter's lock
    // (one lock for all parameters of a collector, so filters that read and write several parameters
    // can never wait on each other);
    // the outermost release delivers the collector's deferred notifications. Built from an outer
    // access it does nothing, so nested operations never lock twice.
    class CAccess {
    public:
        CAccess(CAudioParam& param, const CAccess* outer);
        ~CAccess();
        CAccess(const CAccess&) = delete;
        CAccess& operator=(const CAccess&) = delete;

    private:
        CAudioParam* m_param = nullptr;
    };

    CAudioParam(CAudioParamCollector& collector, const CString& name);

    const CString& name() const { return m_name; }
    CAudioParamCollector& collector() const { return m_collector; }
    // Null until a registry resolved the definition.
    const CAudioParamInfo* info() const { return m_info; }
    CCriticalSection& lock() const;

    // Attaches a definition's description; values and reset values start from its defaults. Does
    // nothing when the description has the same name and shape as the one attached.
    void attachInfo(const CAudioParamInfo& info, CAudioParamRegistry* selectedRegistry);
    CAudioParamRegistry* selectedRegistry() const { return m_selectedRegistry; }

    // Reading, as a storage reads (missing groups and indices fall back to the common value).
    double getValue(int32_t group, int32_t index, double fallback, const CAccess* outer = nullptr) const;
    // String parameters: the text of the item the value holds; empty otherwise.
    CString getText(int32_t group, int32_t index, const CAccess* outer = nullptr) const;
    int32_t elementCount(int32_t group, const CAccess* outer = nullptr) const;
    // The live values; read under the parameter's lock.
    const CAudioParamStorage& values() const { return m_values; }
    const CAudioParamStorage& resetValues() const { return m_resetValues; }

    // The one path of every change. collected, when given, receives the audio-side entry instead of
    // the collector's pending list; record, when given, keeps the values before and after.
    void applyChange(const SAudioParamChange& change, const CAccess* outer = nullptr,
                     CAudioParamChangeList* collected = nullptr, CAudioParamChangeRecord* record = nullptr);
    // Convenience for one float value: changes the element holding it.
    void setValue(int32_t group, int32_t element, int32_t position, double value, const void* cause = nullptr,
                  const CAccess* outer = nullptr);
    // Restores the reset values: every group (group -1), or elements of one group.
    void reset(int32_t group, int32_t firstElement = 0, int32_t elementCount = -1,
               const void* cause = nullptr, const CAccess* outer = nullptr,
               CAudioParamChangeRecord* record = nullptr);

    void addFilter(CAudioParamFilter* filter);
    void removeFilter(CAudioParamFilter* filter);
    const std::vector<CAudioParamFilter*>& filters() const { return m_filters; }

    // Audio thread only.
    const CAudioParamStorage& audioValues() const { return m_audioValues; }
    void subscribe(const SAudioParamSubscription& subscription);
    void unsubscribe(bool* changed);
    // Writes one handed-over entry to the audio values and raises the matching subscriptions.
    void applyAudioChange(int32_t group, int32_t firstElement, int32_t elementCount, const double* values,
                          const CAudioParamData* pool);

private:
    void fillMissingElements(int32_t group, int32_t firstElement, const CAccess* outer);
    void writeValues(CAudioParamStorage& storage, const SAudioParamChange& change);

    CAudioParamCollector& m_collector;
    const CAudioParamInfo* m_info = nullptr;
    CString m_name;
    CAudioParamStorage m_values;
    CAudioParamStorage m_resetValues;
    CAudioParamStorage m_audioValues;
    std::vector<SAudioParamSubscription> m_subscriptions;
    std::vector<CAudioParamFilter*> m_filters;
    CAudioParamRegistry* m_selectedRegistry = nullptr;
    bool m_audioGroupMirrorsCommon = false;
};

} // namespace qel
