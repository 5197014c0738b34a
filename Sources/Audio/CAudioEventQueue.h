#pragma once

#include <cstdint>
#include <cstring>

#include "Core/CCheckedObject.h"

namespace qel {

// One event of a host block: a MIDI message (kind 0) or a host parameter value (kind 1).
struct SAudioEvent {
    int32_t position = 0;
    int32_t kind = 0;
    int32_t fields[4] = {};

    static SAudioEvent midi(int32_t position, uint8_t status, uint8_t data1, uint8_t data2) {
        return {position, 0, {status >> 4, status & 15, data1 & 127, data2 & 127}};
    }
    static SAudioEvent param(int32_t position, int32_t index, double value) {
        SAudioEvent event{position, 1, {index, 0, 0, 0}};
        std::memcpy(&event.fields[2], &value, sizeof value);
        return event;
    }
    int32_t paramIndex() const { return fields[0]; }
    double paramValue() const {
        double value;
        std::memcpy(&value, &fields[2], sizeof value);
        return value;
    }
};
static_assert(sizeof(SAudioEvent) == 24);

// The events of the current host block, in arrival order until sorted. Room for two events inline;
// growth happens only when a host sends more events than ever before.
class CAudioEventQueue : public CCheckedObject {
public:
    ~CAudioEventQueue() override;

    void append(const SAudioEvent& event);
    // By position; equal positions keep no particular order. Allocates nothing.
    void sort();
    void clear() { m_count = 0; }

    int32_t count() const { return m_count; }
    int32_t capacity() const { return m_capacity; }
    const SAudioEvent& operator[](int32_t index) const { return m_items[index]; }

private:
    SAudioEvent m_inline[2];
    SAudioEvent* m_items = m_inline;
    int32_t m_count = 0;
    int32_t m_capacity = 2;
};

} // namespace qel
