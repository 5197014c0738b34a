#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "Core/CObject.h"

namespace qel {

class CAudioProcessBase;

// How several links arriving at one input port are combined.
enum class EInputCombo { Sum, Average, Max };

// What every process definition declares: stacking, smooth updates, bypass state, input combining,
// and the parameter renames of its script.
class CAudioProcessDefBase : public CObject {
public:
    CError* init() override;
    // A new run-time process of this definition's kind.
    virtual std::unique_ptr<CAudioProcessBase> createProcess() const = 0;

    bool isStacked() const { return m_isStacked; }
    const CString& stackParam() const { return m_stackParam; }
    int32_t stackIndexShift() const { return m_stackIndexShift; }
    bool isMultiband() const { return m_isMultiband; }
    bool isSmoothUpdate() const { return m_isSmoothUpdate; }
    bool isPrototype() const { return m_isPrototype; }
    bool isOutOfOrder() const { return m_isOutOfOrder; }
    int32_t bypassStateId() const { return m_bypassStateId; }
    EInputCombo inputCombo() const { return m_inputCombo; }
    // Seconds of the cross-fade of smooth updates; never below 0.0001.
    double xfadeLength() const { return m_xfadeLength; }
    // Renames of parameter names relative to this process: its "script", then its
    // "audio:param-remap" children.
    std::vector<std::pair<CString, CString>> remaps() const;

private:
    bool m_isStacked = false;
    CString m_stackParam;
    int32_t m_stackIndexShift = 0;
    bool m_isMultiband = false;
    bool m_isSmoothUpdate = false;
    bool m_isPrototype = false;
    bool m_isOutOfOrder = false;
    int32_t m_bypassStateId = -1;
    EInputCombo m_inputCombo = EInputCombo::Sum;
    double m_xfadeLength = 0.0001;
    std::vector<std::pair<CString, CString>> m_scriptRemaps;
};

} // namespace qel
