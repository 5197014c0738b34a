#include "Audio/Processes/CModFilterFIR.h"

#include <cmath>

#include "Audio/DSP/CConvolutionKernel.h"
#include "Audio/Filters/CAudioFilterFIRGen.h"
#include "Audio/Filters/CAudioFilterGenArray.h"
#include "Core/CDebugLog.h"

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
    const CString path = def.getAttr("gen-array");
    CObject* found = path.isEmpty() ? nullptr : const_cast<CAudioProcessDefBase&>(def).findObject(path);
    m_array = dynamic_cast<const CAudioFilterGenArray*>(found);
    if (!m_array) {
        const std::string text = path.toUtf8();
        CDebugLog::writeLine(CString::format("The 'gen-array' '%s' not found.", text.c_str()), name);
    }
    m_slotNames = {kIndexSlot, kFixedRateSlot};
    if (m_array) m_array->listSlots(m_slotNames);
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

std::shared_ptr<const CConvolutionKernel> CModFilterFIR::kernelFor(int32_t channel) {
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
    m_delay = 0;
    const CAudioFilterFIRGen* generator = CAudioFilterFIRGen::select(*m_array, params);
    std::vector<double> taps;
    int32_t delay = 0;
    if (!generator || !generator->generateKernel(params, rate, fixedRate, taps, delay)) return nullptr;
    m_delay = delay;
    m_lastKernel = std::make_shared<CConvolutionKernel>(taps.data(), taps.size());
    return m_lastKernel;
}

void CModFilterFIRModule::registerParams() {
    const auto& names = static_cast<CModFilterFIR*>(m_terminal)->slotNames();
    for (int32_t index = 0; index < int32_t(names.size()); ++index)
        if (!m_terminal->isSlotRegistered(index)) m_terminal->registerSlot(index, names[size_t(index)]);
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
    const double c = std::cos(M_PI / m_fadeLength);
    m_e = 0.5;
    m_ePrev = 0.5 * c;
    m_k = 2.0 * c;
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
    for (uint32_t i = 0; i < length; ++i) {
        if (m_fadeRemaining) {
            const double oldWeight = m_e + 0.5;
            out[i] = oldWeight * out[i] + (1.0 - oldWeight) * m_scratch[i];
            const double e = m_k * m_e - m_ePrev;
            m_ePrev = m_e;
            m_e = e;
            if (--m_fadeRemaining == 0) {
                for (uint32_t j = i + 1; j < length; ++j)
                    out[j] = m_scratch[j];
                std::swap(m_current, m_next);
                break;
            }
        }
    }
}

} // namespace qel
