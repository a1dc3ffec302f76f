// todolist watch: the list stays on screen and follows every change. Files changed on disk
// (an editor's save, a branch switch) come from the file watcher as host events; the parse
// thread re-parses what changed and posts the update message, on which the list is drawn again.
#include "cli_common.h"
#include "commands.h"
#include "list_session.h"

#include "host/file_project.h"
#include "host/file_watcher.h"
#include "host/window_link.h"
#include "list/todo_list.h"

#include <csignal>
#include <cstdio>
#include <iostream>
#include <thread>

#include <pthread.h>
#include <unistd.h>

namespace {

// Messages of the watch loop besides the service's update message.
constexpr unsigned WM_FILESCHANGED = WM_USER + 1;
constexpr unsigned WM_STOPWATCH = WM_USER + 2;

/// Ctrl+C and termination end the loop: the signals are blocked in every thread (the mask is
/// set before any thread starts, so they all inherit it) and one thread waits for them and posts
/// the stop message, so the loop itself only ever waits on its queue.
class TStopSignals {
public:
    TStopSignals() {
        sigemptyset(&FSet);
        sigaddset(&FSet, SIGINT);
        sigaddset(&FSet, SIGTERM);
        sigaddset(&FSet, SIGHUP);
        pthread_sigmask(SIG_BLOCK, &FSet, nullptr);
    }
    /// Starts waiting; a signal then posts WM_STOPWATCH to Handle.
    void Start(THandle Handle) {
        FThread = std::thread([this, Handle] {
            int Signal = 0;
            sigwait(&FSet, &Signal);
            PostMessageA(Handle, WM_STOPWATCH, 0, Signal);
        });
    }
    ~TStopSignals() {
        // The waiting thread ends when a signal comes; after a stop by another message, send
        // it one of ours.
        if (FThread.joinable()) {
            pthread_kill(FThread.native_handle(), SIGHUP);
            FThread.join();
        }
    }

private:
    sigset_t FSet;
    std::thread FThread;
};

} // namespace

int RunWatch(const TWatchOptions& Options) {
    TStopSignals Stop; // before the session starts its parse thread
    TListSession Session;
    TToDoList& List = Session.List();
    if (TStatus S = Session.OpenProject(); !S)
        return Fail(ecFailed, S.Message());
    if (!Session.OpenFiles(Options.List.Paths))
        return ecFailed;
    ApplyRowView(List, Options.List.View);

    Stop.Start(Session.Handle());
    TFileWatcher Watcher(Session.WatcherOptions());
    for (const std::string& Folder : Session.WatchedFolders())
        if (TStatus S = Watcher.AddTree(Folder); !S)
            return Fail(ecFailed, S.Message());
    const THandle Handle = Session.Handle();
    if (TStatus S = Watcher.Start([Handle] { PostMessageA(Handle, WM_FILESCHANGED, 0, 0); }); !S)
        return Fail(ecFailed, S.Message());

    const bool Terminal = ::isatty(STDOUT_FILENO) == 1;
    std::string Shown;
    Session.RequestParse();
    for (;;) {
        bool Redraw = false;
        for (const TWindowMessage& M : Session.Window().WaitMessages()) {
            if (M.Msg == WM_STOPWATCH) {
                Watcher.Stop();
                return ecSuccess;
            }
            if (M.Msg == WM_FILESCHANGED)
                Session.ApplyFileChanges(Watcher.TakeChanges());
            else if (M.Msg == IDEMUpdate)
                Redraw = true;
        }
        if (!Redraw)
            continue;
        std::string Text = ListText(List, Options.List.Format);
        if (Terminal) {
            // Home, clear the screen, the list, and what to do next.
            std::cout << "\x1b[H\x1b[2J" << Text << "\nWatching "
                      << (Session.Project() ? Session.Project()->GetFileName() : "the open files")
                      << " (Ctrl+C stops)\n";
        } else if (Text != Shown) {
            std::cout << (Shown.empty() ? "" : "\n") << Text;
        }
        std::cout.flush();
        RecordRows(List); // '#N' in another terminal names what is on screen
        Shown = std::move(Text);
    }
}
