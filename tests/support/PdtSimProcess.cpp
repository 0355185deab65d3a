#include "PdtSimProcess.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

#include "TestSupport.h"

namespace tolvane::test {

PdtSimProcess::PdtSimProcess(const std::string& prefix, int port, const std::string& stateJson,
                             const std::vector<std::string>& extraArgs)
    : statePath_(prefix + "/pdt-state.json") {
    WriteFile(statePath_, stateJson);
    std::vector<std::string> args = {BinaryDir() + "/pdt-sim", "--prefix", prefix, "--port", std::to_string(port),
                                     "--state", statePath_};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    int fds[2];
    if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        dup2(fds[1], 2);
        close(fds[0]);
        close(fds[1]);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(fds[1]);
    stderrFd_ = fds[0];
    // Wait for the ready line: the simulator prints it after the link exists.
    std::string seen;
    char c;
    while (seen.find("ready:") == std::string::npos || seen.back() != '\n') {
        ssize_t n = read(stderrFd_, &c, 1);
        if (n <= 0) {
            close(stderrFd_);
            stderrFd_ = -1;
            WaitChild(pid_);
            pid_ = -1;
            throw std::runtime_error("pdt-sim did not become ready: " + seen);
        }
        seen.push_back(c);
    }
    log_ = seen;
    reader_ = std::thread([this] {
        char buffer[1024];
        ssize_t n;
        while ((n = read(stderrFd_, buffer, sizeof buffer)) > 0) {
            std::lock_guard guard(mutex_);
            log_.append(buffer, size_t(n));
        }
    });
}

int PdtSimProcess::Stop() {
    if (pid_ < 0) return -1;
    kill(pid_, SIGTERM);
    int status = WaitChild(pid_);
    pid_ = -1;
    if (reader_.joinable()) reader_.join();
    if (stderrFd_ >= 0) close(stderrFd_);
    stderrFd_ = -1;
    return status;
}

PdtSimProcess::~PdtSimProcess() { Stop(); }

std::string PdtSimProcess::Log() const {
    std::lock_guard guard(mutex_);
    return log_;
}

}  // namespace tolvane::test
