#pragma once

#include "host/iinterface.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

/// The host's background parse thread, as the managers see it.
class IParseThread {
public:
    virtual ~IParseThread() = default;
    /// Something changed: a later pass of the thread will call its parse clients. Never blocks.
    virtual void Modified() = 0;
    /// True once shut-down began: a parser in a long pass should check it and stop early.
    /// Any thread. The default (for stand-ins that never shut down) is false.
    virtual bool Terminated() const { return false; }
};

/// The running parse thread, or null when none exists (the command line has none).
IParseThread* ParseThread();
/// Installs the parse thread (null removes it). Called at start-up and shut-down only.
/// A front end creates one TParseThread, then calls SetParseThread(&Thread); at exit it calls
/// SetParseThread(nullptr) before destroying the thread, so no manager reports a change to a
/// thread that is gone.
void SetParseThread(IParseThread* Thread);

/// A client of the parse thread: called once per pass.
class IParseThreadParser : public virtual IInterface {
public:
    /// Called on the parse thread for each pass. Exceptions are reported through the thread's
    /// error handler and do not stop the pass.
    virtual void ParseThreadParse() = 0;
};

/// A thread that sleeps until Modified and then calls every added parser once, in the order
/// they were added. All members may be called from any thread unless stated otherwise.
class TParseThread : public IParseThread {
public:
    /// Starts the thread, sleeping until the first Modified.
    TParseThread();
    /// Stop(). Must not run on the parse thread itself (from inside a parser).
    ~TParseThread() override;
    TParseThread(const TParseThread&) = delete;
    TParseThread& operator=(const TParseThread&) = delete;

    /// Adds Parser to the end of the pass; a parser already added is ignored. Takes effect from
    /// the next parser call on, so a parser added during a pass may still be called in it.
    void Add(TRef<IParseThreadParser> Parser);
    /// Removes Parser (nothing when absent). After it returns, Parser is not running and is never
    /// called again; when called on the parse thread (from inside a pass) it does not wait, so a
    /// parser may remove itself. The thread may hold the last reference to Parser for a moment
    /// after its call, so a parser can be destroyed on the parse thread.
    void Remove(const TRef<IParseThreadParser>& Parser);
    /// Asks for a pass. Any number of calls while a pass runs give exactly one more pass; calls
    /// while idle give one pass. Never waits beyond a short internal lock; ignored after Stop.
    void Modified() override;
    bool Terminated() const override;
    /// Stops promptly: sets Terminated, wakes the thread and joins it. A pass in progress
    /// finishes its current parser call (parsers check Terminated() to stop early); no new
    /// parser is called. Idempotent; must not be called from inside a parser.
    void Stop();
    /// Called on the parse thread with the message of an exception a parser threw; the pass goes
    /// on with the next parser. Default: "todolist: error: <message>" on standard error. Set it
    /// before the first Modified; the handler must not throw. Null restores the default.
    void SetErrorHandler(std::function<void(const std::string&)> Handler);
    /// Number of passes completed since the thread started (for tests and diagnostics). A pass
    /// that Stop ends between two parsers does not count; one whose last parser returned early
    /// because it saw Terminated does.
    unsigned long Passes() const;
    /// Blocks until no pass is running and none is pending, or until the thread stopped and no
    /// pass is running. Returns false on timeout. Must not be called from inside a parser.
    bool WaitIdle(std::chrono::milliseconds Timeout);

private:
    /// One added parser. Remove clears Parser, so a pass working from a copy of the list sees
    /// that it must skip it.
    struct TEntry {
        TRef<IParseThreadParser> Parser;
    };

    void Run();
    void CallParser(IParseThreadParser& Parser);

    // Lock order: FStopLock before FLock. FLock is never held while a parser or the error handler
    // runs, so both may call back into this object.
    std::mutex FStopLock;
    mutable std::mutex FLock;
    std::condition_variable FWake;    // the thread waits for FPending or FTerminated
    std::condition_variable FChanged; // WaitIdle and Remove wait for FRunning / FCurrent
    std::vector<std::shared_ptr<TEntry>> FParsers;
    std::function<void(const std::string&)> FErrorHandler;
    const IParseThreadParser* FCurrent = nullptr; // the parser being called, if any
    bool FPending = false;
    bool FRunning = false;
    std::atomic<bool> FTerminated{false}; // written under FLock, read anywhere
    unsigned long FPasses = 0;
    std::thread::id FThreadId;
    std::thread FThread; // last: started once every other member is ready
};
