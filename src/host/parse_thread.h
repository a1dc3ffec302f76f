#pragma once

/// The host's background parse thread, as the managers see it.
class IParseThread {
public:
    virtual ~IParseThread() = default;
    /// Something changed: a later pass of the thread will call its parse clients. Never blocks.
    virtual void Modified() = 0;
};

/// The running parse thread, or null when none exists (the command line has none).
IParseThread* ParseThread();
/// Installs the parse thread (null removes it). Called at start-up and shut-down only.
void SetParseThread(IParseThread* Thread);
