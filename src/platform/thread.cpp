#include "platform/thread.h"

namespace platform {

Thread::Thread(bool createSuspended)
{
    if (!createSuspended)
        Resume();
}

Thread::~Thread()
{
    WaitFor();
}

void Thread::Resume()
{
    bool expected = false;
    if (!started_.compare_exchange_strong(expected, true))
        return;
    thread_ = std::thread([this] {
        Execute();
        finished_.store(true);
    });
}

void Thread::WaitFor()
{
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id())
        thread_.join();
}

}  // namespace platform
