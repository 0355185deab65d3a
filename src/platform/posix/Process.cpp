#include "platform/Process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/Paths.h"
#include "platform/SystemError.h"
#include "rtl/Encoding.h"
#include "rtl/Exception.h"
#include "rtl/Format.h"
#include "rtl/Strings.h"

extern char** environ;

namespace tolvane::platform {

uint32_t GetCurrentProcessId() { return uint32_t(getpid()); }
uint32_t GetCurrentThreadId() { return uint32_t(gettid()); }

void Sleep(uint32_t milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

uint64_t GetTickCount64() {
    using namespace std::chrono;
    return uint64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view line) {
    std::vector<std::string> out;
    size_t i = 0, n = line.size();
    while (i < n && IsBlank(line[i])) ++i;
    if (i == n) return out;
    // The program name: no escapes; quotes only group.
    std::string program;
    bool quoted = false;
    for (; i < n && (quoted || !IsBlank(line[i])); ++i)
        if (line[i] == '"') quoted = !quoted;
        else program += line[i];
    out.push_back(program);
    while (true) {
        while (i < n && IsBlank(line[i])) ++i;
        if (i == n) break;
        std::string arg;
        quoted = false;
        while (i < n && (quoted || !IsBlank(line[i]))) {
            if (line[i] == '\\') {
                size_t slashes = 0;
                while (i < n && line[i] == '\\') ++slashes, ++i;
                if (i < n && line[i] == '"') {
                    arg.append(slashes / 2, '\\');
                    if (slashes % 2) arg += '"', ++i;
                } else {
                    arg.append(slashes, '\\');
                }
            } else if (line[i] == '"') {
                if (quoted && i + 1 < n && line[i + 1] == '"') arg += '"', i += 2;
                else quoted = !quoted, ++i;
            } else {
                arg += line[i++];
            }
        }
        out.push_back(arg);
    }
    return out;
}

std::string FindProgram(const std::string& name) {
    namespace fs = std::filesystem;
    if (name.empty()) return {};
    auto runnable = [](const fs::path& p) { return access(p.c_str(), X_OK) == 0 && !fs::is_directory(p); };
    if (name.find_first_of("/\\") != std::string::npos) {
        std::string path = NativePath(name);
        return runnable(path) ? path : std::string();
    }
    std::error_code ec;
    std::string utf8 = Cp1251ToUtf8(name);
    for (const auto& entry : fs::directory_iterator(NativePath("C:\\windows\\system32"), ec))
        if (AnsiSameText(entry.path().filename().string(), utf8) && runnable(entry.path())) return entry.path().string();
    const char* path = std::getenv("PATH");
    std::string_view dirs = path ? path : "";
    while (!dirs.empty()) {
        size_t colon = dirs.find(':');
        std::string dir(dirs.substr(0, colon));
        dirs = colon == std::string_view::npos ? std::string_view() : dirs.substr(colon + 1);
        fs::path candidate = fs::path(dir.empty() ? "." : dir) / utf8;
        if (runnable(candidate)) return candidate.string();
    }
    return {};
}

namespace {

bool PosixCreateProcess(const std::string& program, const std::vector<std::string>& argv, ProcessHandle& out) {
    // A close-on-exec pipe tells the parent whether exec succeeded: it reads
    // the child's errno, or end of file once the new program runs.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) return SetLastErrorFromErrno(errno), false;
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = fork();
    if (pid < 0) {
        int e = errno;
        close(report[0]), close(report[1]);
        return SetLastErrorFromErrno(e), false;
    }
    if (pid == 0) {
        // Nothing of the caller's (ports, log files, locks) is inherited.
        if (report[1] > 3) close_range(3, unsigned(report[1]) - 1, 0);
        close_range(unsigned(report[1]) + 1, ~0u, 0);
        execve(program.c_str(), args.data(), environ);
        int e = errno;
        (void)!write(report[1], &e, sizeof e);
        _exit(127);
    }
    close(report[1]);
    int childErrno = 0;
    ssize_t got;
    do got = read(report[0], &childErrno, sizeof childErrno);
    while (got < 0 && errno == EINTR);
    close(report[0]);
    if (got > 0) {
        waitpid(pid, nullptr, 0);
        return SetLastErrorFromErrno(childErrno), false;
    }
    int fd = int(syscall(SYS_pidfd_open, pid, 0));
    if (fd < 0) {
        int e = errno;
        kill(pid, SIGKILL), waitpid(pid, nullptr, 0);
        return SetLastErrorFromErrno(e), false;
    }
    out = {pid, fd};
    return true;
}

WaitResult PosixWait(const ProcessHandle& handle, uint32_t timeoutMs) {
    uint64_t deadline = timeoutMs == INFINITE ? 0 : GetTickCount64() + timeoutMs;
    while (true) {
        int wait = -1;
        if (timeoutMs != INFINITE) {
            uint64_t now = GetTickCount64();
            wait = now >= deadline ? 0 : int(std::min<uint64_t>(deadline - now, 1u << 30));
        }
        pollfd p{handle.fd, POLLIN, 0};
        int r = poll(&p, 1, wait);
        if (r > 0) return WaitResult::Signaled;
        if (r == 0) return WaitResult::Timeout;
        if (errno != EINTR) return SetLastErrorFromErrno(errno), WaitResult::Failed;
    }
}

bool PosixExitCode(const ProcessHandle& handle, uint32_t& code) {
    int status = 0;
    pid_t r;
    do r = waitpid(handle.pid, &status, 0);
    while (r < 0 && errno == EINTR);
    if (r < 0) return SetLastErrorFromErrno(errno), false;
    if (WIFEXITED(status)) code = uint32_t(WEXITSTATUS(status));
    else if (WIFSIGNALED(status)) code = 128 + uint32_t(WTERMSIG(status));
    else return SetLastError(ERROR_INVALID_HANDLE), false;
    return true;
}

bool PosixTerminate(const ProcessHandle& handle) {
    if (syscall(SYS_pidfd_send_signal, handle.fd, SIGKILL, nullptr, 0) != 0) return SetLastErrorFromErrno(errno), false;
    return true;
}

bool PosixClose(const ProcessHandle& handle) {
    if (close(handle.fd) != 0) return SetLastErrorFromErrno(errno), false;
    return true;
}

}  // namespace

ProcessCalls DefaultProcessCalls() { return {PosixCreateProcess, PosixWait, PosixExitCode, PosixTerminate, PosixClose}; }

ProcessCalls& CurrentProcessCalls() {
    static ProcessCalls calls = DefaultProcessCalls();
    return calls;
}

uint32_t RunAndWait(const std::string& commandLine, uint32_t timeoutMs) {
    ProcessCalls& os = CurrentProcessCalls();
    std::vector<std::string> argv;
    for (const auto& a : SplitCommandLine(commandLine)) argv.push_back(Cp1251ToUtf8(a));
    std::string program = argv.empty() ? std::string() : FindProgram(Utf8ToCp1251(argv[0]));
    ProcessHandle process;
    if (program.empty() || !os.CreateProcess(program, argv, process)) throw Exception("Error during CreateProcess");
    WaitResult waited = os.WaitForSingleObject(process, timeoutMs);
    if (waited == WaitResult::Timeout) {
        // Stopped and reaped, so that no process is left behind.
        os.TerminateProcess(process);
        os.WaitForSingleObject(process, INFINITE);
        uint32_t ignored;
        os.GetExitCodeProcess(process, ignored);
        os.CloseHandle(process);
        throw Exception(Format("Timeout in WaitForSingleObject: the process did not end within %d ms and was stopped",
                               {int64_t(timeoutMs)}));
    }
    if (waited == WaitResult::Failed) throw Exception("Error in WaitForSingleObject");
    uint32_t code = 0;
    if (!os.GetExitCodeProcess(process, code)) throw Exception("Error in GetExitCodeProcess");
    if (!os.CloseHandle(process)) throw Exception("Error in process Close Handle");
    return code;
}

}  // namespace tolvane::platform
