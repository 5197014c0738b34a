#include "Audio/CAudioVizCollector.h"

#include <algorithm>
#include <cmath>

#include "Audio/CAudioEnv.h"
#include "Audio/Viz/CAudioVizDataMeter.h"
#include "Audio/Viz/VizRecordStream.h"

namespace qel {

CAudioVizCollector::CAudioVizCollector() {
    m_slots[InputMeter].name = "input-meter";
    m_slots[InputMeter].kind = 0;
    m_slots[OutputMeter].name = "output-meter";
    m_slots[OutputMeter].kind = 1;
}

CAudioVizCollector::~CAudioVizCollector() = default;

CError* CAudioVizCollector::init() {
    QEL_CHECK(CObject::init());
    if (getAttr("env").isEmpty()) return nullptr;
    CError* error = findObjectByAttr("env", m_env);
    return error ? QEL_PASS_CTX(error, fullName()) : nullptr;
}

void CAudioVizCollector::takePending(int32_t& request, int32_t& count) {
    request = m_pendingRequest;
    count = m_active ? m_pendingCount : 0;
    m_pendingRequest = 0;
    m_pendingCount = 0;
}

void CAudioVizCollector::process(int32_t request, int32_t count) {
    if (request || count) ++m_processed;
}

void CAudioVizCollector::reset() {
    m_pendingRequest = 0;
    m_pendingCount = 0;
    for (SMeterSlot& slot : m_slots)
        clearPeriod(slot);
}

// Meters.

void CAudioVizCollector::prepare(int32_t inputCount, int32_t outputCount, double sampleRate) {
    m_periodFrames = uint32_t(std::max(1.0, std::round(sampleRate / kPeriodsPerSecond)));
    const int32_t counts[SlotCount] = {std::max(inputCount, 0), std::max(outputCount, 0)};
    for (int32_t s = 0; s < SlotCount; ++s) {
        SMeterSlot& slot = m_slots[s];
        slot.channels = counts[s];
        slot.peak.assign(size_t(slot.channels), 0.0);
        slot.sumSquares.assign(size_t(slot.channels), 0.0);
        clearPeriod(slot);
        slot.metering = slot.listened.load();
        CCriticalSectionGuard guard(slot.lock);
        slot.ring.assign(size_t(slot.channels) * kRecordsPerChannel, SMeterRecord{});
        slot.head = 0;
        slot.count = 0;
    }
}

void CAudioVizCollector::meterInput(int32_t channel, const double* samples, uint32_t frames) {
    accumulate(m_slots[InputMeter], channel, samples, frames);
}

void CAudioVizCollector::meterOutput(int32_t channel, const double* samples, uint32_t frames) {
    accumulate(m_slots[OutputMeter], channel, samples, frames);
}

void CAudioVizCollector::accumulate(SMeterSlot& slot, int32_t channel, const double* samples,
                                    uint32_t frames) {
    if (!slot.metering || channel < 0 || channel >= slot.channels) return;
    double peak = slot.peak[size_t(channel)];
    double sum = slot.sumSquares[size_t(channel)];
    for (uint32_t i = 0; i < frames; ++i) {
        peak = std::max(peak, std::fabs(samples[i]));
        sum += samples[i] * samples[i];
    }
    slot.peak[size_t(channel)] = peak;
    slot.sumSquares[size_t(channel)] = sum;
}

void CAudioVizCollector::endSubBlock(double audioTime, uint32_t frames) {
    m_lastAudioTime.store(audioTime, std::memory_order_relaxed);
    for (SMeterSlot& slot : m_slots) {
        const bool listened = slot.listened.load(std::memory_order_relaxed);
        if (slot.metering && listened) {
            slot.frames += frames;
            if (slot.frames >= m_periodFrames && publish(slot, audioTime)) clearPeriod(slot);
        } else if (slot.metering) {
            clearPeriod(slot);
        }
        // Decided between sub-blocks, so that a period never covers frames it did not measure.
        slot.metering = listened;
    }
}

void CAudioVizCollector::clearPeriod(SMeterSlot& slot) {
    std::fill(slot.peak.begin(), slot.peak.end(), 0.0);
    std::fill(slot.sumSquares.begin(), slot.sumSquares.end(), 0.0);
    slot.frames = 0;
}

bool CAudioVizCollector::publish(SMeterSlot& slot, double audioTime) {
    if (slot.ring.empty()) return true;
    // Busy: the period goes on and is published with the next sub-block.
    if (!slot.lock.tryEnter()) return false;
    const size_t capacity = slot.ring.size();
    for (int32_t c = 0; c < slot.channels; ++c) {
        if (slot.count == capacity) {
            slot.head = (slot.head + 1) % capacity;
            --slot.count;
        }
        const double rms = std::sqrt(slot.sumSquares[size_t(c)] / slot.frames);
        slot.ring[(slot.head + slot.count) % capacity] =
            SMeterRecord{c, slot.sequence, audioTime, int32_t(slot.frames), slot.peak[size_t(c)], rms};
        ++slot.count;
    }
    slot.lock.leave();
    ++slot.sequence;
    return true;
}

// The interface's side.

CError* CAudioVizCollector::listen(int32_t slotIndex, const CString& slotName, int32_t vizId) {
    CCriticalSectionGuard guard(m_listenerLock);
    for (const SListener& listener : m_listeners)
        if (listener.vizId == vizId) return nullptr;
    int32_t found = -1;
    if (slotIndex == kAnySlot) {
        for (int32_t s = 0; s < SlotCount && found < 0; ++s)
            if (m_slots[s].name == slotName) found = s;
    } else if (slotIndex >= 0 && slotIndex < SlotCount &&
               (slotName.isEmpty() || m_slots[slotIndex].name == slotName)) {
        found = slotIndex;
    }
    if (found < 0)
        return QEL_ERROR(fullName(),
                         "@qelstr_CAudioVizCollector_listen_UnknownSlot Unknown visualisation slot '%1' "
                         "(index %2).",
                         slotName, slotIndex);
    m_listeners.push_back({vizId, found});
    m_slots[found].listened.store(true);
    return nullptr;
}

void CAudioVizCollector::unlisten(int32_t vizId) {
    CCriticalSectionGuard guard(m_listenerLock);
    std::erase_if(m_listeners, [vizId](const SListener& listener) { return listener.vizId == vizId; });
    for (int32_t s = 0; s < SlotCount; ++s) {
        SMeterSlot& slot = m_slots[s];
        const bool listened = std::any_of(m_listeners.begin(), m_listeners.end(),
                                          [s](const SListener& listener) { return listener.slot == s; });
        if (listened || !slot.listened.load()) continue;
        slot.listened.store(false);
        // Nobody would show what is left.
        CCriticalSectionGuard slotGuard(slot.lock);
        slot.head = 0;
        slot.count = 0;
    }
}

bool CAudioVizCollector::hasListeners() const {
    CCriticalSectionGuard guard(m_listenerLock);
    return !m_listeners.empty();
}

void CAudioVizCollector::exportSlotNames(std::vector<CString>& names) const {
    names.clear();
}

double CAudioVizCollector::audioTime() {
    if (!m_env) return m_lastAudioTime.load(std::memory_order_relaxed);
    CCriticalSectionGuard guard(m_env->lock());
    return m_env->currentTime;
}

void CAudioVizCollector::takeRecords(SMeterSlot& slot, std::vector<SMeterRecord>& records) {
    CCriticalSectionGuard guard(slot.lock);
    records.resize(slot.count);
    for (size_t i = 0; i < slot.count; ++i)
        records[i] = slot.ring[(slot.head + i) % slot.ring.size()];
    slot.head = 0;
    slot.count = 0;
}

CError* CAudioVizCollector::writeVizData(COutputStream& stream) {
    QEL_CHECK(stream.writeValue(audioTime()));
    std::vector<SMeterRecord> records;
    for (SMeterSlot& slot : m_slots) {
        takeRecords(slot, records);
        if (records.empty()) continue;
        QEL_CHECK(stream.writeValue(int32_t(records.size())));
        QEL_CHECK(stream.writeString(slot.name));
        CAudioVizDataMeter meter;
        meter.kind = slot.kind;
        for (const SMeterRecord& record : records) {
            meter.source = record.channel;
            meter.sequence = record.sequence;
            meter.time = record.time;
            meter.frames = record.frames;
            meter.peak = record.peak;
            meter.rms = record.rms;
            QEL_CHECK(qelVizWriteRecord(stream, meter));
        }
    }
    QEL_CHECK(stream.writeValue(int32_t(0)));
    return nullptr;
}

} // namespace qel
