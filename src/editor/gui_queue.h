// Hands work from the interpreter thread to the GUI thread in call order.
// Calls from the GUI thread itself run at once, after whatever is still
// queued. Output lines travel as data, so a burst of them is appended in one
// go instead of one event each.
#pragma once

#include <QEvent>
#include <QObject>
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
    void Output(std::string line, bool enforceLimit);
    // Posts event to receiver once everything queued before it has run.
    void Post(QObject* receiver, QEvent* event);

    // Runs what is queued. Re-entrant: a call that opens a modal box lets the
    // box's loop go on with the rest.
    void Drain();
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

    mutable std::mutex mutex_;
    std::deque<Item> items_;
    bool scheduled_ = false;
    bool shutDown_ = false;
    std::function<void(std::vector<OutputLine>&)> sink_;
};
