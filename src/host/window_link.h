#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

/// Names a registered window; 0 means no window. Handles are never reused within the process,
/// so a stale handle finds nothing rather than another window.
using THandle = std::uint32_t;

/// First message number free for a program's own messages.
constexpr unsigned WM_USER = 1024;

/// A front end's window as the core reaches it: by handle, through posted messages.
class IWindowSink {
public:
    virtual ~IWindowSink() = default;
    /// Queues the message for the window's own thread. Called on any thread; must not block and
    /// must not call into widgets on the calling thread.
    virtual void PostMessage(unsigned Msg, std::uintptr_t WParam, std::intptr_t LParam) = 0;
    /// Whether the window is shown. Called on any thread.
    virtual bool IsVisible() const = 0;
};

/// Registers Sink (not owned; it must outlive its registration) and returns its new non-zero
/// handle. Any thread.
THandle RegisterWindow(IWindowSink* Sink);

/// Forgets the window of Handle (nothing for 0 or an unknown handle). After it returns, its sink
/// is never called again: it waits for calls already in progress on other threads. Must not be
/// called from inside that sink's own PostMessage or IsVisible.
void UnregisterWindow(THandle Handle);

/// Posts a message to the window of Handle. False for 0 or an unknown (or unregistered) handle.
/// Any thread; holds no lock while the sink runs, so it never waits for the window.
bool PostMessageA(THandle Handle, unsigned Msg, std::uintptr_t WParam, std::intptr_t LParam);

/// Whether the window of Handle is shown; false for 0 or an unknown handle. Any thread.
bool IsWindowVisible(THandle Handle);

/// One posted message.
struct TWindowMessage {
    unsigned Msg = 0;
    std::uintptr_t WParam = 0;
    std::intptr_t LParam = 0;
    bool operator==(const TWindowMessage&) const = default;
};

/// A window for front ends without widgets (the command line): posted messages wait in a queue
/// until the owner takes them. All members are thread-safe.
class TQueuedWindow : public IWindowSink {
public:
    /// Visible tells whether the window reports itself as shown.
    explicit TQueuedWindow(bool Visible = true) : FVisible(Visible) {}

    void PostMessage(unsigned Msg, std::uintptr_t WParam, std::intptr_t LParam) override;
    bool IsVisible() const override;
    void SetVisible(bool Value);

    /// Takes messages off the queue, oldest first, until one numbered Msg comes, and returns its
    /// LParam; the messages taken before it are dropped. Waits up to Timeout for it; nullopt when
    /// it does not come (the queue is then empty).
    std::optional<std::intptr_t> WaitMessage(unsigned Msg, std::chrono::milliseconds Timeout);
    /// Takes every queued message, oldest first, without waiting.
    std::vector<TWindowMessage> TakeMessages();
    /// Waits (without a time limit) until a message is queued, then takes them all.
    std::vector<TWindowMessage> WaitMessages();

private:
    mutable std::mutex FLock;
    std::condition_variable FArrived;
    std::deque<TWindowMessage> FQueue;
    bool FVisible;
};
