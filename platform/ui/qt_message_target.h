#pragma once
// Window messages over the toolkit's event queue. The target belongs to the thread that creates it (the GUI
// thread); its handler runs there. A sender on another thread blocks until the handler has run, or until
// Close() releases it, so a worker waiting on a window that goes away never hangs.
// Keep the object alive as long as any thread may still hold its pointer; Close() it when the window goes.

#include <QObject>
#include <memory>
#include <mutex>
#include <set>

#include "platform/window/window_messages.h"

namespace platform {

class QtMessageTarget : public QObject, public MessageTarget {
public:
    explicit QtMessageTarget(MessageHandler handler, QObject* parent = nullptr);
    ~QtMessageTarget() override;

    void PostMessage(const WindowMessage& message) override;
    intptr_t SendMessage(const WindowMessage& message) override;

    // From now on posts are dropped and sends return 0; senders waiting now are released with 0.
    void Close();

    struct PendingSend;

protected:
    bool event(QEvent* event) override;

private:
    intptr_t Handle(const WindowMessage& message);

    MessageHandler handler_;
    std::mutex mutex_;
    bool closed_ = false;
    std::set<std::shared_ptr<PendingSend>> pending_;
};

}  // namespace platform
