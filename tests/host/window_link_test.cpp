#include "host/window_link.h"

#include "host/clipboard.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
#include <thread>

using namespace std::chrono_literals;

constexpr auto Patience = 10s;                // keeps a broken build from hanging, no speed bound
constexpr unsigned ListReady = WM_USER + 274; // what the list service posts

using TMessages = std::vector<TWindowMessage>;

TEST(WindowLink, OnlyARegisteredHandleReachesItsSink) {
    TQueuedWindow Sink;
    const THandle Gone = RegisterWindow(&Sink);
    UnregisterWindow(Gone);
    UnregisterWindow(Gone);                     // twice: nothing
    const THandle Live = RegisterWindow(&Sink); // never Gone again, nor 0
    const std::pair<THandle, bool> Cases[] = {
        {0, false}, {Gone, false}, {Live + 1000, false}, {Live, true}};
    for (const auto& [Handle, Reaches] : Cases) {
        EXPECT_EQ(PostMessageA(Handle, ListReady, 7, 8), Reaches) << Handle;
        EXPECT_EQ(IsWindowVisible(Handle), Reaches) << Handle;
    }
    EXPECT_EQ(Sink.TakeMessages(), (TMessages{{ListReady, 7, 8}}));
    Sink.SetVisible(false);
    EXPECT_FALSE(IsWindowVisible(Live));
    UnregisterWindow(Live);
}

TEST(WindowLink, UnregisterWaitsForAPostInProgress) {
    struct TSlowSink : TQueuedWindow {
        void PostMessage(unsigned Msg, std::uintptr_t WParam, std::intptr_t LParam) override {
            TQueuedWindow::PostMessage(Msg, WParam, LParam);
            std::this_thread::sleep_for(50ms); // room for Unregister to return too early
            TooEarly = Unregistered.load();
        }
        std::atomic<bool> Unregistered{false}, TooEarly{false};
    } Sink;
    const THandle H = RegisterWindow(&Sink);
    std::jthread Poster([&] { EXPECT_TRUE(PostMessageA(H, ListReady, 0, 3)); });
    ASSERT_EQ(Sink.WaitMessage(ListReady, Patience), 3);
    UnregisterWindow(H);
    Sink.Unregistered = true;
    Poster.join();
    EXPECT_FALSE(Sink.TooEarly);
    EXPECT_FALSE(PostMessageA(H, ListReady, 0, 4));
}

TEST(QueuedWindow, KeepsMessagesInOrderAndWaitsForTheOneAsked) {
    TQueuedWindow Window;
    const THandle H = RegisterWindow(&Window);
    const TMessages Posted{
        {WM_USER, 1, 10}, {ListReady, 2, 20}, {WM_USER + 1, 3, 30}, {ListReady, 4, 40}};
    for (const auto& M : Posted)
        PostMessageA(H, M.Msg, M.WParam, M.LParam);
    EXPECT_EQ(Window.WaitMessage(ListReady, 0ms), 20); // drops the message before it
    EXPECT_EQ(Window.TakeMessages(), TMessages(Posted.begin() + 2, Posted.end()));
    PostMessageA(H, WM_USER, 0, 1);
    EXPECT_EQ(Window.WaitMessage(ListReady, 0ms), std::nullopt);
    EXPECT_TRUE(Window.TakeMessages().empty()); // the queue was drained
    std::jthread Poster([&] { PostMessageA(H, ListReady, 0, 42); });
    EXPECT_EQ(Window.WaitMessage(ListReady, Patience), 42);
    UnregisterWindow(H);
}

TEST(Clipboard, CopiesGoToTheInstalledStreamAsUtf8BytesUntilItIsRemoved) {
    const std::pair<const wchar_t*, const char*> Cases[] = {
        {L"a\r\nb\tc\n", "a\r\nb\tc\n"}, // nothing added or translated
        {L"\u00e4\u20ac\U0001F600", "\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80"},
        {L"x\xD800y", "x\xEF\xBF\xBDy"}}; // a lone surrogate cannot be encoded
    ClipboardSetAsWideText(L"kept in memory");
    std::ostringstream Out;
    TStreamClipboard Clip(Out);
    SetClipboard(&Clip);
    std::string All;
    for (const auto& [Text, Bytes] : Cases) {
        ClipboardSetAsWideText(Text);
        EXPECT_EQ(Out.str(), All += Bytes);
        EXPECT_EQ(Clipboard().AsWideText(), Text);
    }
    Clipboard().Clear(); // forgets the text, writes nothing
    EXPECT_EQ(Clipboard().AsWideText(), L"");
    SetClipboard(nullptr);
    EXPECT_EQ(Clipboard().AsWideText(), L"kept in memory");
    Clipboard().Clear();
    EXPECT_EQ(Clipboard().AsWideText(), L"");
    EXPECT_EQ(Out.str(), All);
}
