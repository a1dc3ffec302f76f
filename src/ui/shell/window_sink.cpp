#include "ui/shell/window_sink.h"

#include <QCoreApplication>

#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void* Address);
extern "C" void __tsan_release(void* Address);
#endif

namespace {

void ReleasePostedEvent(const QEvent* Event) {
#if defined(__SANITIZE_THREAD__)
    __tsan_release(const_cast<QEvent*>(Event));
#else
    (void)Event;
#endif
}

/// A function handed to another thread. Its destructor acquires as well: when the poster goes
/// with calls still pending, Qt frees them unrun, and the function's captures were written by the
/// posting thread.
class TCallEvent : public QEvent {
public:
    explicit TCallEvent(std::function<void()> Fn) : QEvent(Type()), Fn(std::move(Fn)) {}
    ~TCallEvent() override { AcquirePostedEvent(this); }
    TCallEvent(const TCallEvent&) = delete;
    TCallEvent& operator=(const TCallEvent&) = delete;

    static QEvent::Type Type() {
        static const auto T = static_cast<QEvent::Type>(QEvent::registerEventType());
        return T;
    }

    std::function<void()> Fn;
};

} // namespace

void AcquirePostedEvent(const QEvent* Event) {
#if defined(__SANITIZE_THREAD__)
    __tsan_acquire(const_cast<QEvent*>(Event));
#else
    (void)Event;
#endif
}

void TCallPoster::Post(std::function<void()> Fn) {
    auto* Event = new TCallEvent(std::move(Fn)); // owned by Qt once posted
    ReleasePostedEvent(Event);
    QCoreApplication::postEvent(this, Event);
}

bool TCallPoster::event(QEvent* Event) {
    AcquirePostedEvent(Event); // before any read of the event, its type included
    if (Event->type() != TCallEvent::Type())
        return QObject::event(Event);
    // Moved out first: the call may destroy this poster, and with it any events still queued.
    const std::function<void()> Fn = std::move(static_cast<TCallEvent*>(Event)->Fn);
    if (Fn)
        Fn();
    return true;
}

QEvent::Type TWindowMessageEvent::EventType() {
    static const auto Type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return Type;
}

TQtWindowSink::~TQtWindowSink() {
    Unregister();
}

THandle TQtWindowSink::Register() {
    if (!FHandle)
        FHandle = RegisterWindow(this);
    return FHandle;
}

void TQtWindowSink::Unregister() {
    if (FHandle) {
        UnregisterWindow(FHandle);
        FHandle = 0;
    }
}

void TQtWindowSink::PostMessage(unsigned Msg, std::uintptr_t WParam, std::intptr_t LParam) {
    // postEvent is safe from any thread; the event is delivered on the target's thread.
    auto* Event = new TWindowMessageEvent(Msg, WParam, LParam); // owned by Qt once posted
    ReleasePostedEvent(Event);
    QCoreApplication::postEvent(FTarget, Event);
}
