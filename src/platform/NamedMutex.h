// A machine-wide named mutex with the semantics of a Windows mutex:
// shared by name between processes and accounts, owned by a thread,
// re-entrant for its owner, and taken over when its owner dies (the wait
// then succeeds; the caller is not told, as the system never asks).
//
// Names are shared by every program using this scheme. "Global\name" and
// plain "name" denote the same mutex: this machine has one session.
#pragma once

#include <memory>
#include <string>

namespace tolvane::platform {

class NamedMutex {
public:
    // Creates or opens the mutex; nullptr when the system refuses (the last
    // error tells why).
    static std::unique_ptr<NamedMutex> Create(const std::string& name);
    ~NamedMutex();

    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;

    // Waits without time limit.
    void Wait();
    // Waits at most timeoutMs; false on time-out.
    bool TryWait(int timeoutMs);
    // False (ERROR_NOT_OWNER) when the calling thread does not own it.
    bool Release();

    const std::string& Name() const { return name_; }

    struct State;

private:
    NamedMutex(std::string name, std::shared_ptr<State> state);
    std::string name_;
    std::shared_ptr<State> state_;
};

// The folder that holds the lock files (sticky, world-writable).
std::string NamedMutexDirectory();

}  // namespace tolvane::platform
