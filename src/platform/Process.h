// Process and thread identity, sleeping and the monotonic clock.
#pragma once

#include <cstdint>

namespace tolvane::platform {

uint32_t GetCurrentProcessId();
uint32_t GetCurrentThreadId();
void Sleep(uint32_t milliseconds);
// Milliseconds of a monotonic clock; never goes back, unaffected by the
// wall clock (and so by midnight or a clock change).
uint64_t GetTickCount64();

}  // namespace tolvane::platform
