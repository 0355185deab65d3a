#include "TestSupport.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tolvane::test {

TempPrefix::TempPrefix() {
    char pattern[] = "/tmp/tolvane-test-XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
    if (const char* old = std::getenv("TOLVANE_PREFIX")) {
        hadPrefix_ = true;
        oldPrefix_ = old;
    }
    setenv("TOLVANE_PREFIX", path_.c_str(), 1);
}

TempPrefix::~TempPrefix() {
    if (hadPrefix_) setenv("TOLVANE_PREFIX", oldPrefix_.c_str(), 1);
    else unsetenv("TOLVANE_PREFIX");
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string TempPrefix::DriveC(const std::string& relative) const { return path_ + "/drive_c/" + relative; }

ScopedEnv::ScopedEnv(std::string name, const std::string& value) : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) {
        had_ = true;
        old_ = old;
    }
    setenv(name_.c_str(), value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
    if (had_) setenv(name_.c_str(), old_.c_str(), 1);
    else unsetenv(name_.c_str());
}

std::string BinaryDir() {
    if (const char* dir = std::getenv("TOLVANE_BIN"); dir && *dir) return dir;
    return std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
}

int ForkChild(const std::function<int()>& body) {
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        int status = 100;
        try {
            status = body();
        } catch (...) {
            status = 101;
        }
        std::fflush(nullptr);
        _exit(status);
    }
    return pid;
}

int WaitChild(int pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) < 0) return -1;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

CommandResult RunCommand(const std::string& command) {
    char errName[] = "/tmp/tolvane-err-XXXXXX";
    int errFd = mkstemp(errName);
    if (errFd < 0) throw std::runtime_error("mkstemp failed");
    close(errFd);
    CommandResult result;
    FILE* pipe = popen((command + " 2>" + errName).c_str(), "r");
    if (!pipe) throw std::runtime_error("popen failed");
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, n);
    int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.err = ReadFile(errName);
    unlink(errName);
    return result;
}

std::string ReadFile(const std::string& nativePath) {
    std::ifstream in(nativePath, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteFile(const std::string& nativePath, const std::string& content) {
    std::filesystem::create_directories(std::filesystem::path(nativePath).parent_path());
    std::ofstream out(nativePath, std::ios::binary | std::ios::trunc);
    out << content;
}

}  // namespace tolvane::test
