#include "Audio/Processes/CModFilterFIR.h"

#include <cmath>

#include "Audio/Filters/CAudioFilterFIRGen.h"
#include "Audio/Filters/CAudioFilterGenArray.h"
#include "Audio/Processes/FilterGenArrayLookup.h"

namespace qel {

namespace {

bool sameValues(const CAudioFilterParams& a, const CAudioFilterParams& b) {
    if (a.type() != b.type() || a.count() != b.count()) return false;
    for (int32_t i = 0; i < a.count(); ++i)
        if (a.name(i) != b.name(i) || a.value(i) != b.value(i)) return false;
    return true;
}

} // namespace

CError* CModFilterFIR::init(const CAudioProcessDefBase& def, SAudioProcessEnv& env, const CString& name,
                            CAudioProcess* parent, int32_t stackIndex) {
    QEL_CHECK(CAudioProcessTerminal<CModFilterFIRModule>::init(def, env, name, parent, stackIndex));
    m_isZeroLatency = def.getAttrBool("is-zero-latency");
    m_slotNames = {kIndexSlot, kFixedRateSlot};
    m_array = qelFindGenArray(def, name, m_slotNames);
    return nullptr;
}

CError* CModFilterFIR::prepare(const SAudioFormat& format) {
    m_designed = false;
    // The kernel (and with it the latency) is known before any block runs.
    QEL_CHECK(CAudioProcessTerminal<CModFilterFIRModule>::prepare(format));
    if (format.channelCount <= 0) kernelFor(0);
    return nullptr;
}

double CModFilterFIR::unattached(const CString& slotName) const {
    double value = 0;
    return m_def && m_def->getAttr(slotName).parseDouble(value) ? value : 0.0;
}

std::shared_ptr<const CPhaseSplitKernel> CModFilterFIR::kernelFor(int32_t channel) {
    if (!m_array) return nullptr;
    CAudioFilterParams params;
    params.setType(slotValue(0, channel, unattached(kIndexSlot)));
    const bool fixedRate = slotValue(1, channel, unattached(kFixedRateSlot)) >= 0.5;
    for (int32_t index = 2; index < int32_t(m_slotNames.size()); ++index)
        params.set(m_slotNames[size_t(index)],
                   slotValue(index, channel, unattached(m_slotNames[size_t(index)])));
    const double rate = m_format.sampleRate;
    if (m_designed && sameValues(params, m_lastParams) && rate == m_lastRate && fixedRate == m_lastFixed)
        return m_lastKernel;

    m_designed = true;
    m_lastParams = params;
    m_lastRate = rate;
    m_lastFixed = fixedRate;
    m_lastKernel.reset();
    m_lastTaps.clear();
    m_delay = 0;
    const CAudioFilterFIRGen* generator = CAudioFilterFIRGen::select(*m_array, params);
    std::vector<double> taps;
    int32_t delay = 0;
    if (!generator || !generator->generateKernel(params, rate, fixedRate, taps, delay)) return nullptr;
    m_delay = delay;
    m_lastKernel = std::make_shared<CPhaseSplitKernel>(taps.data(), taps.size());
    m_lastTaps = std::move(taps);
    return m_lastKernel;
}

// A slot without a parameter gives back the value it is handed for that case.
bool CModFilterFIR::isFixed() const {
    for (int32_t index = 0; index < int32_t(m_slotNames.size()); ++index)
        if (!std::isnan(slotValue(index, 0, NAN))) return false;
    return true;
}

void CModFilterFIRModule::registerParams() {
    m_terminal->registerSlots(static_cast<CModFilterFIR*>(m_terminal)->slotNames());
}

void CModFilterFIRModule::updateCoefficients() {
    auto kernel = static_cast<CModFilterFIR*>(m_terminal)->kernelFor(m_channel);
    if (kernel == m_current.kernel() && m_hasKernel == bool(kernel)) return;
    const bool first = !m_hasKernel && !m_current.kernel();
    m_hasKernel = bool(kernel);
    if (first || !kernel) {
        m_current.setKernel(kernel);
        m_fadeRemaining = 0;
        return;
    }
    // Fade from the running kernel to the new one, both on the same input history.
    m_next.copyHistoryFrom(m_current);
    m_next.setKernel(kernel);
    m_fadeLength = std::max<uint32_t>(m_terminal->xfadeSamples(), 1);
    m_fadeRemaining = m_fadeLength;
    m_fade.start(m_fadeLength);
}

void CModFilterFIRModule::prepare(double sampleRate, uint32_t maxBlockLength) {
    CAudioModule::prepare(sampleRate, maxBlockLength);
    // Cross-fades need a second output; sized here so that the audio thread does not allocate.
    m_scratch.resize(maxBlockLength);
}

void CModFilterFIRModule::reset() {
    if (m_fadeRemaining) {
        std::swap(m_current, m_next);
        m_fadeRemaining = 0;
    }
    m_current.reset();
    m_next.reset();
}

SAudioBlock* CModFilterFIRModule::forward(SAudioBlock* const* inputs, int32_t) {
    if (m_hasKernel || !inputs[0]) return nullptr;
    CAudioBlockPool::addRef(inputs[0]);
    return inputs[0];
}

void CModFilterFIRModule::process(SAudioBlock* const* inputs, int32_t, double* out, uint32_t length) {
    const double* in = inputs[0]->samples();
    if (!m_fadeRemaining) {
        m_current.process(in, out, length);
        return;
    }
    if (m_scratch.size() < length) m_scratch.resize(length);
    m_current.process(in, out, length);
    m_next.process(in, m_scratch.data(), length);
    m_fade.mix(out, m_scratch.data(), length, m_fadeRemaining);
    if (!m_fadeRemaining) std::swap(m_current, m_next);
}

} // namespace qel
