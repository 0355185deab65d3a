// Processes: identity, sleeping, the monotonic clock, and running a command
// line to its end.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tolvane::platform {

uint32_t GetCurrentProcessId();
uint32_t GetCurrentThreadId();
void Sleep(uint32_t milliseconds);
// Milliseconds of a monotonic clock; never goes back, unaffected by the
// wall clock (and so by midnight or a clock change).
uint64_t GetTickCount64();

constexpr uint32_t INFINITE = 0xFFFFFFFF;

// A command line split as Windows splits it: the program name by
// CreateProcess's rule (up to the closing quote, or up to a blank), the
// arguments by CommandLineToArgvW's rules (2n backslashes before a quote
// give n and the quote toggles quoting, 2n+1 give n and a literal quote,
// "" inside quotes is a literal quote, other backslashes are literal).
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// The native file a program name starts: a name with a folder is that path;
// a bare name is looked up, letter case ignored, in the prefix's
// C:\windows\system32 and then exactly in $PATH. Empty when not found.
std::string FindProgram(const std::string& name);

// The operating-system calls behind RunAndWait, replaceable by tests.
struct ProcessHandle {
    int pid = -1;
    int fd = -1;  // the process descriptor: waitable and closable, like a process handle
};
enum class WaitResult { Signaled, Timeout, Failed };
struct ProcessCalls {
    // Starts the program with the arguments (argv[0] included), no inherited
    // descriptors besides standard input, output and error.
    std::function<bool(const std::string& program, const std::vector<std::string>& argv, ProcessHandle& out)> CreateProcess;
    std::function<WaitResult(const ProcessHandle&, uint32_t timeoutMs)> WaitForSingleObject;
    std::function<bool(const ProcessHandle&, uint32_t& exitCode)> GetExitCodeProcess;
    std::function<bool(const ProcessHandle&)> TerminateProcess;
    std::function<bool(const ProcessHandle&)> CloseHandle;
};
ProcessCalls& CurrentProcessCalls();
ProcessCalls DefaultProcessCalls();

// Runs the command line (system text) with the caller's folder and
// environment, waits for it and returns its exit code (128 + the signal
// for a process killed by a signal). Raises Exception "Error during
// CreateProcess", "Error in WaitForSingleObject", "Error in
// GetExitCodeProcess" or "Error in process Close Handle". With a time
// limit, a process still running when it passes is stopped and
// "Timeout in WaitForSingleObject: ..." is raised.
uint32_t RunAndWait(const std::string& commandLine, uint32_t timeoutMs = INFINITE);

}  // namespace tolvane::platform
