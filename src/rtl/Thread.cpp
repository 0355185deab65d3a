#include "rtl/Thread.h"

namespace tolvane {

TThread::TThread() = default;

TThread::~TThread() { StopBeforeDestruction(); }

void TThread::Start() {
    std::lock_guard lock(mutex_);
    if (started_) return;
    started_ = true;
    // The new thread takes mutex_ before it touches thread_, so the
    // assignment below is complete by then.
    thread_ = std::thread(&TThread::Run, this);
}

void TThread::SetFreeOnTerminate(bool value) {
    std::lock_guard lock(mutex_);
    freeOnTerminate_ = value;
}

void TThread::WaitFor() {
    std::unique_lock lock(mutex_);
    if (!started_ || std::this_thread::get_id() == ownId_) return;
    finishedCv_.wait(lock, [this] { return finished_; });
}

void TThread::StopBeforeDestruction() {
    std::unique_lock lock(mutex_);
    if (!started_ || std::this_thread::get_id() == ownId_) return;
    destroying_ = true;
    terminated_.store(true);
    lock.unlock();
    if (thread_.joinable()) thread_.join();
}

void TThread::Run() {
    {
        std::lock_guard lock(mutex_);
        ownId_ = std::this_thread::get_id();
    }
    try {
        Execute();
    } catch (...) {
        // An exception ends the thread only.
    }
    bool freeSelf;
    {
        std::lock_guard lock(mutex_);
        finished_ = true;
        freeSelf = freeOnTerminate_ && !destroying_;
        if (freeSelf) thread_.detach();
    }
    finishedCv_.notify_all();
    if (freeSelf) delete this;
}

}  // namespace tolvane
