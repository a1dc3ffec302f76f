#pragma once
// The desktop program's start-up and shut-down, in one place and in one order. The order
// matters: packages register hooks the host's own registrations use, a package's windows must
// be gone before its code is unloaded, and the parse thread must outlive every manager that
// reports to it.
//
// Start:  settings file -> clipboard -> parse thread -> packages (folder, then --package) ->
//         C language unit + source manager creators -> main window (with the editor action
//         list) -> IDE services -> EvMainFormCreated -> project -> its desktop -> automation.
// Stop:   editors asked to save (the user may cancel) -> desktop saved -> project closed ->
//         package windows freed -> editor action lists cleared -> IDE services cleared ->
//         C language unit -> packages unloaded (last first) -> main window freed -> settings
//         written -> parse thread stopped -> clipboard.

#include "host/status.h"

#include <memory>
#include <string>
#include <vector>

class TMainWindow;
class TPackageList;
class TParseThread;
class TQtClipboard;

/// What the command line asks for.
struct TStartupOptions {
    std::vector<std::string> Packages; ///< --package FILE, in the given order
    bool NoDefaultPackages = false;    ///< --no-default-packages
    std::string SettingsFile;          ///< --settings FILE; empty: the default settings file
    std::string AutomationSocket;      ///< --automation SOCKET (or $TODOLIST_AUTOMATION_SOCKET)
    std::string Project;               ///< PROJECT; empty: the last project, if it still exists
    bool Help = false;
    bool Version = false;
};

/// Parses the arguments after the program name. Options take their value as the next argument
/// or after '='; "--" ends the options. Fails for an unknown option, a missing value, or more
/// than one PROJECT; the message is one line without the program name.
TResult<TStartupOptions> ParseCommandLine(const std::vector<std::string>& Args);

/// The text --help prints.
std::string UsageText();

/// What the program opens at start-up.
struct TStartTarget {
    std::string Project; ///< empty: no project (the default desktop)
    std::string File;    ///< a file opened in an editor as well; empty: none
};

/// Decides what to open for PROJECT as given on the command line (Given, empty when none) and
/// the last project (Last, empty when none). A source file that is not a project file, as a file
/// manager hands over a double-clicked file, is opened in an editor: in the last project when
/// the file lies under that project's folder, else in a folder project over the file's own
/// folder, unless that folder is the home or the root folder (then on its own: no project).
/// Anything else given is the project. Nothing given: the last project, when it still exists.
TStartTarget StartTarget(const std::string& Given, const std::string& Last);

/// Where the packages loaded at start-up live: $TODOLIST_PACKAGE_DIR when set and not empty,
/// else ../lib/todolist/packages from the program's own folder (the same in the build tree and
/// when installed). Needs the QApplication.
std::string DefaultPackageFolder();

/// The running program: owns the parse thread, the clipboard, the packages and the main
/// window, and runs start-up and shut-down in their order. Main thread only; create it after
/// the QApplication and destroy it before.
class THostSession {
public:
    explicit THostSession(TStartupOptions Options);
    /// Shutdown() when it was not called.
    ~THostSession();
    THostSession(const THostSession&) = delete;
    THostSession& operator=(const THostSession&) = delete;

    /// Runs the start-up sequence and shows the main window. Problems (a package that does
    /// not load or start, a project that does not open) are reported — a message box, or a
    /// line on stderr under automation or the offscreen platform — and start-up goes on.
    void Start();
    /// Runs the shut-down sequence (the parts the main window has not done on closing).
    /// Idempotent.
    void Shutdown();

    /// The main window; null before Start and after Shutdown.
    TMainWindow* MainWindow() const { return FMain.get(); }
    /// The loaded packages.
    const TPackageList& Packages() const { return *FPackages; }
    /// True when problems go to stderr instead of message boxes.
    bool Quiet() const { return FQuiet; }

private:
    void Report(const std::string& Title, const std::string& Message);
    void LoadPackages();
    void OpenStartProject();

    TStartupOptions FOptions;
    bool FQuiet = false;
    bool FStarted = false;
    bool FShutDown = false;
    std::unique_ptr<TQtClipboard> FClipboard;
    std::unique_ptr<TParseThread> FThread;
    std::unique_ptr<TPackageList> FPackages;
    std::unique_ptr<TMainWindow> FMain;
    bool FCLanguage = false; // InitializeCLanguage ran
};
