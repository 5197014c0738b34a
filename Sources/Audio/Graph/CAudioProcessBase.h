#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Audio/DSP/CDSPModDelay.h"
#include "Audio/Graph/CAudioBlockPool.h"
#include "Core/CError.h"
#include "Core/CString.h"

namespace qel {

class CAudioGraphGate;
class CAudioParamCollector;
class CAudioProcess;
class CAudioProcessDefBase;
class CAudioWorker;

// The sample format flowing into a process.
struct SAudioFormat {
    double sampleRate = 44100.0;
    uint32_t maxBlockLength = 512;
    int32_t channelCount = 0;
};

// What every process of an instance shares.
struct SAudioProcessEnv {
    CAudioParamCollector* collector = nullptr;
    CAudioBlockPool* pool = nullptr;
    // The parameter group each channel reads; without a table, channel c reads group c.
    std::vector<int32_t> channelGroups;
    // Where processes are built while audio runs; without one they are built where the change is met.
    CAudioWorker* worker = nullptr;
    // True while the graph is prepared or primed off the audio thread: builds happen in place.
    bool buildInPlace = false;

    int32_t groupOf(int32_t channel) const {
        return channel >= 0 && size_t(channel) < channelGroups.size() ? channelGroups[size_t(channel)]
                                                                      : channel;
    }
};

// A run-time process: numbered input and output ports carrying one block per channel per block of
// time. Blocks are handed on by reference; a process that takes several links into one port gets
// them combined.
class CAudioProcessBase : public CCheckedObject {
public:
    struct SDestination {
        CAudioProcessBase* process;
        int32_t port;
    };

    ~CAudioProcessBase() override;

    // name is the full run-time name; parent is the container (null for the root).
    virtual CError* init(const CAudioProcessDefBase& def, SAudioProcessEnv& env, const CString& name,
                         CAudioProcess* parent, int32_t stackIndex);
    virtual void reset();
    virtual void applyParamUpdates() {}
    virtual void process() = 0;
    virtual CError* prepare(const SAudioFormat& format);
    virtual void lastHook() {}

    // The format of output port 0 for a given input format (resamplers change the rate).
    virtual SAudioFormat outputFormat(const SAudioFormat& input) const { return input; }
    // Latency at the output, in output samples, for the latency at the inputs in input samples.
    virtual int64_t outputLatency(int64_t inputLatency) const { return inputLatency + ownDelay(); }
    virtual int64_t ownDelay() const { return 0; }
    // True once after a parameter change altered outputFormat(): what follows must be prepared again.
    virtual bool takeFormatChange() { return false; }
    // The latency at the inputs, in input samples, known once the container has aligned them.
    virtual void setInputLatency(int64_t latency) { (void)latency; }
    // Containers swap in children built elsewhere and hand back the ones they no longer hear (audio
    // thread), and build and free them (the worker); both inside the graph gate.
    virtual void exchangeGraphs() {}
    virtual void buildGraphs() {}

    // Ports.
    void receive(int32_t port, int32_t channel, SAudioBlock* block);
    void addDestination(int32_t outPort, CAudioProcessBase* process, int32_t inPort);
    void clearDestinations();
    // Room for that many destinations of a port, so that wiring again while audio runs allocates nothing.
    void reserveDestinations(int32_t outPort, size_t count);
    bool hasInput(int32_t port) const;
    int32_t inputPortCount() const { return int32_t(m_inputs.size()); }
    // Aligns a port with the slower inputs of the process; while audio flows the change is
    // cross-faded.
    void setInputDelay(int32_t port, uint32_t samples, bool crossFade = false);
    uint32_t inputDelay(int32_t port) const;

    // Bypassed processes pass input 0 to output 0 untouched.
    void setBypassed(bool bypassed) { m_bypassed = bypassed; }
    bool isBypassed() const { return m_bypassed; }
    void run();

    const CAudioProcessDefBase* def() const { return m_def; }
    const CString& name() const { return m_name; }
    CString shortName() const;
    CAudioProcess* parent() const { return m_parent; }
    int32_t stackIndex() const { return m_stackIndex; }
    const SAudioFormat& format() const { return m_format; }
    uint32_t blockLength() const { return m_blockLength; }
    SAudioProcessEnv& env() const { return *m_env; }

    // The run-time name of a parameter named relative to this process, after the renames of this
    // process and its containers ("^" climbs one level).
    CString resolveParamName(const CString& relativeName) const;
    static CString resolveRelative(CString baseName, CString target);

protected:
    // The port's blocks for a channel, combined: a new reference, or null when nothing arrived.
    SAudioBlock* gather(int32_t port, int32_t channel);
    void releaseInputs();
    // Hands the block (one reference) to every destination of the port.
    void deliver(int32_t port, int32_t channel, SAudioBlock* block);
    void ensurePorts(int32_t inputs, int32_t outputs);
    void passThrough();

    const CAudioProcessDefBase* m_def = nullptr;
    SAudioProcessEnv* m_env = nullptr;
    CString m_name;
    CAudioProcess* m_parent = nullptr;
    int32_t m_stackIndex = 0;
    SAudioFormat m_format;
    uint32_t m_blockLength = 0;

private:
    struct SInputPort {
        std::vector<std::vector<SAudioBlock*>> channels;
        uint32_t delay = 0;
        std::vector<std::unique_ptr<CDSPModDelay>> delays;
    };

    std::vector<SInputPort> m_inputs;
    std::vector<std::vector<SDestination>> m_outputs;
    bool m_bypassed = false;
};

} // namespace qel
