#pragma once
// Window messages over the toolkit's event queue. The target belongs to the thread that creates it (the GUI
// thread); its handler runs there. A sender on another thread blocks until the handler has run, so a
// "show this dialog and wait" request may legitimately wait as long as the person takes. What it never
// does is wait for ever on a GUI thread that cannot answer: a message the GUI thread has not begun to
// handle within the pickup bound (the GUI thread is stuck, most often waiting for this very sender) is
// withdrawn and never run, and the sender gets 0, as from a closed window. Close() withdraws every message
// not yet begun the same way; one being handled (a dialog open in it) still returns its own result, so a
// call running on the GUI thread never outlives the sender whose state it uses.
// Keep the object alive as long as any thread may still hold its pointer; Close() it when the window goes.

#include <QObject>
#include <chrono>
#include <memory>
#include <mutex>
#include <set>

#include "platform/window/window_messages.h"

namespace platform {

class QtMessageTarget : public QObject, public MessageTarget {
  public:
    // Far longer than any wait of a working GUI thread (a graph restart takes a second or two).
    static constexpr std::chrono::milliseconds kPickupBound{10000};

    explicit QtMessageTarget(MessageHandler handler, QObject* parent = nullptr,
                             std::chrono::milliseconds pickup_bound = kPickupBound);
    ~QtMessageTarget() override;

    void PostMessage(const WindowMessage& message) override;
    intptr_t SendMessage(const WindowMessage& message) override;

    // From now on posts are dropped and sends return 0; senders whose message is not being handled yet are
    // released with 0.
    void Close();

    struct PendingSend;

  protected:
    bool event(QEvent* event) override;

  private:
    intptr_t Handle(const WindowMessage& message);

    MessageHandler handler_;
    const std::chrono::milliseconds pickup_bound_;
    std::mutex mutex_;
    bool closed_ = false;
    std::set<std::shared_ptr<PendingSend>> pending_;
};

}  // namespace platform
