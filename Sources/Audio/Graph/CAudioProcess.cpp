#include "Audio/Graph/CAudioProcess.h"

#include <algorithm>

#include "Audio/CAudioWorker.h"
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

} // namespace

CAudioProcess::CAudioProcess() = default;

CAudioProcess::~CAudioProcess() {
    // Another thread may be feeding a filter: it must be out of its sources before it starts to go.
    for (auto& filter : m_filters)
        filter->detach();
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
    QEL_CHECK(process->init(def, *m_env, m_name + "." + shortName, m_owner, 0));
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
        std::vector<int64_t>& ports = m_portLatency;
        ports.assign(size_t(std::max(process.inputPortCount(), 1)), 0);
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
    // Whatever was built for the old format is of no use; the children below follow the new one.
    m_outgoing.reset();
    m_outgoingDone = false;
    m_incoming.reset();
    m_retired.reset();
    m_switchWanted = false;
    m_running = false;
    QEL_CHECK(CAudioProcessBase::prepare(format));
    return prepareGraph();
}

CError* CAudioProcess::prepareGraph() {
    if (m_needsRebuild) rebuild();
    for (const SLink& link : m_links) {
        size_t count = 0;
        for (const SLink& other : m_links)
            if (other.src == link.src && other.srcPort == link.srcPort) ++count;
        endpoint(link.src, true)->reserveDestinations(link.srcPort, count);
    }
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
    // Room for every port, so that aligning again while audio runs allocates nothing.
    size_t ports = size_t(std::max(m_outputBoundary->inputPortCount(), 1));
    for (const auto& child : m_children)
        ports = std::max(ports, size_t(child->inputPortCount()));
    m_portLatency.reserve(ports);
    QEL_CHECK(m_outputBoundary->prepare(m_outputFormat));
    computeLatencies(false);
    return nullptr;
}

SAudioFormat CAudioProcess::outputFormat(const SAudioFormat&) const {
    return m_outputFormat;
}

void CAudioProcess::reset() {
    m_outgoing.reset();
    m_outgoingDone = false;
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
    if (updateGraph()) requestSwitch();
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

bool CAudioProcess::buildsInPlace() const {
    return !m_env->worker || m_env->buildInPlace;
}

void CAudioProcess::requestSwitch() {
    if (buildsInPlace()) {
        swapIn(buildGraph(false));
        return;
    }
    m_switchWanted = true;
    m_env->worker->wake();
}

std::unique_ptr<CAudioProcess> CAudioProcess::buildGraph(bool apart) {
    auto graph = std::make_unique<CAudioProcess>();
    graph->m_def = m_def;
    graph->m_name = m_name;
    graph->m_parent = m_parent;
    graph->m_stackIndex = m_stackIndex;
    graph->m_format = m_format;
    graph->m_owner = this;
    graph->m_links = m_links;
    graph->m_states = m_states;
    graph->m_active = m_active;
    graph->m_inputPorts = m_inputPorts;
    CAudioBlockPool warmPool;
    if (apart) {
        graph->m_setEnv = std::make_unique<SAudioProcessEnv>(*m_env);
        graph->m_setEnv->pool = &warmPool;
    }
    graph->m_env = apart ? graph->m_setEnv.get() : m_env;
    graph->m_inputBoundary = std::make_unique<CAudioProcessBoundary>(*graph->m_env);
    graph->m_outputBoundary = std::make_unique<CAudioProcessBoundary>(*graph->m_env);
    graph->ensurePorts(m_inputPorts, 1);
    for (const auto& child : m_children)
        qelErrLog(graph->addProcess(*child->def()));
    qelErrLog(graph->CAudioProcessBase::prepare(m_format));
    qelErrLog(graph->prepareGraph());
    if (apart) {
        warmUp(*graph);
        m_env->pool->adopt(warmPool);
        graph->m_setEnv->pool = m_env->pool;
    }
    return graph;
}

// One block of silence of the longest length: what the children take from the pool and make on first
// use is then made here.
void CAudioProcess::warmUp(CAudioProcess& graph) {
    for (int32_t port = 0; port < m_inputPorts; ++port)
        for (int32_t channel = 0; channel < m_format.channelCount; ++channel) {
            SAudioBlock* block = graph.m_env->pool->take(m_format.maxBlockLength);
            std::fill(block->samples(), block->samples() + block->length, 0.0);
            graph.receive(port, channel, block);
        }
    graph.run();
    graph.reset();
}

void CAudioProcess::exchangeChildren(CAudioProcess& other) {
    m_setEnv.swap(other.m_setEnv);
    m_children.swap(other.m_children);
    m_sequence.swap(other.m_sequence);
    m_outLatency.swap(other.m_outLatency);
    m_active.swap(other.m_active);
    m_inputBoundary.swap(other.m_inputBoundary);
    m_outputBoundary.swap(other.m_outputBoundary);
    std::swap(m_outputFormat, other.m_outputFormat);
    std::swap(m_latency, other.m_latency);
    std::swap(m_needsRebuild, other.m_needsRebuild);
    other.m_env = other.m_setEnv ? other.m_setEnv.get() : m_env;
    other.m_owner = this;
}

// The new children start from silence, so they run unheard until their responses have filled: twice
// the latency for a linear-phase path, plus the settling of recursive filters. A change of output
// format or latency cannot be faded, and before audio there is nothing to fade: it takes effect at once.
void CAudioProcess::swapIn(std::unique_ptr<CAudioProcess> graph) {
    const SAudioFormat before = m_outputFormat;
    exchangeChildren(*graph);
    m_switchWanted = false;
    m_formatChanged = m_formatChanged || before.sampleRate != m_outputFormat.sampleRate;
    // Children still filling were never heard: the outgoing ones stay. A fade under way ends at once.
    if (m_outgoing && m_warmUp && !m_outgoingDone) {
        retire(std::move(graph));
    } else {
        if (m_outgoing) retire(std::move(m_outgoing));
        m_outgoing = std::move(graph);
        m_outgoingDone = false;
    }
    const SAudioFormat& old = m_outgoing->m_outputFormat;
    if (!m_running || old.sampleRate != m_outputFormat.sampleRate ||
        old.channelCount != m_outputFormat.channelCount || m_outgoing->m_latency != m_latency) {
        retire(std::move(m_outgoing));
        return;
    }
    m_warmUp =
        uint32_t(2 * std::max<int64_t>(m_latency, 0) + int64_t(kSettleSeconds * m_outputFormat.sampleRate));
    m_fadeLeft = std::max(uint32_t(kSwitchFade * m_outputFormat.sampleRate), 1u);
    m_fade.start(m_fadeLeft);
}

void CAudioProcess::retire(std::unique_ptr<CAudioProcess> graph) {
    // Where building is allowed, freeing is too: graph goes as this returns.
    if (buildsInPlace()) return;
    graph->reset();
    graph->m_retired = std::move(m_retired);
    m_retired = std::move(graph);
    m_env->worker->wake();
}

void CAudioProcess::exchangeGraphs() {
    if (m_outgoing && m_outgoingDone) {
        m_outgoingDone = false;
        retire(std::move(m_outgoing));
    }
    if (m_incoming) swapIn(std::move(m_incoming));
    for (CAudioProcessBase* process : m_sequence)
        process->exchangeGraphs();
}

void CAudioProcess::buildGraphs() {
    m_retired.reset();
    if (m_switchWanted && !m_incoming) m_incoming = buildGraph(true);
    for (CAudioProcessBase* process : m_sequence)
        process->buildGraphs();
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
            if (isSwitching() && block) {
                CAudioBlockPool::addRef(block);
                m_outgoing->m_inputBoundary->send(port, channel, block);
            }
            m_inputBoundary->send(port, channel, block);
        }
    releaseInputs();
    for (CAudioProcessBase* process : m_sequence)
        process->run();
    if (isSwitching())
        for (CAudioProcessBase* process : m_outgoing->m_sequence)
            process->run();
    // Every channel fades alike: each starts from the state the last block left.
    SHalfCosineFade fade = m_fade;
    uint32_t fadeLeft = m_fadeLeft;
    uint32_t warmUp = m_warmUp;
    for (int32_t channel = 0; channel < m_format.channelCount; ++channel) {
        SAudioBlock* block = m_outputBoundary->take(0, channel);
        if (isSwitching()) {
            fade = m_fade;
            fadeLeft = m_fadeLeft;
            warmUp = m_warmUp;
            mixOutgoing(channel, block, fade, fadeLeft, warmUp);
        }
        deliver(0, channel, block);
    }
    m_outputBoundary->drop();
    if (!isSwitching()) return;
    m_outgoing->m_outputBoundary->drop();
    m_fade = fade;
    m_fadeLeft = fadeLeft;
    m_warmUp = warmUp;
    if (m_warmUp || m_fadeLeft) return;
    // Freed where that is allowed; otherwise handed back at the next exchange.
    if (buildsInPlace())
        m_outgoing.reset();
    else
        m_outgoingDone = true;
}

} // namespace qel
