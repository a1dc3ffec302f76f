#include "host/parse_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

/// Generous bound that only keeps a broken build from hanging; never a speed requirement.
constexpr auto Patience = 10s;

/// A one-shot signal between threads.
class TGate {
public:
    void Open() {
        {
            std::scoped_lock Lock(FLock);
            FOpen = true;
        }
        FCond.notify_all();
    }
    /// False when the gate did not open in time.
    bool Wait() {
        std::unique_lock Lock(FLock);
        return FCond.wait_for(Lock, Patience, [&] { return FOpen; });
    }

private:
    std::mutex FLock;
    std::condition_variable FCond;
    bool FOpen = false;
};

/// A parser that counts its calls and runs Body (if any) on each.
class TParser : public IParseThreadParser {
public:
    explicit TParser(std::function<void(int Call)> Body = {}) : FBody(std::move(Body)) {}
    void ParseThreadParse() override {
        const int Call = ++Calls;
        if (FBody)
            FBody(Call);
    }
    std::atomic<int> Calls{0};

private:
    std::function<void(int)> FBody;
};

/// Adds a parser that appends Name to Log (the test reads Log only when the thread is idle).
TRef<TParser> AddLogging(TParseThread& Thread, std::string& Log, char Name) {
    auto P = std::make_shared<TParser>([&Log, Name](int) { Log += Name; });
    Thread.Add(P);
    return P;
}

} // namespace

TEST(ParseThread, ModifiedCallsDuringAPassCoalesceIntoOneMorePass) {
    struct {
        int CallsDuringPass;
        unsigned long ExpectedPasses;
    } Cases[] = {{0, 1}, {1, 2}, {100, 2}};
    for (const auto& C : Cases) {
        TParseThread Thread;
        TGate Entered, Release;
        auto P = std::make_shared<TParser>([&](int Call) {
            if (Call == 1) {
                Entered.Open();
                Release.Wait();
            }
        });
        Thread.Add(P);
        Thread.Modified();
        ASSERT_TRUE(Entered.Wait());
        for (int I = 0; I < C.CallsDuringPass; ++I)
            Thread.Modified();
        Release.Open();
        ASSERT_TRUE(Thread.WaitIdle(Patience));
        EXPECT_EQ(Thread.Passes(), C.ExpectedPasses) << C.CallsDuringPass;
        EXPECT_EQ(P->Calls, static_cast<int>(C.ExpectedPasses));

        // Idle again: one call, one pass.
        Thread.Modified();
        ASSERT_TRUE(Thread.WaitIdle(Patience));
        EXPECT_EQ(Thread.Passes(), C.ExpectedPasses + 1);
    }
}

TEST(ParseThread, SleepsUntilModifiedAndCallsParsersInTheOrderAdded) {
    TParseThread Thread;
    std::string Log;
    auto A = AddLogging(Thread, Log, 'A');
    auto B = AddLogging(Thread, Log, 'B');
    Thread.Add(A); // a duplicate is ignored
    AddLogging(Thread, Log, 'C');
    ASSERT_TRUE(Thread.WaitIdle(Patience));
    EXPECT_EQ(Thread.Passes(), 0u);

    Thread.Modified();
    ASSERT_TRUE(Thread.WaitIdle(Patience));
    EXPECT_EQ(Log, "ABC");

    Thread.Remove(B);
    Thread.Remove(B); // absent: nothing
    Thread.Add(B);    // back at the end
    Thread.Modified();
    ASSERT_TRUE(Thread.WaitIdle(Patience));
    EXPECT_EQ(Log, "ABCACB");
}

TEST(ParseThread, RemoveWaitsForTheRunningParserAndItIsNeverCalledAgain) {
    TParseThread Thread;
    TGate Entered, Release;
    std::atomic<bool> RemoveReturned{false}, RemoveReturnedWhileRunning{false};
    auto P = std::make_shared<TParser>([&](int) {
        Entered.Open();
        Release.Wait();
        if (RemoveReturned)
            RemoveReturnedWhileRunning = true;
    });
    Thread.Add(P);
    Thread.Modified();
    ASSERT_TRUE(Entered.Wait());

    std::thread Remover([&] {
        Thread.Remove(P);
        RemoveReturned = true;
    });
    // Give Remove a chance to return too early; when it is late the check is merely weaker.
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(RemoveReturned);
    Release.Open();
    Remover.join();
    EXPECT_FALSE(RemoveReturnedWhileRunning);

    Thread.Modified();
    ASSERT_TRUE(Thread.WaitIdle(Patience));
    EXPECT_EQ(P->Calls, 1);
}

TEST(ParseThread, ParsersMayAddRemoveAndModifyFromInsideAPass) {
    TParseThread Thread;
    std::string Log;
    TRef<TParser> Self, Later, Added;
    Self = std::make_shared<TParser>([&](int Call) {
        Log += 'S';
        if (Call == 1) {
            Thread.Remove(Later); // later in this pass: skipped already
            Thread.Add(Added);
            Thread.Modified(); // one more pass
        } else {
            Thread.Remove(Self); // removing itself does not wait for itself
        }
    });
    Later = std::make_shared<TParser>([&](int) { Log += 'L'; });
    Added = std::make_shared<TParser>([&](int) { Log += 'A'; });
    Thread.Add(Self);
    Thread.Add(Later);

    Thread.Modified();
    ASSERT_TRUE(Thread.WaitIdle(Patience));
    EXPECT_EQ(Thread.Passes(), 2u);
    // Pass 1: Later removed before its turn, Added not yet in the pass; pass 2: Self goes.
    EXPECT_EQ(Log, "SSA");

    Thread.Modified();
    ASSERT_TRUE(Thread.WaitIdle(Patience));
    EXPECT_EQ(Log, "SSAA");
    EXPECT_EQ(Self->Calls, 2);
    EXPECT_EQ(Later->Calls, 0);
}

TEST(ParseThread, StopEndsALongPassAndCallsNoFurtherParser) {
    TParseThread Thread;
    TGate Entered;
    auto Long = std::make_shared<TParser>([&](int) {
        Entered.Open();
        while (!Thread.Terminated())
            std::this_thread::yield();
    });
    auto Next = std::make_shared<TParser>();
    Thread.Add(Long);
    Thread.Add(Next);
    EXPECT_FALSE(Thread.Terminated());
    Thread.Modified();
    ASSERT_TRUE(Entered.Wait());

    Thread.Stop();
    EXPECT_TRUE(Thread.Terminated());
    EXPECT_EQ(Next->Calls, 0);
    EXPECT_EQ(Thread.Passes(), 0u);

    Thread.Stop(); // idempotent
    Thread.Modified();
    EXPECT_TRUE(Thread.WaitIdle(Patience));
    EXPECT_EQ(Long->Calls, 1);
}

TEST(ParseThread, AParserThatThrowsIsReportedAndTheThreadGoesOn) {
    struct {
        std::function<void()> Throw;
        std::string Expected;
    } Cases[] = {{[] { throw std::runtime_error("cannot read x.pas"); }, "cannot read x.pas"},
                 {[] { throw 42; }, "unknown exception in the parse thread"}};
    for (const auto& C : Cases) {
        TParseThread Thread;
        std::vector<std::string> Errors; // written on the parse thread, read when idle
        Thread.SetErrorHandler([&](const std::string& Message) { Errors.push_back(Message); });
        auto Bad = std::make_shared<TParser>([&](int) { C.Throw(); });
        auto Good = std::make_shared<TParser>();
        Thread.Add(Bad);
        Thread.Add(Good);
        for (int Pass = 1; Pass <= 2; ++Pass) {
            Thread.Modified();
            ASSERT_TRUE(Thread.WaitIdle(Patience));
            EXPECT_EQ(Good->Calls, Pass);
            ASSERT_EQ(Errors.size(), static_cast<size_t>(Pass));
            EXPECT_EQ(Errors.back(), C.Expected);
        }
    }
}

TEST(ParseThread, ConcurrentCallersNeverSeeARemovedParserCalled) {
    TParseThread Thread;
    auto Steady = std::make_shared<TParser>();
    Thread.Add(Steady);
    std::atomic<int> Violations{0};

    std::vector<std::thread> Callers;
    for (int T = 0; T < 4; ++T)
        Callers.emplace_back([&] {
            for (int I = 0; I < 300; ++I) {
                std::atomic<bool> Removed{false}, Running{false};
                auto P = std::make_shared<TParser>([&](int) {
                    Running = true;
                    if (Removed)
                        ++Violations;
                    Running = false;
                });
                Thread.Add(P);
                Thread.Modified();
                Thread.Modified();
                Thread.Remove(P);
                if (Running)
                    ++Violations;
                Removed = true;
                Thread.Modified();
            }
        });
    for (auto& C : Callers)
        C.join();

    ASSERT_TRUE(Thread.WaitIdle(Patience));
    EXPECT_EQ(Violations, 0);
    const int Before = Steady->Calls;
    EXPECT_EQ(static_cast<unsigned long>(Before), Thread.Passes());
    Thread.Modified();
    ASSERT_TRUE(Thread.WaitIdle(Patience));
    EXPECT_EQ(Steady->Calls, Before + 1);
}
