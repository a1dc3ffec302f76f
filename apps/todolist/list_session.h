#pragma once

#include "host/file_watcher.h"
#include "host/parse_thread.h"
#include "host/window_link.h"
#include "list/todo_list.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class TProject;
class TProjectScope;

/// Which project the commands work on: --project PATH, else the current folder; none with
/// --no-project.
struct TProjectChoice {
    std::optional<std::string> Path;
    bool None = false;
};
void SetProjectChoice(TProjectChoice Choice);

/// What the list commands run on: the host pieces a desktop host would give (the parse thread,
/// an always-visible display, the settings store), the package's units started in their order,
/// the source-manager creators registered as the host registers them, and the to-do list
/// service. The destructor undoes it all in reverse order.
class TListSession {
public:
    TListSession();
    ~TListSession();
    TListSession(const TListSession&) = delete;
    TListSession& operator=(const TListSession&) = delete;

    TToDoList& List() { return *ToDoList; }

    /// Loads the chosen project and makes it the active one: its units and its to-do file get
    /// managers. Nothing with --no-project. The error names the path.
    TStatus OpenProject();
    /// The active project and what belongs to it on disk; null before OpenProject or without a
    /// project.
    std::shared_ptr<TProject> Project() const { return FProject; }
    const TProjectScope* Scope() const { return FScope.get(); }
    /// Loads the project again (after lost file events) and makes the new one active.
    TStatus ReloadProject();

    /// What a file watcher of this session watches: the project's folders and the folders of
    /// the files opened with OpenFiles; the options filter subfolders by the project's rules.
    std::vector<std::string> WatchedFolders() const;
    TFileWatcherOptions WatcherOptions() const;
    /// Turns changes on disk into host events (loading the project again when needed).
    void ApplyFileChanges(const std::vector<TFileChange>& Changes);
    /// Tells the parse thread that something changed, without waiting.
    void RequestParse() { FThread.Modified(); }

    /// The window standing in for the To-Do List window, and its handle: messages posted
    /// there are taken by ParseAndWait or by a command's own loop.
    TQueuedWindow& Window() { return FWindow; }
    TDisplayHandle Handle() const { return FDisplay.Handle; }

    /// Opens each file of Paths (folders walked for source files) in an editor view and gives it
    /// a manager. Warns and returns false for paths that cannot be read and for files no manager
    /// creator handles; the others are opened all the same.
    bool OpenFiles(const std::vector<std::string>& Paths);

    /// Parses every out-of-date manager on the parse thread and waits for the new list.
    void ParseAndWait();

    /// Writes the settings when they changed; false (after a message) when that failed.
    bool SaveSettings();

private:
    /// The always-visible display standing in for the window.
    class TDisplay : public IToDoDisplayForm {
    public:
        TDisplayHandle GetHandle() const override { return Handle; }
        void SetCaption(const std::string& Value) override { Caption = Value; }
        TDisplayHandle Handle = 0;
        std::string Caption;
    };

    std::string FProjectPath; // as loaded, for ReloadProject
    std::shared_ptr<TProject> FProject;
    std::shared_ptr<TProjectScope> FScope;
    std::vector<std::string> FOpenedFolders; // folders of the files OpenFiles opened, sorted
    TParseThread FThread;
    TQueuedWindow FWindow{true};
    TDisplay FDisplay;
};
