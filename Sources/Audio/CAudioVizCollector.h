#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "Core/CObject.h"
#include "Core/COutputStream.h"
#include "Core/Platform/CCriticalSection.h"

namespace qel {

class CAudioEnv;

// "audio:viz-collector": gathers what the displays show from the audio thread. The core hands it
// the pending request at the first sub-block of every host block and feeds its level meters with
// every sub-block; the parameter interface takes the collected records at the display's frame rate.
//
// The level meters fill two slots, "input-meter" and "output-meter", with one meter record per
// channel and period (about a sixtieth of a second, in whole sub-blocks). Header fields of a meter
// record: source = channel index, kind = 0 for an input and 1 for an output, sequence = number of the
// period in its slot (the same for every channel of one period; a gap means records were dropped),
// time = the audio environment's time at the end of the period, frames = frames the period covers.
// Payload: the largest absolute sample value and the RMS value, both linear.
class CAudioVizCollector : public CObject {
public:
    enum Slot : int32_t { InputMeter = 0, OutputMeter = 1, SlotCount = 2 };
    // Passed as slot index to select a slot by its name alone.
    static constexpr int32_t kAnySlot = -1;
    // Records kept per channel and slot until the interface takes them; older ones are dropped.
    static constexpr int32_t kRecordsPerChannel = 64;
    static constexpr double kPeriodsPerSecond = 60.0;

    CAudioVizCollector();
    ~CAudioVizCollector() override;

    // Finds the audio environment through the "env" attribute when there is one.
    CError* init() override;

    bool isActive() const { return m_active.load(); }
    void setActive(bool active) { m_active.store(active); }

    // Under the audio environment's lock: takes the pending request and count, leaving none.
    void takePending(int32_t& request, int32_t& count);
    // Outside the lock, on the audio thread.
    void process(int32_t request, int32_t count);
    // At suspend: drops the pending request and every partly measured period.
    void reset();

    int64_t processedRequests() const { return m_processed; }

    // Sizes everything the meters need, whenever the format changes; the calls below then allocate
    // nothing. Waits for the interface to finish taking records.
    void prepare(int32_t inputCount, int32_t outputCount, double sampleRate);
    // Audio thread, once per channel and sub-block; cheap when no view listens.
    void meterInput(int32_t channel, const double* samples, uint32_t frames);
    void meterOutput(int32_t channel, const double* samples, uint32_t frames);
    // Audio thread, after the sub-block was metered: audioTime is the time at its end.
    void endSubBlock(double audioTime, uint32_t frames);
    // Whether the current sub-block is measured at all.
    bool isMetering() const { return m_slots[InputMeter].metering || m_slots[OutputMeter].metering; }

    // Views of the interface, on its thread. A second registration of an id is ignored.
    CError* listen(int32_t slotIndex, const CString& slotName, int32_t vizId);
    void unlisten(int32_t vizId);
    bool hasListeners() const;
    // Names of the slots whose data other instances may show; this product exports none.
    void exportSlotNames(std::vector<CString>& names) const;

    // The body of a "viz-data" answer: the audio time, then per slot with records their count, the
    // slot name and the records in time order, then a count of 0. Takes the records it writes.
    CError* writeVizData(COutputStream& stream);

private:
    struct SMeterRecord {
        int32_t channel;
        int32_t sequence;
        double time;
        int32_t frames;
        double peak;
        double rms;
    };

    struct SMeterSlot {
        CString name;
        int32_t kind = 0;
        std::atomic<bool> listened{false};

        // Guards the ring; the audio thread only tries it, so a busy slot delays a period instead of
        // the audio.
        CCriticalSection lock{4000};
        std::vector<SMeterRecord> ring;
        size_t head = 0;
        size_t count = 0;

        // Audio thread only.
        bool metering = false;
        int32_t channels = 0;
        std::vector<double> peak;
        std::vector<double> sumSquares;
        uint32_t frames = 0;
        int32_t sequence = 0;
    };

    static void accumulate(SMeterSlot& slot, int32_t channel, const double* samples, uint32_t frames);
    static void clearPeriod(SMeterSlot& slot);
    static bool publish(SMeterSlot& slot, double audioTime);
    static void takeRecords(SMeterSlot& slot, std::vector<SMeterRecord>& records);
    double audioTime();

    CAudioEnv* m_env = nullptr;
    std::atomic<bool> m_active{false};
    int32_t m_pendingRequest = 0;
    int32_t m_pendingCount = 0;
    int64_t m_processed = 0;

    SMeterSlot m_slots[SlotCount];
    uint32_t m_periodFrames = 735;
    // The latest time the audio thread reached, for collectors without an environment.
    std::atomic<double> m_lastAudioTime{0.0};

    struct SListener {
        int32_t vizId;
        int32_t slot;
    };
    mutable CCriticalSection m_listenerLock{4000};
    std::vector<SListener> m_listeners;
};

} // namespace qel
