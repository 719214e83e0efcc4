#include "platform/ui/qt_message_target.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <condition_variable>

#include "platform/sync/tsan_handoff.h"



namespace platform {

struct QtMessageTarget::PendingSend {
    std::mutex mutex;
    std::condition_variable done_signal;
    bool done = false;
    intptr_t result = 0;

    void Finish(intptr_t value) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (done) return;
            result = value;
            done = true;
        }
        done_signal.notify_all();
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

QtMessageTarget::QtMessageTarget(MessageHandler handler, QObject* parent)
    : QObject(parent), handler_(std::move(handler)) {}

QtMessageTarget::~QtMessageTarget() { Close(); }

void QtMessageTarget::Close() {
    std::set<std::shared_ptr<PendingSend>> waiting;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        waiting.swap(pending_);
    }
    for (const auto& pending : waiting) pending->Finish(0);
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
    std::unique_lock<std::mutex> lock(pending->mutex);
    pending->done_signal.wait(lock, [&] { return pending->done; });
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
            if (pending) pending->Finish(0);
            return true;
        }
    }
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
