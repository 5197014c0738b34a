#include "Audio/Graph/CAudioProcessBase.h"

#include <algorithm>

#include "Audio/Graph/CAudioProcess.h"
#include "Audio/Graph/CAudioProcessDefBase.h"

namespace qel {

namespace {

// Links into one port of one channel; reserved so that steady processing never grows the lists.
constexpr size_t kLinksPerPort = 8;
constexpr uint32_t kAlignXfade = 256;

} // namespace

CAudioProcessBase::~CAudioProcessBase() {
    releaseInputs();
}

CError* CAudioProcessBase::init(const CAudioProcessDefBase& def, SAudioProcessEnv& env, const CString& name,
                                CAudioProcess* parent, int32_t stackIndex) {
    m_def = &def;
    m_env = &env;
    m_name = name;
    m_parent = parent;
    m_stackIndex = stackIndex;
    return nullptr;
}

CString CAudioProcessBase::shortName() const {
    const size_t dot = m_name.rfind('.');
    return dot == CString::npos ? m_name : m_name.substr(dot + 1);
}

CString CAudioProcessBase::resolveRelative(CString baseName, CString target) {
    while (target.length() && target.at(0) == '^') {
        const size_t dot = baseName.rfind('.');
        baseName = dot == CString::npos ? CString() : baseName.substr(0, dot);
        target = target.substr(1);
    }
    return baseName.isEmpty() ? target : baseName + "." + target;
}

CString CAudioProcessBase::resolveParamName(const CString& relativeName) const {
    CString relative = relativeName;
    for (const CAudioProcessBase* level = this; level; level = level->m_parent) {
        if (level->m_def)
            for (const auto& [from, to] : level->m_def->remaps())
                if (from == relative) return resolveRelative(level->m_name, to);
        if (!level->m_parent) break;
        relative = level->shortName() + "." + relative;
    }
    return resolveRelative(m_name, relativeName);
}

CError* CAudioProcessBase::prepare(const SAudioFormat& format) {
    // Every process takes input 0 and gives output 0, linked or not.
    ensurePorts(1, 1);
    m_format = format;
    m_blockLength = 0;
    releaseInputs();
    for (SInputPort& port : m_inputs)
        port.channels.resize(size_t(std::max(format.channelCount, 0)));
    for (SInputPort& port : m_inputs)
        for (auto& list : port.channels)
            list.reserve(kLinksPerPort);
    for (int32_t p = 0; p < int32_t(m_inputs.size()); ++p)
        setInputDelay(p, m_inputs[size_t(p)].delay);
    return nullptr;
}

void CAudioProcessBase::reset() {
    releaseInputs();
    for (SInputPort& port : m_inputs)
        for (auto& delay : port.delays)
            delay->reset();
}

void CAudioProcessBase::ensurePorts(int32_t inputs, int32_t outputs) {
    if (int32_t(m_inputs.size()) < inputs) {
        m_inputs.resize(size_t(inputs));
        for (SInputPort& port : m_inputs) {
            port.channels.resize(size_t(std::max(m_format.channelCount, 0)));
            for (auto& list : port.channels)
                list.reserve(kLinksPerPort);
        }
    }
    if (int32_t(m_outputs.size()) < outputs) m_outputs.resize(size_t(outputs));
}

void CAudioProcessBase::reserveDestinations(int32_t outPort, size_t count) {
    ensurePorts(0, outPort + 1);
    m_outputs[size_t(outPort)].reserve(count);
}

void CAudioProcessBase::addDestination(int32_t outPort, CAudioProcessBase* process, int32_t inPort) {
    ensurePorts(0, outPort + 1);
    process->ensurePorts(inPort + 1, 0);
    m_outputs[size_t(outPort)].push_back({process, inPort});
}

void CAudioProcessBase::clearDestinations() {
    for (auto& destinations : m_outputs)
        destinations.clear();
}

bool CAudioProcessBase::hasInput(int32_t port) const {
    if (port < 0 || port >= int32_t(m_inputs.size())) return false;
    for (const auto& list : m_inputs[size_t(port)].channels)
        if (!list.empty()) return true;
    return false;
}

void CAudioProcessBase::setInputDelay(int32_t port, uint32_t samples, bool crossFade) {
    ensurePorts(port + 1, 0);
    SInputPort& input = m_inputs[size_t(port)];
    input.delay = samples;
    if (!samples && input.delays.empty()) return;
    input.delays.resize(input.channels.size());
    for (auto& delay : input.delays) {
        if (!delay) delay = std::make_unique<CDSPModDelay>();
        if (delay->maxDelay() < samples) delay->prepare(samples, kAlignXfade);
        if (crossFade)
            delay->setDelay(samples);
        else
            delay->jumpTo(samples);
    }
}

uint32_t CAudioProcessBase::inputDelay(int32_t port) const {
    return port >= 0 && port < int32_t(m_inputs.size()) ? m_inputs[size_t(port)].delay : 0;
}

void CAudioProcessBase::receive(int32_t port, int32_t channel, SAudioBlock* block) {
    if (!block) return;
    if (port < 0 || port >= int32_t(m_inputs.size()) || channel < 0 ||
        channel >= int32_t(m_inputs[size_t(port)].channels.size())) {
        CAudioBlockPool::release(block);
        return;
    }
    m_inputs[size_t(port)].channels[size_t(channel)].push_back(block);
    m_blockLength = block->length;
}

SAudioBlock* CAudioProcessBase::gather(int32_t port, int32_t channel) {
    if (port < 0 || port >= int32_t(m_inputs.size())) return nullptr;
    SInputPort& input = m_inputs[size_t(port)];
    if (channel < 0 || channel >= int32_t(input.channels.size())) return nullptr;
    const auto& blocks = input.channels[size_t(channel)];
    if (blocks.empty()) return nullptr;

    SAudioBlock* result;
    if (blocks.size() == 1) {
        result = blocks[0];
        CAudioBlockPool::addRef(result);
    } else {
        const uint32_t length = blocks[0]->length;
        result = m_env->pool->take(length);
        double* out = result->samples();
        std::copy(blocks[0]->samples(), blocks[0]->samples() + length, out);
        const EInputCombo combo = m_def ? m_def->inputCombo() : EInputCombo::Sum;
        for (size_t b = 1; b < blocks.size(); ++b) {
            const double* in = blocks[b]->samples();
            const uint32_t n = std::min(length, blocks[b]->length);
            if (combo == EInputCombo::Max)
                for (uint32_t i = 0; i < n; ++i)
                    out[i] = std::max(out[i], in[i]);
            else
                for (uint32_t i = 0; i < n; ++i)
                    out[i] += in[i];
        }
        if (combo == EInputCombo::Average) {
            const double scale = 1.0 / double(blocks.size());
            for (uint32_t i = 0; i < length; ++i)
                out[i] *= scale;
        }
    }
    if (!input.delays.empty() && (input.delay || input.delays[size_t(channel)]->delay())) {
        SAudioBlock* delayed = m_env->pool->take(result->length);
        input.delays[size_t(channel)]->process(result->samples(), delayed->samples(), result->length);
        CAudioBlockPool::release(result);
        result = delayed;
    }
    return result;
}

void CAudioProcessBase::releaseInputs() {
    for (SInputPort& port : m_inputs)
        for (auto& list : port.channels) {
            for (SAudioBlock* block : list)
                CAudioBlockPool::release(block);
            list.clear();
        }
}

void CAudioProcessBase::deliver(int32_t port, int32_t channel, SAudioBlock* block) {
    if (!block) return;
    if (port < 0 || port >= int32_t(m_outputs.size()) || m_outputs[size_t(port)].empty()) {
        CAudioBlockPool::release(block);
        return;
    }
    const auto& destinations = m_outputs[size_t(port)];
    CAudioBlockPool::addRef(block, uint32_t(destinations.size() - 1));
    for (const SDestination& destination : destinations)
        destination.process->receive(destination.port, channel, block);
}

void CAudioProcessBase::passThrough() {
    for (int32_t channel = 0; channel < m_format.channelCount; ++channel)
        deliver(0, channel, gather(0, channel));
    releaseInputs();
}

void CAudioProcessBase::run() {
    if (m_bypassed)
        passThrough();
    else
        process();
}

} // namespace qel
