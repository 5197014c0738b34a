#pragma once

#include <cstdint>
#include <vector>

#include "Audio/Params/CAudioParam.h"
#include "Core/CError.h"

namespace qel {

class CAudioParamCollector;
class CAudioParamFilterDef;

// Derives destination parameters from source parameters whenever a source changes.
class CAudioParamFilter : public CCheckedObject {
public:
    static constexpr size_t kMaxParams = 9;

    ~CAudioParamFilter() override;

    // Checks the counts and finds or makes every named parameter in the collector.
    virtual CError* init(const CAudioParamFilterDef& def, CAudioParamCollector& collector,
                         const std::vector<CString>& sourceNames,
                         const std::vector<CString>& destinationNames);
    virtual size_t minSources() const = 0;
    virtual size_t minDestinations() const = 0;
    // A source changed; runs inside that source's lock (access).
    virtual void onSourceChange(CAudioParam& source, const SAudioParamChange& change,
                                const CAudioParam::CAccess* access);

    // Joins every source and computes the destinations from the current values.
    void attach();
    void detach();
    bool isAttached() const { return m_attached; }

    const std::vector<CAudioParam*>& sources() const { return m_sources; }
    const std::vector<CAudioParam*>& destinations() const { return m_destinations; }

protected:
    // One value per destination for element e of group g; the base fills what it leaves out.
    virtual void compute(int32_t group, int32_t element, std::vector<double>& results);

    const CAudioParamFilterDef* m_def = nullptr;
    CAudioParamCollector* m_collector = nullptr;

private:
    void runPerElement(int32_t group, int32_t firstElement, int32_t elementCount, const void* cause);

    bool m_attached = false;
    std::vector<CAudioParam*> m_sources;
    std::vector<CAudioParam*> m_destinations;
};

} // namespace qel
