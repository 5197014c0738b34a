#pragma once

#include <cstdint>

#include "Core/CString.h"

namespace qel::platform {

// Monotonic high-resolution counter and its ticks per second.
int64_t performanceCounter();
int64_t performanceFrequency();
double secondsFromTicks(int64_t ticks);

int processorCount();
void sleepMilliseconds(int milliseconds);
uint64_t currentThreadId();

// Environment variable as UTF-8 text; empty when unset.
CString environmentVariable(const char* name);

// The last system error code of the calling thread (errno here).
int lastErrorCode();

} // namespace qel::platform
