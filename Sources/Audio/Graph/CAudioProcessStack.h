#pragma once

#include <memory>
#include <vector>

#include "Audio/Graph/CAudioProcessBase.h"
#include "Audio/Graph/CAudioProcessBoundary.h"
#include "Audio/Params/CAudioParamWatch.h"

namespace qel {

// One copy of a process per stack element, in series: copy i reads its parameters at stack index i
// (plus the definition's shift); input 0 runs through the copies, other inputs reach every copy.
class CAudioProcessStack : public CAudioProcessBase {
public:
    ~CAudioProcessStack() override;

    CError* init(const CAudioProcessDefBase& def, SAudioProcessEnv& env, const CString& name,
                 CAudioProcess* parent, int32_t stackIndex) override;
    void reset() override;
    void applyParamUpdates() override;
    void exchangeGraphs() override;
    void buildGraphs() override;
    void process() override;
    CError* prepare(const SAudioFormat& format) override;
    SAudioFormat outputFormat(const SAudioFormat& input) const override;
    int64_t outputLatency(int64_t inputLatency) const override;

    int32_t copyCount() const { return m_count; }
    CAudioProcessBase* copy(int32_t index) const { return m_copies[size_t(index)].get(); }

private:
    int32_t wantedCount() const;
    CError* resize(int32_t count);
    void wire();

    std::vector<std::unique_ptr<CAudioProcessBase>> m_copies;
    int32_t m_count = 0;
    CAudioParamWatch m_countParam;
    std::unique_ptr<CAudioProcessBoundary> m_sink;
};

} // namespace qel
