#include "host/window_link.h"

#include <cassert>
#include <memory>
#include <unordered_map>

namespace {

/// A registered window and the number of calls into its sink in progress.
struct TWindow {
    IWindowSink* Sink; // not owned
    int Calls = 0;
};

// One lock for the table. It is never held while a sink runs, so a sink may post to another
// window; UnregisterWindow waits on GCallsDone for the calls already under way.
std::mutex GLock;
std::condition_variable GCallsDone;
std::unordered_map<THandle, std::shared_ptr<TWindow>> GWindows;
THandle GLastHandle = 0;

/// Runs Fn with the sink of Handle, counted as a call in progress; false when there is none.
template <class TFn> bool WithSink(THandle Handle, TFn&& Fn) {
    std::shared_ptr<TWindow> Window;
    {
        std::scoped_lock Lock(GLock);
        auto It = GWindows.find(Handle);
        if (It == GWindows.end())
            return false;
        Window = It->second;
        ++Window->Calls;
    }
    struct TDone {
        TWindow& W;
        ~TDone() {
            {
                std::scoped_lock Lock(GLock);
                --W.Calls;
            }
            GCallsDone.notify_all();
        }
    } Done{*Window};
    Fn(*Window->Sink);
    return true;
}

} // namespace

THandle RegisterWindow(IWindowSink* Sink) {
    assert(Sink && "registering a null window");
    std::scoped_lock Lock(GLock);
    assert(GLastHandle != UINT32_MAX && "window handles exhausted");
    const THandle Handle = ++GLastHandle;
    GWindows.emplace(Handle, std::make_shared<TWindow>(TWindow{Sink}));
    return Handle;
}

void UnregisterWindow(THandle Handle) {
    std::unique_lock Lock(GLock);
    auto It = GWindows.find(Handle);
    if (It == GWindows.end())
        return;
    std::shared_ptr<TWindow> Window = It->second;
    GWindows.erase(It);
    GCallsDone.wait(Lock, [&] { return Window->Calls == 0; });
}

bool PostMessageA(THandle Handle, unsigned Msg, std::uintptr_t WParam, std::intptr_t LParam) {
    return WithSink(Handle, [&](IWindowSink& Sink) { Sink.PostMessage(Msg, WParam, LParam); });
}

bool IsWindowVisible(THandle Handle) {
    bool Visible = false;
    WithSink(Handle, [&](IWindowSink& Sink) { Visible = Sink.IsVisible(); });
    return Visible;
}

void TQueuedWindow::PostMessage(unsigned Msg, std::uintptr_t WParam, std::intptr_t LParam) {
    {
        std::scoped_lock Lock(FLock);
        FQueue.push_back({Msg, WParam, LParam});
    }
    FArrived.notify_all();
}

bool TQueuedWindow::IsVisible() const {
    std::scoped_lock Lock(FLock);
    return FVisible;
}

void TQueuedWindow::SetVisible(bool Value) {
    std::scoped_lock Lock(FLock);
    FVisible = Value;
}

std::optional<std::intptr_t> TQueuedWindow::WaitMessage(unsigned Msg,
                                                        std::chrono::milliseconds Timeout) {
    const auto Deadline = std::chrono::steady_clock::now() + Timeout;
    std::unique_lock Lock(FLock);
    for (;;) {
        while (!FQueue.empty()) {
            const TWindowMessage M = FQueue.front();
            FQueue.pop_front();
            if (M.Msg == Msg)
                return M.LParam;
        }
        if (!FArrived.wait_until(Lock, Deadline, [&] { return !FQueue.empty(); }))
            return std::nullopt;
    }
}

std::vector<TWindowMessage> TQueuedWindow::WaitMessages() {
    std::unique_lock Lock(FLock);
    FArrived.wait(Lock, [&] { return !FQueue.empty(); });
    std::vector<TWindowMessage> All(FQueue.begin(), FQueue.end());
    FQueue.clear();
    return All;
}

std::vector<TWindowMessage> TQueuedWindow::TakeMessages() {
    std::scoped_lock Lock(FLock);
    std::vector<TWindowMessage> All(FQueue.begin(), FQueue.end());
    FQueue.clear();
    return All;
}
