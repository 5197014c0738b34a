#pragma once

#include <map>
#include <memory>
#include <vector>

#include "Audio/DSP/SHalfCosineFade.h"
#include "Audio/Graph/CAudioProcessBase.h"
#include "Audio/Graph/CAudioProcessBoundary.h"

namespace qel {

class CAudioParam;
class CAudioParamFilter;
class CAudioParamFilterDef;
class CAudioProcessBypassStateDef;
class CAudioProcessLinkDef;

// A container: runs its children in dependency order once per block, with the links, bypass states
// and latency alignment of its definition. When a rate inside changes while audio runs and the output
// format and latency stay, a new set of children is built and run beside the old one until it has
// filled, then cross-faded in, so the switch makes no step. Before any audio since the last prepare or
// reset, a change takes effect at once. With a worker in the environment, the new children are built,
// prepared and warmed up there, and the audio thread only swaps them in and hands the old ones back.
class CAudioProcess : public CAudioProcessBase {
public:
    // Seconds for recursive filters to forget their input: nine time constants of the slowest in the
    // product, a 7 Hz high-pass.
    static constexpr double kSettleSeconds = 0.2;

    CAudioProcess();
    ~CAudioProcess() override;

    CError* init(const CAudioProcessDefBase& def, SAudioProcessEnv& env, const CString& name,
                 CAudioProcess* parent, int32_t stackIndex) override;
    void reset() override;
    void applyParamUpdates() override;
    void process() override;
    CError* prepare(const SAudioFormat& format) override;
    SAudioFormat outputFormat(const SAudioFormat& input) const override;
    int64_t ownDelay() const override { return m_latency; }
    bool takeFormatChange() override;
    void exchangeGraphs() override;
    void buildGraphs() override;

    CError* addProcess(const CAudioProcessDefBase& def);
    CAudioProcessBase* child(const CString& shortName) const;
    const std::vector<CAudioProcessBase*>& sequence() const { return m_sequence; }
    size_t childCount() const { return m_children.size(); }
    bool isStateActive(int32_t id) const;
    // True while an old set of children is still being heard.
    bool isSwitching() const { return bool(m_outgoing) && !m_outgoingDone; }

private:
    struct SLink {
        int32_t src; // child index, -1 for the container's input
        int32_t srcPort;
        int32_t dst; // child index, -1 for the container's output
        int32_t dstPort;
        std::vector<int32_t> stateIds;
        int32_t bypassStateId;
    };
    struct SState {
        const CAudioProcessBypassStateDef* def;
        CAudioParam* param;
        CAudioParam* andParam;
    };

    CError* addLink(const CAudioProcessLinkDef& def);
    int32_t indexOf(const CString& shortName) const;
    void rebuild();
    bool isLinkActive(const SLink& link) const;
    void wire();
    // True when the set of active states changed.
    bool updateStates();
    void computeLatencies(bool crossFade);
    CAudioProcessBase* endpoint(int32_t index, bool source);

    CError* addFilter(const CAudioParamFilterDef& def);
    CError* prepareGraph();
    // Parameter updates of the states and children; true when a rate inside changed.
    bool updateGraph();
    bool buildsInPlace() const;
    // New children are needed: built at once where that is allowed, otherwise by the worker.
    void requestSwitch();
    // New children from the current ones' definitions, in a container of their own, prepared. Apart,
    // they get an environment of their own and are run once on silence, so that the blocks they need
    // are in the pool before the audio thread meets them.
    std::unique_ptr<CAudioProcess> buildGraph(bool apart);
    void warmUp(CAudioProcess& graph);
    // Takes graph's children in, leaving the current ones in graph, and fades from them.
    void swapIn(std::unique_ptr<CAudioProcess> graph);
    void exchangeChildren(CAudioProcess& other);
    // Children no longer heard: their blocks go back to the pool here; the worker frees the rest.
    void retire(std::unique_ptr<CAudioProcess> graph);
    void mixOutgoing(int32_t channel, SAudioBlock*& block, SHalfCosineFade& fade, uint32_t& fadeLeft,
                     uint32_t& warmUp);

    // The environment of children built apart; before the children, which use it until they go.
    std::unique_ptr<SAudioProcessEnv> m_setEnv;
    // The container whose children these are, for a set built apart.
    CAudioProcess* m_owner = this;
    std::vector<std::unique_ptr<CAudioProcessBase>> m_children;
    // Derived parameters of this sub-graph, fed from their sources while it exists.
    std::vector<std::unique_ptr<CAudioParamFilter>> m_filters;
    std::vector<SLink> m_links;
    std::map<int32_t, SState> m_states;
    std::map<int32_t, bool> m_active;
    std::vector<CAudioProcessBase*> m_sequence;
    std::vector<int64_t> m_outLatency;
    std::vector<int64_t> m_portLatency;
    std::unique_ptr<CAudioProcessBoundary> m_inputBoundary;
    std::unique_ptr<CAudioProcessBoundary> m_outputBoundary;
    SAudioFormat m_outputFormat;
    int64_t m_latency = 0;
    int32_t m_inputPorts = 1;
    bool m_needsRebuild = true;
    bool m_formatChanged = false;
    // Whether audio ran since the last prepare or reset.
    bool m_running = false;
    // The children being replaced, heard alone for m_warmUp more samples, then faded out.
    std::unique_ptr<CAudioProcess> m_outgoing;
    bool m_outgoingDone = false;
    bool m_switchWanted = false;
    // Children built by the worker, waiting to be swapped in.
    std::unique_ptr<CAudioProcess> m_incoming;
    // Children handed back, chained through their own m_retired, for the worker to free.
    std::unique_ptr<CAudioProcess> m_retired;
    uint32_t m_warmUp = 0;
    uint32_t m_fadeLeft = 0;
    SHalfCosineFade m_fade;
};

} // namespace qel
