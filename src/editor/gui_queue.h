// Hands work from the interpreter thread to the GUI thread in call order.
// Calls from the GUI thread itself run at once, after whatever is still
// queued. Output lines travel as data, so a burst of them is appended in one
// go instead of one event each. The queue is bounded: a run that writes
// faster than the window can show waits, and the window takes what is queued
// in slices, so its own input and timers are served in between.
#pragma once

#include <QEvent>
#include <QObject>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct OutputLine {
    std::string text;
    bool enforceLimit = false;
};

class GuiCallQueue : public QObject {
public:
    // sink appends a batch of output lines to the pane.
    GuiCallQueue(QObject* parent, std::function<void(std::vector<OutputLine>&)> sink);
    ~GuiCallQueue() override;

    bool OnGuiThread() const;

    void Call(std::function<void()> f);
    // Returns once f has run on the GUI thread; false when the queue was shut
    // down first and f did not run.
    bool CallAndWait(std::function<void()> f);
    // From the interpreter thread, waits while the queue is full; the wait
    // ends early when giveUp() says so (a stopped run), up to a hard bound.
    void Output(std::string line, bool enforceLimit, const std::function<bool()>& giveUp = {});
    // Posts event to receiver once everything queued before it has run.
    void Post(QObject* receiver, QEvent* event);

    // Runs what is queued. Re-entrant: a call that opens a modal box lets the
    // box's loop go on with the rest.
    void Drain();

    // What the queue holds before a writer waits. A stopped run may go on to
    // twice this, so that it reaches its next stop test without waiting.
    static constexpr size_t kMaxItems = 250;
    static constexpr size_t kMaxBytes = size_t(256) << 10;
    // How long one drain event may run before the window's other events.
    static constexpr std::chrono::milliseconds kSlice{10};
    // From now on nothing queued runs: waiting callers return, posts are
    // dropped. For the window's teardown.
    void ShutDown();
    bool IsShutDown() const;

protected:
    bool event(QEvent* e) override;

private:
    struct Waiter {
        std::mutex m;
        std::condition_variable cv;
        bool done = false;
        bool ran = false;
    };
    struct Item {
        std::function<void()> f;
        OutputLine line;
        bool isOutput = false;
        QObject* receiver = nullptr;
        QEvent* event = nullptr;
        std::shared_ptr<Waiter> waiter;
    };

    void Push(Item item);
    static void Finish(const std::shared_ptr<Waiter>& w, bool ran);
    // Runs queued items until none is left (true) or until deadline.
    bool Run(std::chrono::steady_clock::time_point deadline);
    bool Full(size_t factor) const;
    // Called with the lock held once items were taken off the queue.
    void Taken(size_t bytes);

    mutable std::mutex mutex_;
    std::deque<Item> items_;
    size_t bytes_ = 0;  // output text in items_
    std::condition_variable room_;
    bool scheduled_ = false;
    bool shutDown_ = false;
    std::function<void(std::vector<OutputLine>&)> sink_;
};
