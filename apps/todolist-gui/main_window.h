#pragma once
// The desktop program's main window: menus, the editor tabs, the project tree, the status bar,
// the open project with its file watcher, and the desktop layout. It is also the IDE services
// object the packages use (menus, images, docking their windows).

#include "desktop.h"
#include "host/events.h"
#include "ui/shell/ide_services.h"

#include <QMainWindow>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QAction;
class QDockWidget;
class QLabel;
class QMenu;
class TCallPoster;
class IProject;
class TEditorTabs;
class TFileWatcher;
class TModule;
class TProject;
class TProjectScope;
class TProjectTree;
struct TFileChange;

/// The main window (objectName "MainWindow"). Main thread only.
///
/// Project life: openProject loads a project (LoadProject), makes it the host's active project,
/// watches its folders for changes by other programs and restores its desktop; closing it saves
/// the desktop, closes the editors (asking about unsaved changes), stops the watcher and leaves
/// the host without an active project. The window never frees the packages' windows while it
/// runs (closing one only hides it); DestroyPackageForms does, at shut-down.
class TMainWindow : public QMainWindow, public IIDEServices {
    Q_OBJECT
public:
    explicit TMainWindow(QWidget* Parent = nullptr);
    ~TMainWindow() override;

    /// Opens the project Path names (a project file or a folder), closing the open one first.
    /// "" on success, else the reason (nothing opened; the old project stays closed when it was
    /// closed already). No message box.
    Q_INVOKABLE QString openProject(const QString& Path);
    /// Closes the project (asking about unsaved editors); "" or the reason it stayed open.
    /// The next start opens no project (the remembered last project is forgotten).
    Q_INVOKABLE QString closeProject();
    /// Opens Path in an editor tab and makes it the current one; "" or the reason.
    Q_INVOKABLE QString openFile(const QString& Path);
    /// The active project's file name; "" when none is open.
    Q_INVOKABLE QString projectFileName() const;

    /// The editor tabs (the central widget).
    TEditorTabs* Editors() const { return FEditors; }
    TProjectTree* ProjectTree() const { return FProjectTree; }
    /// The code editor's action list (EditorActionLists()[0] while the window lives).
    TEditorActionList* EditorActions() const { return FEditorActions; }
    /// The project as loaded, and what belongs to it on disk; null without a project.
    std::shared_ptr<TProject> Project() const { return FProject; }

    /// Saves the desktop of the open project (or the default one) to its file. False, with a
    /// line on stderr, when it could not be written; nothing while no desktop is in use.
    bool SaveDesktop();
    /// Writes the current layout into FileName: with WithEditors the open editors too.
    TStatus SaveDesktopTo(const std::string& FileName, bool WithEditors);
    /// Restores the default desktop (the one without a project) and makes it the one SaveDesktop
    /// writes. For a start without a project.
    void EnterDefaultDesktop();
    /// Restores the layout of FileName (missing file: nothing). A damaged file is reported on
    /// stderr and leaves the layout as it is. With WithEditors the editors it lists are opened
    /// (files gone since are skipped).
    void RestoreDesktopFrom(const std::string& FileName, bool WithEditors);

    /// The first half of shutting down, as File > Exit and closing the window do it: saves the
    /// desktop, closes the editors (false, nothing else done, when the user cancels and
    /// MayCancel), stops watching and closes the project. Idempotent. Without MayCancel every
    /// modified editor and changed file is asked Save or Discard, without a Cancel; a save
    /// that fails is asked about again, so only what the user discards is lost.
    bool PrepareExit(bool MayCancel);
    /// True once PrepareExit went through.
    bool ExitPrepared() const { return FExitPrepared; }
    /// Frees every dockable window in the main window that the host did not make itself (the
    /// packages' windows), clearing the registered form fields that point at them. Called
    /// before the packages are unloaded: their code goes with them.
    void DestroyPackageForms();

    /// The Project menu's edits, without dialogs. A uses-clause project (.dpr .lpr .dpk) gets
    /// the change written into its project file's clause through the file's module, saved at
    /// once (refused while that module has unsaved changes); a folder project takes only files
    /// under its folder and cannot drop files. Every step that fails undoes the steps before it,
    /// so the files on disk are as they were; the message says why.
    ///
    /// AddProjectFile: adds FileName (created empty when missing) to the project.
    TStatus AddProjectFile(const std::string& FileName);
    /// Removes FileName from a uses-clause project (the file stays on disk); refused for the
    /// project file and the to-do file.
    TStatus RemoveProjectFile(const std::string& FileName);
    /// Renames a file of the project on disk (refused when NewName exists, and for the project
    /// file and the to-do file, which follow RenameProjectTo), its loaded module, its
    /// uses-clause entry and its project entry.
    TStatus RenameProjectFile(const std::string& OldName, const std::string& NewName);
    /// Renames the project file on disk (the extension stays; refused when the target exists or
    /// the project file does not exist), then the project (RenameProject: the to-do file follows
    /// through its container creator), and loads the project again from its new name.
    TStatus RenameProjectTo(const std::string& NewFileName);

    /// Applies a batch of changes from the file watcher (posted to the main thread): host
    /// events, editors told of their files (every open one when the batch says events were
    /// lost), the project reloaded when the batch asks for it.
    void ApplyFileChanges(const std::vector<TFileChange>& Changes);

    // IIDEServices
    int AddImages(const TImageList& Images) override;
    QMenuBar* GetMainMenu() override;
    bool InsertMenuItem(QAction* Action, const QString& TargetName, TMenuPosition Where) override;
    void UpdateMenuShortcuts() override;
    QMainWindow* GetMainWindow() override { return this; }
    void DockForm(TDockableForm* Form) override;

signals:
    /// The window was closed for good (PrepareExit went through): the program should end.
    void ExitRequested();

protected:
    void closeEvent(QCloseEvent* Event) override;

private:
    void CreateMenus();
    QMenu* AddMenu(const QString& Title, const char* Name);
    QAction* AddAction(QMenu* Menu, const QString& Text, const char* Name,
                       const QKeySequence& Shortcut = {});
    void RebuildEditorActions();
    void RebuildDesktopsMenu();
    void UpdateActions();
    void UpdateStatus();
    void UpdateTitle();

    /// Closes the project: saves its desktop, asks about the files changed without an editor
    /// (Discard closes their modules, dropping the changes), then closes the editors (either
    /// may be cancelled; nothing is closed when the first question is), stops the watcher,
    /// makes no project active and closes the unmodified modules of its files.
    bool CloseProjectFiles(bool MayCancel, QString& Why);
    /// Closes every editor when nobody can cancel: Save or Discard for each modified one, in
    /// tab order, asked again after a failed save.
    void CloseEditorsWithoutCancel();
    /// Requests an action update from the event loop (once however often it is called before
    /// that runs). Any thread.
    void PostActionUpdate();
    TStatus LoadAndActivate(const std::string& Path);
    /// Every loaded module that has unsaved changes and no editor, the project's or not (its
    /// to-do file, a file whose tab was closed): what a package changed on its own.
    std::vector<std::shared_ptr<TModule>> UnsavedModulesWithoutEditor() const;
    /// Saves those; false (after a message box) when one could not be saved.
    bool SaveModulesWithoutEditor();
    void StartWatching();
    void StopWatching();
    void OnFilesChanged();

    // Menu commands (they show message boxes).
    void OpenProjectCommand();
    void OpenFileCommand();
    void AddFileCommand();
    void RemoveFileCommand();
    void RenameFileCommand();
    void RenameProjectCommand();
    void SaveDesktopCommand();
    void DeleteDesktopCommand();
    /// Changes the project file's uses clause through its module: Edit gives the new text
    /// (nullopt: Failure is the message). Saved at once; on failure the file is as it was.
    TStatus EditUsesClause(const std::function<std::optional<std::string>(std::string_view)>& Edit,
                           const std::string& Failure);
    void ShowError(const QString& Title, const QString& Text);

    TEditorTabs* FEditors = nullptr;             // owned by this (central widget)
    TProjectTree* FProjectTree = nullptr;        // owned by FProjectTreeDock (Qt parent)
    QDockWidget* FProjectTreeDock = nullptr;     // owned by this (Qt parent)
    TEditorActionList* FEditorActions = nullptr; // owned by this (Qt parent)
    QLabel* FPositionLabel = nullptr;            // owned by the status bar
    QLabel* FModifiedLabel = nullptr;            // owned by the status bar
    QLabel* FProjectLabel = nullptr;             // owned by the status bar
    QMenu* FEditMenu = nullptr;                  // owned by the menu bar
    QMenu* FDesktopsMenu = nullptr;              // owned by the View menu
    QAction* FEditActionsSeparator = nullptr;    // owned by FEditMenu
    std::vector<QAction*> FShownEditorActions;   // in FEditMenu, not owned

    std::string FProjectPath; // as given to openProject, for a reload
    std::shared_ptr<TProject> FProject;
    std::shared_ptr<TProjectScope> FScope;
    std::unique_ptr<TFileWatcher> FWatcher;
    bool FExitPrepared = false;
    /// Save All depends on modules changed without an editor: their changes are followed.
    TEvent<TModule*, const std::string&>::TToken FModuleModifiedToken = 0;
    std::atomic<bool> FActionUpdatePosted{false};
    /// Hands the watcher's and other threads' calls to this window's thread (Qt parent).
    TCallPoster* FPoster = nullptr;
    /// Whether a desktop (the project's or the default one) is in use: only then is there a
    /// layout worth saving. False at start-up until one is restored.
    bool FDesktopActive = false;

    // Actions whose state UpdateActions keeps (owned by this, Qt parent).
    QAction* FSaveCmd = nullptr;
    QAction* FSaveAllCmd = nullptr;
    QAction* FCloseCmd = nullptr;
    QAction* FCloseProjectCmd = nullptr;
    QAction* FUndoCmd = nullptr;
    QAction* FRedoCmd = nullptr;
    QAction* FCutCmd = nullptr;
    QAction* FCopyCmd = nullptr;
    QAction* FPasteCmd = nullptr;
    QAction* FSelectAllCmd = nullptr;
    QAction* FAddFileCmd = nullptr;
    QAction* FRemoveFileCmd = nullptr;
    QAction* FRenameFileCmd = nullptr;
    QAction* FRenameProjectCmd = nullptr;
};
