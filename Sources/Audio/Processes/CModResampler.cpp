#include "Audio/Processes/CModResampler.h"

#include <cmath>

#include "Audio/Params/CAudioParam.h"
#include "Audio/Params/CAudioParamCollector.h"
#include "Audio/Processes/CModFilterFIR.h"
#include "Core/CObject.h"

namespace qel {

CError* CModResamplerDef::init() {
    QEL_CHECK(CAudioProcessDefBase::init());
    m_isUpsampler = getAttrBool("is-upsampler");
    return nullptr;
}

CModResampler::~CModResampler() {
    reset();
}

CError* CModResampler::init(const CAudioProcessDefBase& def, SAudioProcessEnv& env, const CString& name,
                            CAudioProcess* parent, int32_t stackIndex) {
    QEL_CHECK(CAudioProcessBase::init(def, env, name, parent, stackIndex));
    const auto* resampler = dynamic_cast<const CModResamplerDef*>(&def);
    m_isUpsampler = resampler && resampler->isUpsampler();
    m_sink = std::make_unique<CAudioProcessBoundary>(env);
    m_mode.attach(env.collector->getParam(resolveParamName("mode")));
    m_hostMode.attach(env.collector->getParam(resolveParamName("host-mode")));
    m_wanted = wantedStages();
    return setStages(m_wanted);
}

// Slot values are read from group 0: every channel runs at one rate.
int32_t CModResampler::wantedStages() const {
    auto read = [](const CAudioParamWatch& slot, double unattached) {
        return int32_t(std::round(slot.value(0, 0, unattached)));
    };
    const int32_t mode = read(m_mode, 1.0);
    const int32_t stages = mode == 0 ? read(m_hostMode, 0.0) : mode - 1;
    return std::max(stages, 0);
}

CError* CModResampler::make(const char* defPath, const char* name, std::unique_ptr<CAudioProcessBase>& made) {
    CAudioProcessDefBase* def = nullptr;
    QEL_CHECK(const_cast<CAudioProcessDefBase*>(m_def)->findObjectChecked(defPath, def));
    made = def->createProcess();
    return made->init(*def, *m_env, m_name + "." + name, m_parent, m_stackIndex);
}

CError* CModResampler::setStages(int32_t count) {
    auto& list = m_list;
    while (int32_t(list.size()) > 2 * count) {
        if (m_isUpsampler)
            list.erase(list.end() - 2, list.end());
        else
            list.erase(list.begin(), list.begin() + 2);
    }
    while (int32_t(list.size()) < 2 * count) {
        const bool first = list.empty();
        std::unique_ptr<CAudioProcessBase> rate, filter;
        if (m_isUpsampler) {
            QEL_CHECK(make(kInterpolator, "modInterpInterp", rate));
            QEL_CHECK(make(first ? kUpSteep : kSoft, "modFilter", filter));
            list.push_back(std::move(rate));
            list.push_back(std::move(filter));
        } else {
            QEL_CHECK(make(kDecimator, "modInterpDecim", rate));
            QEL_CHECK(make(first ? kDownSteep : kSoft, "modFilter", filter));
            list.insert(list.begin(), std::move(rate));
            list.insert(list.begin(), std::move(filter));
        }
    }
    wire();
    return nullptr;
}

void CModResampler::wire() {
    for (auto& process : m_list)
        process->clearDestinations();
    for (size_t i = 0; i + 1 < m_list.size(); ++i)
        m_list[i]->addDestination(0, m_list[i + 1].get(), 0);
    if (!m_list.empty()) m_list.back()->addDestination(0, m_sink.get(), 0);
}

std::vector<CString> CModResampler::listNames() const {
    std::vector<CString> names;
    for (const auto& process : m_list)
        names.push_back(process->shortName());
    return names;
}

CError* CModResampler::prepare(const SAudioFormat& format) {
    if (m_wanted != stageCount()) QEL_CHECK(setStages(m_wanted));
    QEL_CHECK(CAudioProcessBase::prepare(format));
    SAudioFormat current = format;
    for (auto& process : m_list) {
        QEL_CHECK(process->prepare(current));
        current = process->outputFormat(current);
    }
    m_sink->setFormat(current);
    QEL_CHECK(m_sink->prepare(current));
    preparePolyphase();
    return nullptr;
}

void CModResampler::preparePolyphase() {
    m_interpolators.clear();
    m_decimators.clear();
    std::vector<std::shared_ptr<const CPolyphaseKernels>> kernels;
    for (int32_t stage = 0; stage < stageCount(); ++stage) {
        auto* filter =
            dynamic_cast<CModFilterFIR*>(m_list[size_t(2 * stage + (m_isUpsampler ? 1 : 0))].get());
        if (!filter || !filter->isFixed() || !filter->kernelFor(0)) return;
        // The interpolator's gain of 2 goes into the phases.
        kernels.push_back(std::make_shared<const CPolyphaseKernels>(
            filter->taps().data(), filter->taps().size(), m_isUpsampler ? 2.0 : 1.0));
    }
    const size_t channels = size_t(std::max(m_format.channelCount, 0));
    for (const auto& stageKernels : kernels) {
        if (m_isUpsampler) {
            auto& stage = m_interpolators.emplace_back();
            for (size_t c = 0; c < channels; ++c)
                stage.emplace_back(std::make_unique<CPolyphaseInterpolator>())->setKernels(stageKernels);
        } else {
            auto& stage = m_decimators.emplace_back();
            for (size_t c = 0; c < channels; ++c)
                stage.emplace_back(std::make_unique<CPolyphaseDecimator>())->setKernels(stageKernels);
        }
    }
}

SAudioFormat CModResampler::outputFormat(const SAudioFormat& input) const {
    SAudioFormat format = input;
    for (const auto& process : m_list)
        format = process->outputFormat(format);
    return format;
}

int64_t CModResampler::outputLatency(int64_t inputLatency) const {
    for (const auto& process : m_list)
        inputLatency = process->outputLatency(inputLatency);
    return inputLatency;
}

void CModResampler::reset() {
    CAudioProcessBase::reset();
    for (auto& process : m_list)
        process->reset();
    for (auto& stage : m_interpolators)
        for (auto& channel : stage)
            channel->reset();
    for (auto& stage : m_decimators)
        for (auto& channel : stage)
            channel->reset();
    if (m_sink) m_sink->reset();
}

void CModResampler::applyParamUpdates() {
    uint32_t groups = 0;
    const bool modeChanged = m_mode.takeChange(groups);
    if (m_hostMode.takeChange(groups) || modeChanged) {
        m_wanted = wantedStages();
        m_formatChanged = m_formatChanged || m_wanted != stageCount();
    }
    for (auto& process : m_list)
        process->applyParamUpdates();
}

bool CModResampler::takeFormatChange() {
    const bool changed = m_formatChanged;
    m_formatChanged = false;
    return changed;
}

void CModResampler::process() {
    if (m_list.empty()) {
        passThrough();
        return;
    }
    if (!m_interpolators.empty() || !m_decimators.empty()) {
        processPolyphase();
        return;
    }
    for (int32_t channel = 0; channel < m_format.channelCount; ++channel)
        m_list.front()->receive(0, channel, gather(0, channel));
    releaseInputs();
    for (auto& process : m_list)
        process->run();
    for (int32_t channel = 0; channel < m_format.channelCount; ++channel)
        deliver(0, channel, m_sink->take(0, channel));
    m_sink->drop();
}

void CModResampler::processPolyphase() {
    for (int32_t channel = 0; channel < m_format.channelCount; ++channel) {
        SAudioBlock* block = gather(0, channel);
        if (!block) continue;
        const size_t c = size_t(channel);
        for (auto& stage : m_interpolators) {
            SAudioBlock* out = m_env->pool->take(block->length * 2);
            stage[c]->process(block->samples(), out->samples(), block->length);
            CAudioBlockPool::release(block);
            block = out;
        }
        for (auto& stage : m_decimators) {
            SAudioBlock* out = m_env->pool->take(block->length / 2);
            stage[c]->process(block->samples(), out->samples(), out->length);
            CAudioBlockPool::release(block);
            block = out;
        }
        deliver(0, channel, block);
    }
    releaseInputs();
}

} // namespace qel
