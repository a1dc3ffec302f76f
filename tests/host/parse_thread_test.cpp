#include "host/parse_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

constexpr std::chrono::seconds Patience{10}; // keeps a broken build from hanging, no speed bound

/// A one-shot signal between threads; Wait is false when it did not open in time.
struct TGate {
    std::promise<void> Promise;
    std::shared_future<void> Future = Promise.get_future().share();
    void Open() { Promise.set_value(); }
    bool Wait() const { return Future.wait_for(Patience) == std::future_status::ready; }
};

/// A parser that counts its calls, opens Entered in the first one and runs FBody in each.
struct TParser : IParseThreadParser {
    explicit TParser(std::function<void()> Body) : FBody(std::move(Body)) {}
    void ParseThreadParse() override {
        if (++Calls == 1)
            Entered.Open();
        FBody();
    }
    std::function<void()> FBody;
    std::atomic<int> Calls{0};
    TGate Entered;
    static void Nothing() {}
};

TRef<TParser> Add(TParseThread& Thread, std::function<void()> Body = TParser::Nothing) {
    auto P = std::make_shared<TParser>(std::move(Body));
    Thread.Add(P);
    return P;
}

/// Asks for a pass and waits until the thread is idle again; false on timeout.
bool RunPass(TParseThread& Thread) {
    Thread.Modified();
    return Thread.WaitIdle(Patience);
}

} // namespace

TEST(ParseThread, ModifiedCallsDuringAPassCoalesceIntoOneMorePass) {
    const std::pair<int, int> Cases[] = {{0, 1}, {1, 2}, {100, 2}}; // calls during pass, passes
    for (const auto& [CallsDuringPass, Passes] : Cases) {
        TParseThread Thread;
        TGate Release;
        auto P = Add(Thread, [&] { Release.Wait(); }); // only the first call waits
        Thread.Modified();
        ASSERT_TRUE(P->Entered.Wait());
        for (int I = 0; I < CallsDuringPass; ++I)
            Thread.Modified();
        Release.Open();
        ASSERT_TRUE(Thread.WaitIdle(Patience));
        EXPECT_EQ(P->Calls, Passes) << CallsDuringPass;
    }
}

TEST(ParseThread, SleepsUntilModifiedAndCallsParsersInTheOrderAdded) {
    TParseThread Thread;
    std::string Log; // written on the parse thread, read when idle
    auto Logging = [&](char Name) { return Add(Thread, [&Log, Name] { Log += Name; }); };
    auto A = Logging('A'), B = Logging('B');
    Thread.Add(A); // a duplicate is ignored
    Logging('C');
    EXPECT_TRUE(Thread.WaitIdle(Patience) && Thread.Passes() == 0); // no pass before Modified
    ASSERT_TRUE(RunPass(Thread));
    Thread.Remove(B);
    Thread.Remove(B); // absent: nothing
    Thread.Add(B);    // back at the end
    ASSERT_TRUE(RunPass(Thread));
    EXPECT_EQ(Log, "ABCACB");
}

TEST(ParseThread, RemoveWaitsForTheRunningParserAndItIsNeverCalledAgain) {
    TParseThread Thread;
    std::atomic<bool> RemoveReturned{false}, ReturnedTooEarly{false};
    auto P = Add(Thread, [&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50)); // room to return too early
        ReturnedTooEarly = RemoveReturned.load();
    });
    Thread.Modified();
    ASSERT_TRUE(P->Entered.Wait());
    Thread.Remove(P);
    RemoveReturned = true;
    ASSERT_TRUE(RunPass(Thread));
    EXPECT_FALSE(ReturnedTooEarly);
    EXPECT_EQ(P->Calls, 1);
}

TEST(ParseThread, ParsersMayAddRemoveAndModifyFromInsideAPass) {
    TParseThread Thread;
    std::string Log;
    TRef<TParser> Self, Later, Added = std::make_shared<TParser>([&] { Log += 'A'; });
    Self = Add(Thread, [&] {
        Log += 'S';
        Thread.Remove(Later); // later in this pass: skipped already
        Thread.Add(Added);
        Thread.Remove(Self); // removing itself does not wait for itself
        Thread.Modified();   // one more pass
    });
    Later = Add(Thread, [&] { Log += 'L'; });
    ASSERT_TRUE(RunPass(Thread));
    EXPECT_EQ(Thread.Passes(), 2u);
    EXPECT_EQ(Log, "SA"); // pass 1 skips Later and works without Added; pass 2 lacks Self
}

TEST(ParseThread, StopEndsALongPassAndCallsNoFurtherParser) {
    TParseThread Thread;
    auto Long = Add(Thread, [&] {
        while (!Thread.Terminated())
            std::this_thread::yield();
    });
    auto Next = Add(Thread);
    EXPECT_FALSE(Thread.Terminated());
    Thread.Modified();
    ASSERT_TRUE(Long->Entered.Wait());
    Thread.Stop(); // returns once the long parser saw Terminated; the destructor stops again
    EXPECT_TRUE(RunPass(Thread)); // ignored after Stop, so idle at once
    EXPECT_EQ(Thread.Passes(), 0u);
    EXPECT_EQ(Next->Calls, 0);
}

TEST(ParseThread, AParserThatThrowsIsReportedAndTheThreadGoesOn) {
    const std::pair<std::function<void()>, std::string> Cases[] = {
        {[] { throw std::runtime_error("cannot read x.pas"); }, "cannot read x.pas"},
        {[] { throw 42; }, "unknown exception in the parse thread"}};
    for (const auto& [Throw, Expected] : Cases) {
        TParseThread Thread;
        std::vector<std::string> Errors; // written on the parse thread, read when idle
        Thread.SetErrorHandler([&](const std::string& Message) { Errors.push_back(Message); });
        Add(Thread, Throw);
        auto Good = Add(Thread);
        ASSERT_TRUE(RunPass(Thread) && RunPass(Thread));
        EXPECT_EQ(Good->Calls, 2);
        EXPECT_EQ(Errors, std::vector<std::string>(2, Expected));
    }
}

TEST(ParseThread, ConcurrentCallersNeverSeeARemovedParserCalled) {
    TParseThread Thread;
    auto Steady = Add(Thread);
    std::atomic<int> Violations{0};
    std::vector<std::jthread> Callers;
    for (int T = 0; T < 4; ++T)
        Callers.emplace_back([&] {
            for (int I = 0; I < 300; ++I) {
                std::atomic<bool> Removed{false};
                auto P = Add(Thread, [&] { Violations += Removed.load(); });
                Thread.Modified();
                Thread.Remove(P);
                Removed = true; // the next Modified (any thread's) must not reach P
            }
        });
    Callers.clear(); // joins
    ASSERT_TRUE(RunPass(Thread));
    EXPECT_EQ(Violations, 0);
    EXPECT_EQ(static_cast<unsigned long>(Steady->Calls), Thread.Passes());
}
