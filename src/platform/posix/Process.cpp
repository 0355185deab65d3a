#include "platform/Process.h"

#include <unistd.h>

#include <chrono>
#include <thread>

namespace tolvane::platform {

uint32_t GetCurrentProcessId() { return uint32_t(getpid()); }
uint32_t GetCurrentThreadId() { return uint32_t(gettid()); }

void Sleep(uint32_t milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

uint64_t GetTickCount64() {
    using namespace std::chrono;
    return uint64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace tolvane::platform
