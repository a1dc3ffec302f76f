#include "ui/shell/window_sink.h"

#include <QCoreApplication>

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
    QCoreApplication::postEvent(FTarget, new TWindowMessageEvent(Msg, WParam, LParam));
}
