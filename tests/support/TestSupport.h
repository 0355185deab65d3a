// Shared helpers for the tests: a private prefix folder and child processes.
#pragma once

#include <functional>
#include <string>

namespace tolvane::test {

// Creates a fresh prefix folder and points $TOLVANE_PREFIX (and the mutex
// folder) at it for the life of the object.
class TempPrefix {
public:
    TempPrefix();
    ~TempPrefix();
    const std::string& Path() const { return path_; }
    // Native path of a file under the prefix's drive C ("TORV/PDT.log").
    std::string DriveC(const std::string& relative) const;

private:
    std::string path_;
    std::string oldPrefix_;
    bool hadPrefix_ = false;
};

// Sets an environment variable for the life of the object, then puts back
// what was there (or removes it).
class ScopedEnv {
public:
    ScopedEnv(std::string name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::string old_;
    bool had_ = false;
};

// The folder that holds the built binaries (libTolvane.so, tools).
std::string BinaryDir();

// Forks a child that runs body and exits with its return value; returns the pid.
int ForkChild(const std::function<int()>& body);
// Waits for a child; returns its exit status, or 128 + signal.
int WaitChild(int pid);

// Runs a shell command, capturing standard output and error.
struct CommandResult {
    int status = -1;
    std::string out;
    std::string err;
};
CommandResult RunCommand(const std::string& command);

std::string ReadFile(const std::string& nativePath);
void WriteFile(const std::string& nativePath, const std::string& content);

}  // namespace tolvane::test
