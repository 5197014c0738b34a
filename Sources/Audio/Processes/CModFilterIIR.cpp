#include "Audio/Processes/CModFilterIIR.h"

#include "Audio/Filters/CAudioFilterGenArray.h"
#include "Audio/Filters/CAudioFilterParams.h"
#include "Audio/Processes/FilterGenArrayLookup.h"

namespace qel {

namespace {

// Values of slots without a parameter.
double unattachedValue(const CString& name) {
    if (name == "freq") return 1000.0;
    if (name == "gain" || name == "bw") return 1.0;
    return 0.0;
}

} // namespace

CError* CModFilterIIR::init(const CAudioProcessDefBase& def, SAudioProcessEnv& env, const CString& name,
                            CAudioProcess* parent, int32_t stackIndex) {
    QEL_CHECK(CAudioProcessTerminal<CModFilterIIRModule>::init(def, env, name, parent, stackIndex));
    m_slotNames = {kIndexSlot};
    m_generator = qelFindGenArray(def, name, m_slotNames);
    return nullptr;
}

void CModFilterIIRModule::registerParams() {
    m_terminal->registerSlots(static_cast<CModFilterIIR*>(m_terminal)->slotNames());
}

void CModFilterIIRModule::updateCoefficients() {
    const auto& filter = *static_cast<CModFilterIIR*>(m_terminal);
    if (!filter.generator()) return;
    CAudioFilterParams params;
    params.setType(slot(0, 0.0));
    const auto& names = filter.slotNames();
    for (int32_t index = 1; index < int32_t(names.size()); ++index)
        params.set(names[size_t(index)], slot(index, unattachedValue(names[size_t(index)])));
    CBiquadSectionList sections;
    filter.generator()->generate(params, m_sampleRate, sections);
    const bool smooth = filter.def() && filter.def()->isSmoothUpdate();
    if (!m_designed || !smooth)
        m_cascade.setSections(sections);
    else
        m_cascade.morphTo(sections, int32_t(filter.xfadeSamples()));
    m_designed = true;
}

SAudioBlock* CModFilterIIRModule::forward(SAudioBlock* const* inputs, int32_t) {
    if (static_cast<CModFilterIIR*>(m_terminal)->generator() || !inputs[0]) return nullptr;
    CAudioBlockPool::addRef(inputs[0]);
    return inputs[0];
}

void CModFilterIIRModule::process(SAudioBlock* const* inputs, int32_t, double* out, uint32_t length) {
    if (!inputs[0]) return;
    m_cascade.process(inputs[0]->samples(), out, int32_t(length));
}

} // namespace qel
