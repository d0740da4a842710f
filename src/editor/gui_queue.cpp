#include "editor/gui_queue.h"

#include <QCoreApplication>
#include <QThread>
#include <chrono>

namespace {

QEvent::Type DrainEventType()
{
    static const QEvent::Type type = QEvent::Type(QEvent::registerEventType());
    return type;
}

}  // namespace

GuiCallQueue::GuiCallQueue(QObject* parent, std::function<void(std::vector<OutputLine>&)> sink)
    : QObject(parent), sink_(std::move(sink))
{
}

GuiCallQueue::~GuiCallQueue()
{
    ShutDown();
}

bool GuiCallQueue::OnGuiThread() const
{
    return QThread::currentThread() == thread();
}

void GuiCallQueue::Finish(const std::shared_ptr<Waiter>& w, bool ran)
{
    if (!w)
        return;
    {
        std::lock_guard<std::mutex> lock(w->m);
        w->done = true;
        w->ran = ran;
    }
    w->cv.notify_all();
}

void GuiCallQueue::Push(Item item)
{
    bool post = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!shutDown_) {
            bytes_ += item.line.text.size();
            items_.push_back(std::move(item));
            post = !scheduled_;
            scheduled_ = true;
            item = Item();
        }
    }
    if (item.waiter || item.event) {
        // Refused after shut-down.
        Finish(item.waiter, false);
        delete item.event;
        return;
    }
    if (post)
        QCoreApplication::postEvent(this, new QEvent(DrainEventType()));
}

void GuiCallQueue::Call(std::function<void()> f)
{
    if (OnGuiThread()) {
        Drain();
        f();
        return;
    }
    Item item;
    item.f = std::move(f);
    Push(std::move(item));
}

bool GuiCallQueue::CallAndWait(std::function<void()> f)
{
    if (OnGuiThread()) {
        Drain();
        f();
        return true;
    }
    Item item;
    item.f = std::move(f);
    item.waiter = std::make_shared<Waiter>();
    auto w = item.waiter;
    Push(std::move(item));
    std::unique_lock<std::mutex> lock(w->m);
    w->cv.wait(lock, [&w] { return w->done; });
    return w->ran;
}

bool GuiCallQueue::Full(size_t factor) const
{
    return items_.size() >= factor * kMaxItems || bytes_ >= factor * kMaxBytes;
}

void GuiCallQueue::Output(std::string line, bool enforceLimit, const std::function<bool()>& giveUp)
{
    if (OnGuiThread()) {
        Drain();
        std::vector<OutputLine> one{{std::move(line), enforceLimit}};
        sink_(one);
        return;
    }
    {
        // The stop flag is not signalled to the queue: it is looked at every
        // few milliseconds.
        std::unique_lock<std::mutex> lock(mutex_);
        while (!shutDown_ && Full(1) && !(giveUp && giveUp() && !Full(2)))
            room_.wait_for(lock, std::chrono::milliseconds(5));
    }
    Item item;
    item.isOutput = true;
    item.line = {std::move(line), enforceLimit};
    Push(std::move(item));
}

void GuiCallQueue::Post(QObject* receiver, QEvent* event)
{
    if (OnGuiThread()) {
        Drain();
        QCoreApplication::postEvent(receiver, event);
        return;
    }
    Item item;
    item.receiver = receiver;
    item.event = event;
    Push(std::move(item));
}

void GuiCallQueue::Drain()
{
    Run(std::chrono::steady_clock::time_point::max());
}

void GuiCallQueue::Taken(size_t bytes)
{
    bytes_ -= bytes;
    room_.notify_all();
}

bool GuiCallQueue::Run(std::chrono::steady_clock::time_point deadline)
{
    // Lines go to the pane in batches of this many, so the deadline is
    // looked at between them.
    constexpr size_t kBatch = 200;
    for (;;) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (items_.empty()) {
            scheduled_ = false;
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        if (items_.front().isOutput) {
            std::vector<OutputLine> batch;
            size_t bytes = 0;
            while (!items_.empty() && items_.front().isOutput && batch.size() < kBatch) {
                bytes += items_.front().line.text.size();
                batch.push_back(std::move(items_.front().line));
                items_.pop_front();
            }
            Taken(bytes);
            lock.unlock();
            sink_(batch);
            continue;
        }
        Item item = std::move(items_.front());
        items_.pop_front();
        Taken(0);
        lock.unlock();
        if (item.event) {
            QCoreApplication::postEvent(item.receiver, item.event);
            // What came after the message runs after its handler: the rest
            // waits for a drain event posted behind it.
            lock.lock();
            if (!items_.empty()) {
                lock.unlock();
                QCoreApplication::postEvent(this, new QEvent(DrainEventType()));
            } else {
                scheduled_ = false;
            }
            return true;
        }
        if (item.f)
            item.f();
        Finish(item.waiter, true);
    }
}

void GuiCallQueue::ShutDown()
{
    std::deque<Item> dropped;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        shutDown_ = true;
        dropped.swap(items_);
        bytes_ = 0;
    }
    room_.notify_all();
    for (auto& item : dropped) {
        Finish(item.waiter, false);
        delete item.event;
    }
}

bool GuiCallQueue::IsShutDown() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return shutDown_;
}

bool GuiCallQueue::event(QEvent* e)
{
    if (e->type() == DrainEventType()) {
        // The rest of a flood waits for the next event, behind the input and
        // timers that came meanwhile.
        if (!Run(std::chrono::steady_clock::now() + kSlice))
            QCoreApplication::postEvent(this, new QEvent(DrainEventType()));
        return true;
    }
    return QObject::event(e);
}
