#include "platform/ui/qt_message_target.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <condition_variable>

#include "platform/sync/tsan_handoff.h"

namespace platform {

// Queued -> Running -> Done when handled; Queued -> Done when withdrawn (closed, or not picked up in time).
struct QtMessageTarget::PendingSend {
    enum class State { Queued, Running, Done };
    std::mutex mutex;
    std::condition_variable done_signal;
    State state = State::Queued;
    intptr_t result = 0;

    // The GUI thread takes the message; false when it was withdrawn first.
    bool Begin() {
        std::lock_guard<std::mutex> lock(mutex);
        if (state != State::Queued) return false;
        state = State::Running;
        return true;
    }
    void Finish(intptr_t value) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            result = value;
            state = State::Done;
        }
        done_signal.notify_all();
    }
    bool Withdraw() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (state != State::Queued) return false;
            result = 0;
            state = State::Done;
        }
        done_signal.notify_all();
        return true;
    }
};

namespace {

const QEvent::Type kMessageEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

class MessageEvent : public QEvent {
  public:
    MessageEvent(WindowMessage message, std::shared_ptr<QtMessageTarget::PendingSend> pending)
        : QEvent(kMessageEventType), message_(std::move(message)), pending_(std::move(pending)) {}
    const WindowMessage& Message() const { return message_; }
    const std::shared_ptr<QtMessageTarget::PendingSend>& Pending() const { return pending_; }

  private:
    WindowMessage message_;
    std::shared_ptr<QtMessageTarget::PendingSend> pending_;  // null for a posted message
};

}  // namespace

QtMessageTarget::QtMessageTarget(MessageHandler handler, QObject* parent,
                                 std::chrono::milliseconds pickup_bound)
    : QObject(parent), handler_(std::move(handler)), pickup_bound_(pickup_bound) {}

QtMessageTarget::~QtMessageTarget() { Close(); }

void QtMessageTarget::Close() {
    std::set<std::shared_ptr<PendingSend>> waiting;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        waiting.swap(pending_);
    }
    for (const auto& pending : waiting) pending->Withdraw();
}

intptr_t QtMessageTarget::Handle(const WindowMessage& message) {
    if (message.message == WM_RUNONWINDOWTHREAD) return message.call ? message.call() : 0;
    return handler_ ? handler_(message) : 0;
}

void QtMessageTarget::PostMessage(const WindowMessage& message) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_) return;
    }
    // The event queue owns the event and deletes it after delivery.
    auto* event = new MessageEvent(message, nullptr);
    VELLUMO_TSAN_PUBLISH(event);
    QCoreApplication::postEvent(this, event);
}

intptr_t QtMessageTarget::SendMessage(const WindowMessage& message) {
    if (QThread::currentThread() == thread()) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (closed_) return 0;
        }
        return Handle(message);
    }
    auto pending = std::make_shared<PendingSend>();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_) return 0;
        pending_.insert(pending);
    }
    auto* event = new MessageEvent(message, pending);
    VELLUMO_TSAN_PUBLISH(event);
    QCoreApplication::postEvent(this, event);
    using State = PendingSend::State;
    std::unique_lock<std::mutex> lock(pending->mutex);
    if (!pending->done_signal.wait_for(lock, pickup_bound_,
                                       [&] { return pending->state != State::Queued; })) {
        pending->state = State::Done;  // withdrawn: the GUI thread will find it gone and not run it
        pending->result = 0;
        lock.unlock();
        std::lock_guard<std::mutex> targets(mutex_);
        pending_.erase(pending);
        return 0;
    }
    pending->done_signal.wait(lock, [&] { return pending->state == State::Done; });
    return pending->result;
}

bool QtMessageTarget::event(QEvent* event) {
    VELLUMO_TSAN_RECEIVE(event);  // our events were published before the queue took them
    if (event->type() != kMessageEventType) return QObject::event(event);
    auto* message_event = static_cast<MessageEvent*>(event);
    const auto& pending = message_event->Pending();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_) {
            if (pending) pending->Withdraw();
            return true;
        }
    }
    if (pending && !pending->Begin()) return true;  // its sender stopped waiting
    intptr_t result = Handle(message_event->Message());
    if (pending) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            pending_.erase(pending);
        }
        pending->Finish(result);
    }
    return true;
}

}  // namespace platform
