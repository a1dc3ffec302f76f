#pragma once

// The desktop program as the end-to-end tests run it: a child process on the offscreen platform
// whose home, settings, caches and sockets live in a temporary folder, driven through its
// automation socket (line protocol) and read through the To-Do window's query socket.

#include "tests/host/temp_dir.h"

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

/// How long the tests wait for anything the program does: generous, since the sanitizer builds
/// run the same tests several times slower.
constexpr std::chrono::seconds E2EPatience{60};

/// Polls Done every few milliseconds until it returns true or Patience has passed; true when
/// it did.
bool WaitUntil(const std::function<bool()>& Done, std::chrono::milliseconds Patience = E2EPatience);

/// One run of todolist-gui after another in the same temporary home: a second Start sees the
/// settings and desktops the first run left. Not thread-safe.
class TGuiProgram {
public:
    TGuiProgram();
    /// Kills a program still running (SIGKILL to its own process id).
    ~TGuiProgram();
    TGuiProgram(const TGuiProgram&) = delete;
    TGuiProgram& operator=(const TGuiProgram&) = delete;

    /// The temporary folder; example projects are copied below it.
    const TTempDir& Dir() const { return FDir; }
    /// The settings file the program is told to use (TODOLIST_CONFIG), inside the temporary
    /// folder; it need not exist yet.
    std::string SettingsFile() const;
    /// Copies examples/<Name> to <temp>/<Name> and returns the copy's path.
    std::string CopyExample(const std::string& Name) const;

    /// Starts the program with Args after its automation option and waits until its automation
    /// socket answers. False (with the reason in Error()) when it did not come up.
    bool Start(const std::vector<std::string>& Args);
    bool Running();

    /// Sends one request line and returns the reply line without its line break; "" when the
    /// program did not answer (it exited or hung).
    std::string Send(const std::string& Request);
    /// Send, expecting "ok": the data after "ok " ("" for a bare "ok"), or nullopt (and a test
    /// failure naming the request) for anything else.
    std::optional<std::string> Ok(const std::string& Request);

    /// Polls "modal" until a modal window of class ClassName is open.
    bool WaitForModal(const std::string& ClassName);

    /// Asks "quit" and waits for the program to end; its exit code, or -1 when it crashed or
    /// had to be killed.
    int Quit();
    /// Waits for the program to end by itself; as Quit.
    int WaitForExit(std::chrono::milliseconds Patience = E2EPatience);

    /// The program's standard error so far (all runs).
    std::string Stderr() const;
    /// What a failed check should print: the last reason and the program's standard error.
    std::string Error() const;

    // Queries to the To-Do window (window_query.h); -1 / "" when the window does not answer.
    long long ItemCount() const;
    std::string CellText(int Col, int Index) const;
    int Checked(int Index) const;
    /// The width of grid column Col as its header cell shows it.
    int ColumnWidth(int Col) const;
    /// Every item's text (column 0) in list order, without trailing blanks.
    std::vector<std::string> Texts() const;
    /// The index of the item whose text (as Texts gives it) is Text; -1 when none.
    int IndexOf(const std::string& Text) const;

    /// Reads the file Path or "<missing>".
    static std::string Read(const std::string& Path);

private:
    void Disconnect();
    bool Connect();

    TTempDir FDir;
    std::string FAutomationSocket, FQuerySocket, FStderrFile;
    pid_t FPid = -1;
    int FSocket = -1;
    std::string FPending; ///< bytes read after the last reply line
    std::string FError;
};
