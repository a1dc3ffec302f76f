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

} // namespace

void AcquirePostedEvent(const QEvent* Event) {
#if defined(__SANITIZE_THREAD__)
    __tsan_acquire(const_cast<QEvent*>(Event));
#else
    (void)Event;
#endif
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
