// An auto-reset signal that remembers a Set until the next Wait consumes it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace platform {

class AutoResetEvent {
public:
    void Set()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            signalled_ = true;
        }
        cond_.notify_all();
    }
    void Reset()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        signalled_ = false;
    }
    void Wait()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        cond_.wait(lock, [this] { return signalled_; });
        signalled_ = false;
    }
    // Returns false when the time ran out before a Set.
    bool WaitFor(std::chrono::milliseconds timeout)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!cond_.wait_for(lock, timeout, [this] { return signalled_; }))
            return false;
        signalled_ = false;
        return true;
    }

private:
    std::mutex mutex_;
    std::condition_variable cond_;
    bool signalled_ = false;
};

}  // namespace platform
