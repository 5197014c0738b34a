#include "Audio/Graph/CAudioProcess.h"

#include <algorithm>

#include "Audio/Graph/CAudioProcessBypassStateDef.h"
#include "Audio/Graph/CAudioProcessDef.h"
#include "Audio/Graph/CAudioProcessLinkDef.h"
#include "Audio/Graph/CAudioProcessStack.h"
#include "Audio/ParamFilters/CAudioParamFilter.h"
#include "Audio/ParamFilters/CAudioParamFilterDef.h"
#include "Audio/Params/CAudioParam.h"
#include "Audio/Params/CAudioParamCollector.h"
#include "Core/CDebugLog.h"

namespace qel {

namespace {

// Seconds over which new children take over from old ones.
constexpr double kSwitchFade = 0.015;
// Seconds for recursive filters to forget that their input started at the switch: nine time constants
// of the slowest in the product, a 7 Hz high-pass.
constexpr double kSwitchSettle = 0.2;

} // namespace

CAudioProcess::CAudioProcess() = default;

CAudioProcess::~CAudioProcess() {
    // Children hand blocks to each other and to the boundaries; release them all before any goes.
    reset();
}

CError* CAudioProcess::init(const CAudioProcessDefBase& def, SAudioProcessEnv& env, const CString& name,
                            CAudioProcess* parent, int32_t stackIndex) {
    QEL_CHECK(CAudioProcessBase::init(def, env, name, parent, stackIndex));
    const auto* container = dynamic_cast<const CAudioProcessDef*>(&def);
    if (!container)
        return QEL_ERROR(
            name, "@qelstr_CAudioProcess_init_ProcessDefClassInvalid Audio process def of invalid class "
                  "supplied.");
    m_inputBoundary = std::make_unique<CAudioProcessBoundary>(env);
    m_outputBoundary = std::make_unique<CAudioProcessBoundary>(env);

    for (CObject* child : def.children())
        if (auto* childDef = dynamic_cast<const CAudioProcessDefBase*>(child))
            if (!childDef->isPrototype()) QEL_CHECK(addProcess(*childDef));

    if (container->isAutoLinks()) {
        int32_t previous = -1;
        for (int32_t i = 0; i < int32_t(m_children.size()); ++i) {
            if (m_children[size_t(i)]->def()->isOutOfOrder()) continue;
            m_links.push_back({previous, 0, i, 0, {}, -1});
            previous = i;
        }
        m_links.push_back({previous, 0, -1, 0, {}, -1});
    }
    for (CObject* child : def.children()) {
        if (auto* link = dynamic_cast<const CAudioProcessLinkDef*>(child)) QEL_CHECK(addLink(*link));
        if (auto* filter = dynamic_cast<const CAudioParamFilterDef*>(child)) QEL_CHECK(addFilter(*filter));
        if (auto* state = dynamic_cast<const CAudioProcessBypassStateDef*>(child)) {
            CAudioParamCollector& collector = *env.collector;
            SState& entry = m_states[state->id()];
            entry.def = state;
            entry.param = collector.getParam(resolveParamName(state->param()));
            entry.andParam = state->andParam().isEmpty()
                                 ? nullptr
                                 : collector.getParam(resolveParamName(state->andParam()));
            m_active[state->id()] = false;
        }
    }
    for (const SLink& link : m_links)
        if (link.src == -1) m_inputPorts = std::max(m_inputPorts, link.srcPort + 1);
    ensurePorts(m_inputPorts, 1);
    m_needsRebuild = true;
    return nullptr;
}

CError* CAudioProcess::addProcess(const CAudioProcessDefBase& def) {
    const CString shortName = def.name();
    if (indexOf(shortName) >= 0)
        return QEL_ERROR(m_name,
                         "@qelstr_CAudioProcess_addProcess_DupeName Duplicate audio process name '%1'.",
                         shortName);
    if (def.isMultiband())
        return QEL_ERROR(
            def.fullName(),
            "@qelstr_CAudioProcess_addProcess_MultibandUnsupported Multiband processing is not supported "
            "(process '%1').",
            shortName);
    std::unique_ptr<CAudioProcessBase> process =
        def.isStacked() ? std::make_unique<CAudioProcessStack>() : def.createProcess();
    QEL_CHECK(process->init(def, *m_env, m_name + "." + shortName, this, 0));
    m_children.push_back(std::move(process));
    m_needsRebuild = true;
    return nullptr;
}

int32_t CAudioProcess::indexOf(const CString& shortName) const {
    for (size_t i = 0; i < m_children.size(); ++i)
        if (m_children[i]->shortName() == shortName) return int32_t(i);
    return -1;
}

CAudioProcessBase* CAudioProcess::child(const CString& shortName) const {
    const int32_t index = indexOf(shortName);
    return index < 0 ? nullptr : m_children[size_t(index)].get();
}

CError* CAudioProcess::addLink(const CAudioProcessLinkDef& def) {
    auto resolve = [&](const CString& name, int32_t& index) {
        if (name == CAudioProcessLinkDef::kBoundary) {
            index = -1;
            return true;
        }
        index = indexOf(name);
        return index >= 0;
    };
    SLink link{0, def.srcPort(), 0, def.dstPort(), def.stateIds(), def.bypassStateId()};
    if (!resolve(def.srcName(), link.src))
        return QEL_ERROR(
            def.fullName(),
            "@qelstr_CAudioProcessLinkDef_init_SrcNameError Invalid process in the 'src' attribute value "
            "'%1' specified.",
            def.getAttr("src"));
    if (!resolve(def.dstName(), link.dst))
        return QEL_ERROR(
            def.fullName(),
            "@qelstr_CAudioProcessLinkDef_init_DstNameError Invalid process in the 'dst' attribute value "
            "'%1' specified.",
            def.getAttr("dst"));
    m_links.push_back(std::move(link));
    m_needsRebuild = true;
    return nullptr;
}

CError* CAudioProcess::addFilter(const CAudioParamFilterDef& def) {
    auto resolved = [&](const std::vector<CString>& names) {
        std::vector<CString> full;
        for (const CString& name : names)
            full.push_back(resolveParamName(name));
        return full;
    };
    std::unique_ptr<CAudioParamFilter> filter = def.createFilter();
    if (CError* error = filter->init(def, *m_env->collector, resolved(def.sourceNames()),
                                     resolved(def.destinationNames())))
        return QEL_PASS_CTX(error, def.fullName());
    filter->attach();
    m_filters.push_back(std::move(filter));
    return nullptr;
}

bool CAudioProcess::isStateActive(int32_t id) const {
    auto state = m_active.find(id);
    return state != m_active.end() && state->second;
}

bool CAudioProcess::isLinkActive(const SLink& link) const {
    if (link.bypassStateId >= 0 && isStateActive(link.bypassStateId)) return false;
    if (link.stateIds.empty()) return true;
    for (int32_t id : link.stateIds)
        if (isStateActive(id)) return true;
    return false;
}

CAudioProcessBase* CAudioProcess::endpoint(int32_t index, bool source) {
    if (index >= 0) return m_children[size_t(index)].get();
    return source ? m_inputBoundary.get() : m_outputBoundary.get();
}

// Children become ready in passes once everything feeding them is done; a cycle leaves some out.
void CAudioProcess::rebuild() {
    m_needsRebuild = false;
    m_sequence.clear();
    std::vector<bool> done(m_children.size(), false);
    for (bool added = true; added;) {
        added = false;
        std::vector<size_t> ready;
        for (size_t i = 0; i < m_children.size(); ++i) {
            if (done[i]) continue;
            bool feedsDone = true;
            for (const SLink& link : m_links)
                if (link.dst == int32_t(i) && link.src >= 0 && !done[size_t(link.src)]) feedsDone = false;
            if (feedsDone) ready.push_back(i);
        }
        for (size_t i : ready) {
            done[i] = true;
            m_sequence.push_back(m_children[i].get());
            added = true;
        }
    }
    if (m_sequence.size() < m_children.size()) CDebugLog::writeLine("process seq err", m_name);
    wire();
}

void CAudioProcess::wire() {
    m_inputBoundary->clearDestinations();
    for (auto& child : m_children)
        child->clearDestinations();
    for (const SLink& link : m_links)
        if (isLinkActive(link))
            endpoint(link.src, true)->addDestination(link.srcPort, endpoint(link.dst, false), link.dstPort);
    for (auto& child : m_children) {
        const int32_t id = child->def()->bypassStateId();
        child->setBypassed(id >= 0 && isStateActive(id));
    }
}

bool CAudioProcess::updateStates() {
    bool changed = false;
    for (auto& [id, state] : m_states) {
        const double value = state.param->audioValues().getValue(0, 0, 0.0);
        const double andValue = state.andParam ? state.andParam->audioValues().getValue(0, 0, 0.0) : 0.0;
        const bool active = state.def->isActive(value, andValue);
        bool& current = m_active[id];
        changed = changed || current != active;
        current = active;
    }
    return changed;
}

// The latency at each child's output; inputs that arrive earlier than the others of their process
// are delayed to meet them.
void CAudioProcess::computeLatencies(bool crossFade) {
    m_outLatency.assign(m_children.size(), 0);
    auto latencyInto = [&](int32_t index, int32_t port, bool& any) {
        int64_t latency = 0;
        any = false;
        for (const SLink& link : m_links)
            if (link.dst == index && link.dstPort == port && isLinkActive(link)) {
                latency = std::max(latency, link.src >= 0 ? m_outLatency[size_t(link.src)] : 0);
                any = true;
            }
        return latency;
    };
    auto align = [&](int32_t index, CAudioProcessBase& process) {
        int64_t inLatency = 0;
        std::vector<int64_t> ports(size_t(std::max(process.inputPortCount(), 1)), 0);
        for (int32_t p = 0; p < int32_t(ports.size()); ++p) {
            bool any = false;
            ports[size_t(p)] = latencyInto(index, p, any);
            inLatency = std::max(inLatency, ports[size_t(p)]);
        }
        for (int32_t p = 0; p < int32_t(ports.size()); ++p)
            process.setInputDelay(p, uint32_t(inLatency - ports[size_t(p)]), crossFade);
        return inLatency;
    };
    for (CAudioProcessBase* process : m_sequence) {
        const int32_t index = indexOf(process->shortName());
        const int64_t inLatency = align(index, *process);
        process->setInputLatency(inLatency);
        m_outLatency[size_t(index)] = process->isBypassed() ? inLatency : process->outputLatency(inLatency);
    }
    m_latency = align(-1, *m_outputBoundary);
}

CError* CAudioProcess::prepare(const SAudioFormat& format) {
    m_outgoing.reset();
    m_running = false;
    QEL_CHECK(CAudioProcessBase::prepare(format));
    return prepareGraph();
}

CError* CAudioProcess::prepareGraph() {
    if (m_needsRebuild) rebuild();
    updateStates();
    wire();
    m_inputBoundary->setFormat(m_format);
    std::vector<SAudioFormat> outFormats(m_children.size(), m_format);
    auto formatInto = [&](int32_t index) {
        for (const SLink& link : m_links)
            if (link.dst == index && link.dstPort == 0 && link.src >= 0) return outFormats[size_t(link.src)];
        return m_format;
    };
    for (CAudioProcessBase* process : m_sequence) {
        const int32_t index = indexOf(process->shortName());
        const SAudioFormat in = formatInto(index);
        QEL_CHECK(process->prepare(in));
        outFormats[size_t(index)] = process->isBypassed() ? in : process->outputFormat(in);
    }
    m_outputFormat = formatInto(-1);
    QEL_CHECK(m_outputBoundary->prepare(m_outputFormat));
    computeLatencies(false);
    return nullptr;
}

SAudioFormat CAudioProcess::outputFormat(const SAudioFormat&) const {
    return m_outputFormat;
}

void CAudioProcess::reset() {
    m_outgoing.reset();
    m_running = false;
    CAudioProcessBase::reset();
    if (m_inputBoundary) m_inputBoundary->reset();
    for (auto& child : m_children)
        child->reset();
    if (m_outputBoundary) m_outputBoundary->reset();
}

void CAudioProcess::applyParamUpdates() {
    // The outgoing children follow every change but their rate.
    if (m_outgoing) m_outgoing->updateGraph();
    if (updateGraph()) switchGraph();
}

bool CAudioProcess::updateGraph() {
    if (updateStates()) {
        wire();
        computeLatencies(true);
    }
    bool reformat = false;
    for (CAudioProcessBase* process : m_sequence) {
        process->applyParamUpdates();
        reformat = process->takeFormatChange() || reformat;
    }
    return reformat;
}

// The new children start from silence, so they run unheard until their responses have filled: twice
// the latency for a linear-phase path, plus the settling of recursive filters. A change of output
// format or latency cannot be faded, and before audio there is nothing to fade: it takes effect at once.
void CAudioProcess::switchGraph() {
    const SAudioFormat before = m_outputFormat;
    std::unique_ptr<CAudioProcess> previous = detachGraph();
    // Children still filling were never heard: the outgoing ones stay. A fade under way ends at once.
    if (!m_outgoing || !m_warmUp) m_outgoing = std::move(previous);
    for (const auto& child : m_outgoing->m_children)
        qelErrLog(addProcess(*child->def()));
    qelErrLog(prepareGraph());
    m_formatChanged = m_formatChanged || before.sampleRate != m_outputFormat.sampleRate;
    const SAudioFormat& old = m_outgoing->m_outputFormat;
    if (!m_running || old.sampleRate != m_outputFormat.sampleRate ||
        old.channelCount != m_outputFormat.channelCount || m_outgoing->m_latency != m_latency) {
        m_outgoing.reset();
        return;
    }
    m_warmUp =
        uint32_t(2 * std::max<int64_t>(m_latency, 0) + int64_t(kSwitchSettle * m_outputFormat.sampleRate));
    m_fadeLeft = std::max(uint32_t(kSwitchFade * m_outputFormat.sampleRate), 1u);
    m_fade.start(m_fadeLeft);
}

std::unique_ptr<CAudioProcess> CAudioProcess::detachGraph() {
    auto graph = std::make_unique<CAudioProcess>();
    graph->m_def = m_def;
    graph->m_env = m_env;
    graph->m_name = m_name;
    graph->m_parent = m_parent;
    graph->m_stackIndex = m_stackIndex;
    graph->m_format = m_format;
    graph->m_children.swap(m_children);
    graph->m_sequence.swap(m_sequence);
    graph->m_outLatency.swap(m_outLatency);
    graph->m_links = m_links;
    graph->m_states = m_states;
    graph->m_active = m_active;
    graph->m_inputBoundary = std::move(m_inputBoundary);
    graph->m_outputBoundary = std::move(m_outputBoundary);
    graph->m_outputFormat = m_outputFormat;
    graph->m_latency = m_latency;
    graph->m_inputPorts = m_inputPorts;
    graph->m_needsRebuild = false;
    m_inputBoundary = std::make_unique<CAudioProcessBoundary>(*m_env);
    m_outputBoundary = std::make_unique<CAudioProcessBoundary>(*m_env);
    m_needsRebuild = true;
    return graph;
}

bool CAudioProcess::takeFormatChange() {
    const bool changed = m_formatChanged;
    m_formatChanged = false;
    return changed;
}

// The new children's block replaces block: the outgoing one's alone while warming up, then the fade.
void CAudioProcess::mixOutgoing(int32_t channel, SAudioBlock*& block, SHalfCosineFade& fade,
                                uint32_t& fadeLeft, uint32_t& warmUp) {
    SAudioBlock* old = m_outgoing->m_outputBoundary->take(0, channel);
    if (!old || !block || old->length != block->length) {
        CAudioBlockPool::release(old);
        return;
    }
    SAudioBlock* mixed = m_env->pool->take(block->length);
    std::copy(old->samples(), old->samples() + old->length, mixed->samples());
    const uint32_t heard = std::min(warmUp, block->length);
    fade.mix(mixed->samples() + heard, block->samples() + heard, block->length - heard, fadeLeft);
    warmUp -= heard;
    CAudioBlockPool::release(old);
    CAudioBlockPool::release(block);
    block = mixed;
}

void CAudioProcess::process() {
    m_running = true;
    for (int32_t port = 0; port < m_inputPorts; ++port)
        for (int32_t channel = 0; channel < m_format.channelCount; ++channel) {
            SAudioBlock* block = gather(port, channel);
            if (m_outgoing && block) {
                CAudioBlockPool::addRef(block);
                m_outgoing->m_inputBoundary->send(port, channel, block);
            }
            m_inputBoundary->send(port, channel, block);
        }
    releaseInputs();
    for (CAudioProcessBase* process : m_sequence)
        process->run();
    if (m_outgoing)
        for (CAudioProcessBase* process : m_outgoing->m_sequence)
            process->run();
    // Every channel fades alike: each starts from the state the last block left.
    SHalfCosineFade fade = m_fade;
    uint32_t fadeLeft = m_fadeLeft;
    uint32_t warmUp = m_warmUp;
    for (int32_t channel = 0; channel < m_format.channelCount; ++channel) {
        SAudioBlock* block = m_outputBoundary->take(0, channel);
        if (m_outgoing) {
            fade = m_fade;
            fadeLeft = m_fadeLeft;
            warmUp = m_warmUp;
            mixOutgoing(channel, block, fade, fadeLeft, warmUp);
        }
        deliver(0, channel, block);
    }
    m_outputBoundary->drop();
    if (!m_outgoing) return;
    m_outgoing->m_outputBoundary->drop();
    m_fade = fade;
    m_fadeLeft = fadeLeft;
    m_warmUp = warmUp;
    if (!m_warmUp && !m_fadeLeft) m_outgoing.reset();
}

} // namespace qel
