// Runs pdt-sim for a test: writes its state file, starts it on a prefix and
// returns once the simulator says it is ready (its line is published).
#pragma once

#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tolvane::test {

class PdtSimProcess {
public:
    // stateJson (UTF-8) goes to <prefix>/pdt-state.json; extraArgs follow
    // the required options (for instance "--fault", "silent"). Throws with
    // the simulator's own words when it does not become ready.
    PdtSimProcess(const std::string& prefix, int port, const std::string& stateJson,
                  const std::vector<std::string>& extraArgs = {});
    ~PdtSimProcess();
    PdtSimProcess(const PdtSimProcess&) = delete;
    PdtSimProcess& operator=(const PdtSimProcess&) = delete;

    // Stops the simulator (it writes its state first); returns its exit status.
    int Stop();
    const std::string& StatePath() const { return statePath_; }
    // What the simulator said on standard error so far.
    std::string Log() const;

private:
    int pid_ = -1;
    int stderrFd_ = -1;
    std::string statePath_;
    mutable std::mutex mutex_;
    std::string log_;
    std::thread reader_;
};

}  // namespace tolvane::test
