#pragma once
// The editor area of the main window: one TCodeEditor tab per editor view of the host. The tabs
// follow the host (view and activation events); what the user does with them goes back to the
// host (SetActiveModule, CloseEditorView).

#include "host/events.h"

#include <QTabWidget>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

class TCallPoster;
class TCodeEditor;
class TEditBuffer;
class TModule;

/// The tab widget of the code editors (objectName "EditorTabs"). Subscribes to
/// EvViewNotification (voInsert: new tab, not selected unless it is the first; voRemove: the tab
/// goes), EvModuleActivated (selects the tab) and EvProjectModuleRenamed / EvProjectRenamed (the
/// renamed module's tab shows its new name: title, tooltip and the editor's "fileName"
/// property); a tab the user selects becomes the host's
/// active module, a tab the user closes goes through CloseEditorView. Keeps
/// EditorActionLists()[0]'s edit control on the current editor (null without tabs) and calls
/// RequestActionUpdate when the current editor changes. Installs TEditBuffer::ShowTextProc while
/// it lives (the most recently created instance wins; the previous hook comes back when it
/// goes).
///
/// Message boxes are QMessageBox objects parented to the tabs and run with exec(), so tests and
/// the automation find them as the active modal widget. Main thread only.
class TEditorTabs : public QTabWidget {
    Q_OBJECT
public:
    explicit TEditorTabs(QWidget* Parent);
    ~TEditorTabs() override;

    /// The editor of FileName (any spelling NormalizeFileName accepts), null when not open.
    TCodeEditor* EditorOf(const std::string& FileName) const;
    /// The editor showing Buffer, null when none does.
    TCodeEditor* EditorOfBuffer(const TEditBuffer* Buffer) const;
    /// The selected editor, null when there is no tab.
    TCodeEditor* CurrentEditor() const;
    /// The normalised file names of the open editors, in tab order.
    std::vector<std::string> OpenFiles() const;

    /// Saves the editor's module. A file changed on disk since it was read brings the conflict
    /// box ("<file> changed on disk since it was opened.": Reload drops the changes and reloads,
    /// Overwrite writes anyway, Cancel keeps everything); another failure a message box with the
    /// reason. True when nothing unsaved is left (saved, or reloaded from disk by choice).
    bool SaveEditor(TCodeEditor* Editor);
    /// Saves every modified editor (going on after a failure); false when one failed or was
    /// cancelled.
    bool SaveAll();
    /// Closes the tab (CloseEditorView); asks Save/Discard/Cancel when modified (Discard drops
    /// the unsaved changes so the module is as on disk again). False when the user cancelled or
    /// the save failed.
    bool CloseEditor(TCodeEditor* Editor);
    /// Closes every tab; false (the rest stays open) when the user cancelled one.
    bool CloseAll();
    /// Reloads the editor's buffer from disk, dropping its changes, and tells the host
    /// (NotifyModuleModified). A message box when the file cannot be read; false then.
    bool ReloadEditor(TCodeEditor* Editor);

    /// A file changed on disk (from the watcher): an open, unmodified editor reloads it; an
    /// open, modified one asks "reload and lose your changes?". Nothing when the file on disk is
    /// what the buffer last read or saved (the program's own save), or when it is not open. A
    /// file deleted on disk keeps its editor, marked modified, with a note in the tooltip.
    void FileChangedOnDisk(const std::string& FileName);

signals:
    /// The current editor changed (null when the last tab closed).
    void CurrentEditorChanged(TCodeEditor* Editor);
    /// The current editor's cursor or modified state changed (Line and Column 1-based), or the
    /// current editor changed; (0, 0, false) when there is none.
    void StatusChanged(int Line, int Column, bool Modified);

private:
    void OnViewNotification(TEditView* View, TViewOperation Operation);
    void OnModuleActivated(TModule* Module);
    /// A file or the project was renamed from OldName to NewName: the tab of the module now
    /// named NewName, and any tab still showing OldName, show the module's name again.
    void OnRenamed(const std::string& OldName, const std::string& NewName);
    void OnCurrentChanged(int Index);
    void AddEditor(const std::shared_ptr<TModule>& Module);
    void RemoveEditor(TCodeEditor* Editor);
    void UpdateTab(TCodeEditor* Editor);
    void ActivateCurrentLater();
    void ShowText(TEditBuffer& Buffer);
    int Ask(const QString& Text, const QStringList& Buttons, int EscapeIndex);
    void ShowError(const QString& Text);

    TEvent<TEditView*, TViewOperation>::TToken FViewToken = 0;
    TEvent<TModule*>::TToken FActivatedToken = 0;
    TEvent<IProject&, const std::string&, const std::string&>::TToken FModuleRenamedToken = 0;
    TEvent<IProject&, const std::string&, const std::string&>::TToken FProjectRenamedToken = 0;
    bool FFollowingHost = false;    // true while a host event selects a tab
    TCallPoster* FPoster = nullptr; // owned by this (Qt parent)
    std::set<std::string> FAsking;  // files whose reload question is open
    /// The ShowTextProc installed before this one; restored when the tabs go.
    std::function<void(TEditBuffer&, int, int)> FPreviousShowText;
};
