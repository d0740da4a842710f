// A thread object in the manner of the class library's thread class: created
// suspended or not, started once, runs Execute on its own thread.
#pragma once

#include <atomic>
#include <thread>

namespace platform {

class Thread {
public:
    explicit Thread(bool createSuspended);
    virtual ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Starts a thread created suspended; later calls do nothing.
    void Resume();
    // Blocks until Execute has returned; returns at once when never started.
    void WaitFor();
    bool Finished() const { return finished_.load(); }
    bool Started() const { return started_.load(); }

protected:
    virtual void Execute() = 0;
    // Derived destructors call this first, so that Execute never runs on a
    // half-destroyed object.
    void JoinBeforeDestruction() { WaitFor(); }

private:
    std::thread thread_;
    std::atomic<bool> started_{false};
    std::atomic<bool> finished_{false};
};

}  // namespace platform
