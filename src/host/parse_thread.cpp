#include "host/parse_thread.h"

#include <algorithm>
#include <atomic>
#include <cassert>
#include <exception>
#include <iostream>
#include <utility>

namespace {

// Read by whichever thread reports a change, set at start-up and shut-down.
std::atomic<IParseThread*> GParseThread{nullptr};

void ReportToStandardError(const std::string& Message) {
    std::cerr << "todolist: error: " << Message << '\n';
}

} // namespace

IParseThread* ParseThread() {
    return GParseThread.load(std::memory_order_acquire);
}

void SetParseThread(IParseThread* Thread) {
    GParseThread.store(Thread, std::memory_order_release);
}

TParseThread::TParseThread() : FErrorHandler(ReportToStandardError) {
    FThread = std::thread([this] { Run(); });
    FThreadId = FThread.get_id();
}

TParseThread::~TParseThread() {
    Stop();
}

void TParseThread::Add(TRef<IParseThreadParser> Parser) {
    if (!Parser)
        return;
    std::scoped_lock Lock(FLock);
    for (const auto& Entry : FParsers)
        if (Entry->Parser == Parser)
            return;
    FParsers.push_back(std::make_shared<TEntry>(TEntry{std::move(Parser)}));
}

void TParseThread::Remove(const TRef<IParseThreadParser>& Parser) {
    if (!Parser)
        return;
    std::unique_lock Lock(FLock);
    auto It = std::find_if(FParsers.begin(), FParsers.end(),
                           [&](const auto& Entry) { return Entry->Parser == Parser; });
    if (It == FParsers.end())
        return;
    // A pass may hold a copy of the entry: clearing it tells the pass to skip it.
    (*It)->Parser.reset();
    FParsers.erase(It);
    // On the parse thread the parser running (if it is this one) is our caller: waiting for
    // it to return would never end.
    if (std::this_thread::get_id() == FThreadId)
        return;
    FChanged.wait(Lock, [&] { return FCurrent != Parser.get(); });
}

void TParseThread::Modified() {
    {
        std::scoped_lock Lock(FLock);
        if (FTerminated)
            return;
        FPending = true;
    }
    FWake.notify_one();
}

bool TParseThread::Terminated() const {
    return FTerminated.load(std::memory_order_acquire);
}

void TParseThread::Stop() {
    std::scoped_lock StopLock(FStopLock);
    assert(std::this_thread::get_id() != FThreadId && "Stop called from inside a parser");
    {
        std::scoped_lock Lock(FLock);
        FTerminated = true;
    }
    FWake.notify_one();
    if (FThread.joinable())
        FThread.join();
}

void TParseThread::SetErrorHandler(std::function<void(const std::string&)> Handler) {
    std::scoped_lock Lock(FLock);
    FErrorHandler = Handler ? std::move(Handler) : ReportToStandardError;
}

unsigned long TParseThread::Passes() const {
    std::scoped_lock Lock(FLock);
    return FPasses;
}

bool TParseThread::WaitIdle(std::chrono::milliseconds Timeout) {
    std::unique_lock Lock(FLock);
    return FChanged.wait_for(Lock, Timeout,
                             [&] { return !FRunning && (!FPending || FTerminated); });
}

void TParseThread::Run() {
    std::unique_lock Lock(FLock);
    for (;;) {
        FWake.wait(Lock, [&] { return FPending || FTerminated; });
        if (FTerminated)
            break;
        FPending = false;
        FRunning = true;
        // Parsers may call Add, Remove or Modified during the pass, so the pass works from a
        // copy and the lock is dropped around every call.
        const auto Entries = FParsers;
        bool Interrupted = false;
        for (const auto& Entry : Entries) {
            if (FTerminated) {
                Interrupted = true;
                break;
            }
            TRef<IParseThreadParser> Parser = Entry->Parser;
            if (!Parser)
                continue; // removed since the copy was made
            FCurrent = Parser.get();
            Lock.unlock();
            CallParser(*Parser);
            // Drop our reference before FCurrent clears, so a parser whose last owner removed
            // it is destroyed here rather than under the lock.
            Parser.reset();
            Lock.lock();
            FCurrent = nullptr;
            FChanged.notify_all();
        }
        FRunning = false;
        if (!Interrupted)
            ++FPasses;
        FChanged.notify_all();
    }
    FRunning = false;
    FChanged.notify_all();
}

void TParseThread::CallParser(IParseThreadParser& Parser) {
    std::string Error;
    try {
        Parser.ParseThreadParse();
        return;
    } catch (const std::exception& E) {
        Error = E.what();
    } catch (...) {
        Error = "unknown exception in the parse thread";
    }
    std::function<void(const std::string&)> Handler;
    {
        std::scoped_lock Lock(FLock);
        Handler = FErrorHandler;
    }
    Handler(Error);
}
