#pragma once

#include "host/window_link.h"

#include <QEvent>
#include <QObject>

#include <atomic>
#include <cstdint>
#include <functional>

/// A message posted to a window, delivered as a queued event on the GUI thread.
class TWindowMessageEvent : public QEvent {
public:
    TWindowMessageEvent(unsigned Msg, std::uintptr_t WParam, std::intptr_t LParam)
        : QEvent(EventType()), Msg(Msg), WParam(WParam), LParam(LParam) {}
    /// The event type all posted window messages share.
    static QEvent::Type EventType();

    const unsigned Msg;
    const std::uintptr_t WParam;
    const std::intptr_t LParam;
};

/// Call first in the event() of a widget that receives posted window messages, with its event.
/// Qt hands a posted event from the posting thread to the receiving one under locks that
/// ThreadSanitizer cannot see (Qt is not instrumented); this makes the hand-off visible, so the
/// event's fields, written by the poster, are not reported as raced. Does nothing in other
/// builds.
void AcquirePostedEvent(const QEvent* Event);

/// Runs functions on the thread it lives on, posted from any thread: a watcher's or a package's
/// thread hands work to the GUI thread through it. Use it instead of a queued
/// QMetaObject::invokeMethod with a function object whenever the caller may be another thread:
/// there Qt shares the function object between the two threads under a reference count that
/// ThreadSanitizer cannot see, so freeing it on the posting thread looks like a race with its
/// call. Here the posted event carries the function and the hand-off is made visible.
/// Make the poster a child of the object whose members the functions use: when that object goes,
/// calls still pending go with it, unrun.
class TCallPoster : public QObject {
public:
    explicit TCallPoster(QObject* Parent = nullptr) : QObject(Parent) {}

    /// Queues Fn to run on the poster's thread, after the calls posted before it. Any thread,
    /// while the poster lives.
    void Post(std::function<void()> Fn);

protected:
    bool event(QEvent* Event) override;
};

/// Links a widget to the core's window registry: messages posted to its handle from any thread
/// arrive as TWindowMessageEvent in the widget's event(). The widget reports its visibility
/// with SetVisible. Register gives the handle; Unregister (also in the destructor) waits for
/// posts in progress, after which nothing reaches the widget. The sink must be destroyed before
/// its target (make it a member declared after nothing that outlives the target).
class TQtWindowSink : public IWindowSink {
public:
    /// Target is not owned.
    explicit TQtWindowSink(QObject* Target) : FTarget(Target) {}
    ~TQtWindowSink() override;
    TQtWindowSink(const TQtWindowSink&) = delete;
    TQtWindowSink& operator=(const TQtWindowSink&) = delete;

    /// Registers the sink (the first time) and returns its handle. Main thread.
    THandle Register();
    /// Forgets the handle; nothing when not registered. Main thread.
    void Unregister();
    /// 0 while not registered.
    THandle Handle() const { return FHandle; }

    void PostMessage(unsigned Msg, std::uintptr_t WParam, std::intptr_t LParam) override;
    bool IsVisible() const override { return FVisible.load(); }
    void SetVisible(bool Value) { FVisible.store(Value); }

private:
    QObject* FTarget; // not owned
    THandle FHandle = 0;
    std::atomic<bool> FVisible{false};
};
