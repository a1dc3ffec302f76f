#include "host/window_link.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <set>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

/// Generous bound that only keeps a broken build from hanging; never a speed requirement.
constexpr auto Patience = 10s;

/// The message the list service posts when a new list is ready.
constexpr unsigned ListReady = WM_USER + 274;

/// A sink that counts what reaches it; optionally blocks inside PostMessage until released.
class TCountingSink : public IWindowSink {
public:
    void PostMessage(unsigned Msg, std::uintptr_t, std::intptr_t LParam) override {
        if (Block) {
            Entered = true;
            while (!Release)
                std::this_thread::yield();
        }
        LastMsg = Msg;
        LastLParam = LParam;
        ++Posts;
        InPost = false;
    }
    bool IsVisible() const override { return Visible; }

    std::atomic<bool> Block{false}, Entered{false}, Release{false}, InPost{true};
    std::atomic<bool> Visible{true};
    std::atomic<int> Posts{0};
    std::atomic<unsigned> LastMsg{0};
    std::atomic<std::intptr_t> LastLParam{0};
};

} // namespace

TEST(WindowLink, OnlyARegisteredHandleReachesItsSink) {
    TCountingSink Sink, Other;
    const THandle Gone = RegisterWindow(&Other);
    UnregisterWindow(Gone);
    UnregisterWindow(Gone); // twice: nothing
    const THandle Live = RegisterWindow(&Sink);
    struct {
        THandle Handle;
        bool Reaches;
    } Cases[] = {{0, false}, {Gone, false}, {Live + 1000, false}, {Live, true}};
    for (const auto& C : Cases) {
        const int Before = Sink.Posts + Other.Posts;
        EXPECT_EQ(PostMessageA(C.Handle, ListReady, 0, 7), C.Reaches) << C.Handle;
        EXPECT_EQ(IsWindowVisible(C.Handle), C.Reaches) << C.Handle;
        EXPECT_EQ(Sink.Posts + Other.Posts, Before + (C.Reaches ? 1 : 0)) << C.Handle;
    }
    EXPECT_EQ(Other.Posts, 0);
    EXPECT_EQ(Sink.LastMsg, ListReady);
    EXPECT_EQ(Sink.LastLParam, 7);
    Sink.Visible = false;
    EXPECT_FALSE(IsWindowVisible(Live));
    UnregisterWindow(Live);
}

TEST(WindowLink, HandlesAreNonZeroAndNeverReused) {
    TCountingSink Sink;
    std::set<THandle> Seen;
    for (int I = 0; I < 50; ++I) {
        const THandle H = RegisterWindow(&Sink);
        EXPECT_NE(H, 0u);
        EXPECT_TRUE(Seen.insert(H).second) << H;
        if (I % 2 == 0)
            UnregisterWindow(H);
    }
    for (THandle H : Seen)
        UnregisterWindow(H);
}

TEST(WindowLink, UnregisterWaitsForAPostInProgress) {
    auto Sink = std::make_unique<TCountingSink>();
    Sink->Block = true;
    const THandle H = RegisterWindow(Sink.get());
    std::thread Poster([&] { EXPECT_TRUE(PostMessageA(H, ListReady, 0, 3)); });
    while (!Sink->Entered)
        std::this_thread::yield();

    std::atomic<bool> Returned{false};
    std::thread Closer([&] {
        UnregisterWindow(H);
        Returned = true;
        // The window may go now: the registry must not touch it any more.
        EXPECT_FALSE(Sink->InPost);
        Sink.reset();
    });
    // Give Unregister a chance to return too early; when it is late the check is merely weaker.
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(Returned);
    Sink->Release = true;
    Poster.join();
    Closer.join();
    EXPECT_FALSE(PostMessageA(H, ListReady, 0, 4));
}

TEST(QueuedWindow, KeepsMessagesInOrderAndWaitsForTheOneAsked) {
    TQueuedWindow Window(false);
    const THandle H = RegisterWindow(&Window);
    EXPECT_FALSE(IsWindowVisible(H));
    Window.SetVisible(true);
    EXPECT_TRUE(IsWindowVisible(H));

    for (std::intptr_t I = 1; I <= 3; ++I)
        PostMessageA(H, WM_USER + static_cast<unsigned>(I), 10u + I, I);
    EXPECT_EQ(Window.TakeMessages(),
              (std::vector<TWindowMessage>{
                  {WM_USER + 1, 11, 1}, {WM_USER + 2, 12, 2}, {WM_USER + 3, 13, 3}}));
    EXPECT_TRUE(Window.TakeMessages().empty());

    // Messages before the awaited one are dropped; later ones stay queued.
    PostMessageA(H, WM_USER, 0, 1);
    PostMessageA(H, ListReady, 0, 2);
    PostMessageA(H, ListReady, 0, 3);
    EXPECT_EQ(Window.WaitMessage(ListReady, 0ms), 2);
    EXPECT_EQ(Window.WaitMessage(ListReady, 0ms), 3);
    EXPECT_EQ(Window.WaitMessage(ListReady, 0ms), std::nullopt);

    PostMessageA(H, WM_USER, 0, 1);
    std::thread Poster([&] { PostMessageA(H, ListReady, 0, 42); });
    EXPECT_EQ(Window.WaitMessage(ListReady, Patience), 42);
    Poster.join();
    EXPECT_TRUE(Window.TakeMessages().empty());
    UnregisterWindow(H);
}
