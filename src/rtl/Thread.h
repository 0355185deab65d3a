// The platform's thread class: a derived class overrides Execute, which runs
// in a thread of its own once Start is called. A thread may free itself when
// Execute returns (FreeOnTerminate). Terminate only raises a flag that
// Execute polls.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#pragma GCC visibility push(default)

namespace tolvane {

class TThread {
public:
    TThread();
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;
    // Freeing a running thread from another thread terminates it and waits
    // for it; it then does not free itself a second time.
    virtual ~TThread();

    // Starts Execute in a new thread; a second call does nothing.
    void Start();
    void Terminate() { terminated_.store(true); }
    bool Terminated() const { return terminated_.load(); }
    // Waits until Execute has returned. Not for a thread that frees itself.
    void WaitFor();
    // Set before Start when the object is to free itself after Execute.
    void SetFreeOnTerminate(bool value);

protected:
    virtual void Execute() = 0;
    // A derived destructor calls this first, so that a running Execute never
    // sees the derived members go. Does nothing in the thread itself.
    void StopBeforeDestruction();

private:
    void Run();

    std::atomic<bool> terminated_{false};
    std::mutex mutex_;
    std::condition_variable finishedCv_;
    std::thread thread_;
    std::thread::id ownId_;
    bool started_ = false;
    bool finished_ = false;
    bool destroying_ = false;
    bool freeOnTerminate_ = false;
};

}  // namespace tolvane

#pragma GCC visibility pop
