#include "main_window.h"

#include "project_tree.h"

#include "host/containers.h"
#include "host/events.h"
#include "host/file_project.h"
#include "host/file_watcher.h"
#include "host/ini_file.h"
#include "host/module.h"
#include "host/project_loader.h"
#include "host/project_watch.h"
#include "ui/shell/dockable_form.h"
#include "ui/shell/help.h"
#include "ui/shell/images.h"
#include "ui/shell/window_sink.h"

#include <QAction>
#include <QCloseEvent>
#include <QDockWidget>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QStatusBar>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "code_editor.h"
#include "editor_tabs.h"

namespace fs = std::filesystem;

namespace {

/// Images a package adds go at this index or above; the host's own sit below.
constexpr int FirstPackageImage = 100;
/// How far AddImages looks for images in the list it is given.
constexpr int MaxImagesScanned = 1024;

QString Q(const std::string& Text) {
    return QString::fromStdString(Text);
}

void Warn(const std::string& Message) {
    std::fprintf(stderr, "todolist-gui: warning: %s\n", Message.c_str());
}

/// The action with object name Name in Menu or its submenus, with the menu that holds it.
QAction* FindAction(QWidget* Container, const QString& Name, QWidget*& Holder) {
    for (QAction* Action : Container->actions()) {
        if (Action->objectName() == Name) {
            Holder = Container;
            return Action;
        }
        if (QMenu* Sub = Action->menu())
            if (QAction* Found = FindAction(Sub, Name, Holder))
                return Found;
    }
    return nullptr;
}

void CollectShortcutActions(QWidget* Container, std::vector<QAction*>& Out) {
    for (QAction* Action : Container->actions()) {
        if (QMenu* Sub = Action->menu())
            CollectShortcutActions(Sub, Out);
        else if (!Action->shortcut().isEmpty())
            Out.push_back(Action);
    }
}

/// A file's path for a project file's entry: relative to the project's folder.
std::string RelativePath(const std::string& File, const std::string& Folder) {
    return fs::path(File).lexically_relative(Folder).generic_string();
}

bool IsInside(const std::string& File, const std::string& Folder) {
    const fs::path Relative = fs::path(File).lexically_relative(Folder);
    return !Relative.empty() && *Relative.begin() != ".." && Relative != ".";
}

} // namespace

TMainWindow::TMainWindow(QWidget* Parent) : QMainWindow(Parent) {
    setObjectName("MainWindow");
    FPoster = new TCallPoster(this);
    setDockOptions(dockOptions() | QMainWindow::AllowTabbedDocks);
    FEditorActions = new TEditorActionList(this);
    // The editors bind the first list to the current editor: it must be there before them.
    EditorActionLists().insert(EditorActionLists().begin(), FEditorActions);
    FEditors = new TEditorTabs(this);
    setCentralWidget(FEditors);

    FProjectTreeDock = new QDockWidget(tr("Project"), this);
    FProjectTreeDock->setObjectName("ProjectTreeDock");
    FProjectTree = new TProjectTree(FProjectTreeDock);
    FProjectTreeDock->setWidget(FProjectTree);
    addDockWidget(Qt::LeftDockWidgetArea, FProjectTreeDock);

    FPositionLabel = new QLabel(this);
    FModifiedLabel = new QLabel(this);
    FProjectLabel = new QLabel(this);
    FPositionLabel->setObjectName("StatusPosition");
    FModifiedLabel->setObjectName("StatusModified");
    FProjectLabel->setObjectName("StatusProject");
    statusBar()->addWidget(FPositionLabel);
    statusBar()->addWidget(FModifiedLabel);
    statusBar()->addPermanentWidget(FProjectLabel);

    CreateMenus();
    connect(FEditorActions, &TEditorActionList::ActionsChanged, this,
            [this] { RebuildEditorActions(); });
    connect(&ActionUpdates(), &TActionUpdateHub::UpdateActions, this, [this] { UpdateActions(); });
    connect(FEditors, &TEditorTabs::StatusChanged, this, [this](int Line, int Column, bool Mod) {
        FPositionLabel->setText(Line > 0 ? QString("%1:%2").arg(Line).arg(Column) : QString());
        FModifiedLabel->setText(Mod ? tr("Modified") : QString());
        UpdateActions();
    });
    connect(FEditors, &TEditorTabs::CurrentEditorChanged, this, [this](TCodeEditor*) {
        UpdateStatus();
        UpdateActions();
    });
    connect(FProjectTree, &QTreeWidget::currentItemChanged, this, [this] { UpdateActions(); });
    // A package may change a project file that has no editor (the to-do file when an item is
    // added): nothing else tells the window that Save All has something to save now.
    FModuleModifiedToken =
        EvModuleModified().Add([this](TModule*, const std::string&) { PostActionUpdate(); });
    UpdateTitle();
    UpdateActions();
    resize(1000, 700);
}

TMainWindow::~TMainWindow() {
    EvModuleModified().Remove(FModuleModifiedToken);
    StopWatching();
    // The tabs use the editor action list while they go, and must not call back into a
    // window that is half gone.
    disconnect(&ActionUpdates(), nullptr, this, nullptr);
    TEditorTabs* Tabs = FEditors;
    FEditors = nullptr;
    delete Tabs;
    std::erase(EditorActionLists(), FEditorActions);
    if (CorvaneIDEServices.get() == static_cast<IInterface*>(this))
        CorvaneIDEServices.reset();
}

// ---------------------------------------------------------------------------------------------
// Menus

QMenu* TMainWindow::AddMenu(const QString& Title, const char* Name) {
    QMenu* Menu = menuBar()->addMenu(Title);
    Menu->setObjectName(Name);
    Menu->menuAction()->setObjectName(Name);
    connect(Menu, &QMenu::aboutToShow, this, [] { RequestActionUpdate(); });
    return Menu;
}

QAction* TMainWindow::AddAction(QMenu* Menu, const QString& Text, const char* Name,
                                const QKeySequence& Shortcut) {
    auto* Action = new QAction(Text, this); // owned by this (Qt parent)
    Action->setObjectName(Name);
    if (!Shortcut.isEmpty())
        Action->setShortcut(Shortcut);
    Menu->addAction(Action);
    return Action;
}

void TMainWindow::CreateMenus() {
    QMenu* File = AddMenu(tr("&File"), "FileMenu");
    connect(AddAction(File, tr("Open &Project..."), "FileOpenProjectCommand",
                      QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O)),
            &QAction::triggered, this, [this] { OpenProjectCommand(); });
    connect(AddAction(File, tr("&Open File..."), "FileOpenCommand", QKeySequence::Open),
            &QAction::triggered, this, [this] { OpenFileCommand(); });
    File->addSeparator();
    FSaveCmd = AddAction(File, tr("&Save"), "FileSaveCommand", QKeySequence(Qt::CTRL | Qt::Key_S));
    connect(FSaveCmd, &QAction::triggered, this, [this] {
        if (TCodeEditor* Editor = FEditors->CurrentEditor())
            FEditors->SaveEditor(Editor);
        RequestActionUpdate();
    });
    FSaveAllCmd = AddAction(File, tr("Save A&ll"), "FileSaveAllCommand",
                            QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    connect(FSaveAllCmd, &QAction::triggered, this, [this] {
        FEditors->SaveAll();
        SaveModulesWithoutEditor();
        RequestActionUpdate();
    });
    FCloseCmd =
        AddAction(File, tr("&Close"), "FileCloseCommand", QKeySequence(Qt::CTRL | Qt::Key_W));
    connect(FCloseCmd, &QAction::triggered, this, [this] {
        if (TCodeEditor* Editor = FEditors->CurrentEditor())
            FEditors->CloseEditor(Editor);
    });
    FCloseProjectCmd = AddAction(File, tr("Close P&roject"), "FileCloseProjectCommand");
    connect(FCloseProjectCmd, &QAction::triggered, this, [this] { closeProject(); });
    File->addSeparator();
    connect(AddAction(File, tr("E&xit"), "FileExitCommand", QKeySequence(Qt::CTRL | Qt::Key_Q)),
            &QAction::triggered, this, [this] { close(); });

    FEditMenu = AddMenu(tr("&Edit"), "EditMenu");
    auto EditorCommand = [this](const char* Name, const QString& Text, const QKeySequence& Key,
                                void (QPlainTextEdit::*Slot)()) {
        QAction* Action = AddAction(FEditMenu, Text, Name, Key);
        connect(Action, &QAction::triggered, this, [this, Slot] {
            if (TCodeEditor* Editor = FEditors->CurrentEditor())
                (Editor->*Slot)();
        });
        return Action;
    };
    FUndoCmd =
        EditorCommand("EditUndoCommand", tr("&Undo"), QKeySequence::Undo, &QPlainTextEdit::undo);
    FRedoCmd =
        EditorCommand("EditRedoCommand", tr("&Redo"), QKeySequence::Redo, &QPlainTextEdit::redo);
    FEditMenu->addSeparator();
    FCutCmd = EditorCommand("EditCutCommand", tr("Cu&t"), QKeySequence::Cut, &QPlainTextEdit::cut);
    FCopyCmd =
        EditorCommand("EditCopyCommand", tr("&Copy"), QKeySequence::Copy, &QPlainTextEdit::copy);
    FPasteCmd = EditorCommand("EditPasteCommand", tr("&Paste"), QKeySequence::Paste,
                              &QPlainTextEdit::paste);
    FSelectAllCmd = EditorCommand("EditSelectAllCommand", tr("Select &All"),
                                  QKeySequence::SelectAll, &QPlainTextEdit::selectAll);
    FEditActionsSeparator = FEditMenu->addSeparator();
    FEditActionsSeparator->setVisible(false);

    QMenu* View = AddMenu(tr("&View"), "ViewMenu");
    QAction* TreeCmd = FProjectTreeDock->toggleViewAction();
    TreeCmd->setObjectName("ViewProjectTreeCommand");
    TreeCmd->setText(tr("&Project Tree"));
    View->addAction(TreeCmd);
    FDesktopsMenu = View->addMenu(tr("&Desktops"));
    FDesktopsMenu->setObjectName("ViewDesktopsMenu");
    FDesktopsMenu->menuAction()->setObjectName("ViewDesktopsMenu");
    connect(AddAction(FDesktopsMenu, tr("&Save Desktop As..."), "ViewSaveDesktopCommand"),
            &QAction::triggered, this, [this] { SaveDesktopCommand(); });
    connect(AddAction(FDesktopsMenu, tr("&Delete Desktop..."), "ViewDeleteDesktopCommand"),
            &QAction::triggered, this, [this] { DeleteDesktopCommand(); });
    FDesktopsMenu->addSeparator();
    connect(FDesktopsMenu, &QMenu::aboutToShow, this, [this] { RebuildDesktopsMenu(); });

    QMenu* ProjectMenu = AddMenu(tr("&Project"), "ProjectMenu");
    FAddFileCmd = AddAction(ProjectMenu, tr("&Add File..."), "ProjectAddFileCommand");
    connect(FAddFileCmd, &QAction::triggered, this, [this] { AddFileCommand(); });
    FRemoveFileCmd = AddAction(ProjectMenu, tr("&Remove File"), "ProjectRemoveFileCommand");
    connect(FRemoveFileCmd, &QAction::triggered, this, [this] { RemoveFileCommand(); });
    FRenameFileCmd = AddAction(ProjectMenu, tr("Re&name File..."), "ProjectRenameFileCommand");
    connect(FRenameFileCmd, &QAction::triggered, this, [this] { RenameFileCommand(); });
    FRenameProjectCmd = AddAction(ProjectMenu, tr("Rename &Project..."), "ProjectRenameCommand");
    connect(FRenameProjectCmd, &QAction::triggered, this, [this] { RenameProjectCommand(); });

    QMenu* Help = AddMenu(tr("&Help"), "HelpMenu");
    connect(AddAction(Help, tr("&Contents"), "HelpContentsCommand", QKeySequence::HelpContents),
            &QAction::triggered, this, [this] {
                if (!ShowHelp(0))
                    ShowError(tr("Help"), tr("The user guide could not be found or opened."));
            });
    connect(AddAction(Help, tr("&About"), "HelpAboutCommand"), &QAction::triggered, this, [this] {
        QMessageBox::about(this, tr("About To-Do List"),
                           tr("<b>To-Do List</b><p>Finds the to-do comments in your source code "
                              "and keeps them in a list.</p>"));
    });
}

void TMainWindow::RebuildEditorActions() {
    for (QAction* Action : FShownEditorActions)
        FEditMenu->removeAction(Action);
    FShownEditorActions.clear();
    for (QAction* Action : FEditorActions->Actions()) {
        FEditMenu->addAction(Action);
        FShownEditorActions.push_back(Action);
    }
    FEditActionsSeparator->setVisible(!FShownEditorActions.empty());
    UpdateMenuShortcuts();
}

void TMainWindow::RebuildDesktopsMenu() {
    const QList<QAction*> Items = FDesktopsMenu->actions();
    // The two commands and the separator stay; the named desktops are listed anew.
    for (qsizetype I = 3; I < Items.size(); ++I) {
        FDesktopsMenu->removeAction(Items[I]);
        Items[I]->deleteLater();
    }
    for (const std::string& Name : NamedDesktops()) {
        QAction* Entry = FDesktopsMenu->addAction(Q(Name));
        connect(Entry, &QAction::triggered, this,
                [this, Name] { RestoreDesktopFrom(NamedDesktopFileName(Name), false); });
    }
}

void TMainWindow::UpdateActions() {
    TCodeEditor* Editor = FEditors ? FEditors->CurrentEditor() : nullptr;
    const bool HasEditor = Editor != nullptr;
    bool AnyModified = false;
    if (FEditors)
        for (const std::string& File : FEditors->OpenFiles())
            if (TCodeEditor* E = FEditors->EditorOf(File); E && E->IsModified())
                AnyModified = true;
    FSaveCmd->setEnabled(HasEditor && Editor->IsModified());
    FSaveAllCmd->setEnabled(AnyModified || !UnsavedModulesWithoutEditor().empty());
    FCloseCmd->setEnabled(HasEditor);
    FCloseProjectCmd->setEnabled(FProject != nullptr);
    FUndoCmd->setEnabled(HasEditor && Editor->document()->isUndoAvailable());
    FRedoCmd->setEnabled(HasEditor && Editor->document()->isRedoAvailable());
    const bool Writable = HasEditor && !Editor->isReadOnly();
    FCutCmd->setEnabled(Writable);
    FCopyCmd->setEnabled(HasEditor);
    FPasteCmd->setEnabled(Writable);
    FSelectAllCmd->setEnabled(HasEditor);

    const bool UsesClause = FScope && FScope->UsesClauseProject();
    const std::string Selected = FProjectTree->SelectedFile();
    // The to-do file goes with the project: it is named after the project file and follows a
    // Rename Project, and no uses clause names it.
    const bool ToDoFile =
        FScope && !Selected.empty() && NormalizeFileName(Selected) == FScope->ToDoFileName();
    FAddFileCmd->setEnabled(FProject != nullptr);
    FRemoveFileCmd->setEnabled(UsesClause && !Selected.empty() && !ToDoFile);
    FRemoveFileCmd->setToolTip(FProject && !UsesClause
                                   ? tr("A folder project holds every source file under its "
                                        "folder")
                                   : QString());
    FRenameFileCmd->setEnabled(FProject != nullptr && !Selected.empty() && !ToDoFile);
    // A folder project is named after its folder, which has no file to rename: RenameProjectTo
    // refuses it. A project opened from a file of its own renames that file.
    const bool HasProjectFile = FProject && FileExists(FProject->GetFileName());
    FRenameProjectCmd->setEnabled(HasProjectFile);
    FRenameProjectCmd->setToolTip(
        FProject && !HasProjectFile ? tr("A folder project is named after its folder") : QString());
}

void TMainWindow::PostActionUpdate() {
    // Posted: the event comes in the middle of an edit, maybe on another thread, and many
    // changes in a row need one update.
    if (FActionUpdatePosted.exchange(true))
        return;
    FPoster->Post([this] {
        FActionUpdatePosted = false;
        RequestActionUpdate();
    });
}

void TMainWindow::UpdateStatus() {
    if (TCodeEditor* Editor = FEditors ? FEditors->CurrentEditor() : nullptr) {
        FPositionLabel->setText(
            QString("%1:%2").arg(Editor->CursorLine()).arg(Editor->CursorColumn()));
        FModifiedLabel->setText(Editor->IsModified() ? tr("Modified") : QString());
        return;
    }
    FPositionLabel->clear();
    FModifiedLabel->clear();
}

void TMainWindow::UpdateTitle() {
    if (FProject) {
        setWindowTitle(tr("%1 - To-Do List").arg(Q(FProject->GetName())));
        FProjectLabel->setText(Q(FProject->GetName()));
        FProjectLabel->setToolTip(Q(FProject->GetFileName()));
    } else {
        setWindowTitle(tr("To-Do List"));
        FProjectLabel->setText(tr("No project"));
        FProjectLabel->setToolTip(QString());
    }
}

// ---------------------------------------------------------------------------------------------
// IIDEServices

int TMainWindow::AddImages(const TImageList& Images) {
    std::vector<QPixmap> Pixmaps;
    for (int I = 0; I < MaxImagesScanned; ++I)
        if (Images.HasImage(I))
            Pixmaps.push_back(Images.Image(I));
    if (Pixmaps.empty())
        return -1;
    TImageList& Main = MainImageList();
    const int Count = static_cast<int>(Pixmaps.size());
    int First = FirstPackageImage;
    for (int I = 0; I < Count;) {
        if (Main.HasImage(First + I)) {
            First += I + 1;
            I = 0;
        } else {
            ++I;
        }
    }
    for (int I = 0; I < Count; ++I)
        Main.SetImage(First + I, Pixmaps[I]);
    return First;
}

QMenuBar* TMainWindow::GetMainMenu() {
    return menuBar();
}

bool TMainWindow::InsertMenuItem(QAction* Action, const QString& TargetName, TMenuPosition Where) {
    if (!Action)
        return false;
    QWidget* Holder = nullptr;
    QAction* Target = FindAction(menuBar(), TargetName, Holder);
    if (!Target)
        return false;
    switch (Where) {
    case TMenuPosition::Before:
        Holder->insertAction(Target, Action);
        break;
    case TMenuPosition::After: {
        const QList<QAction*> Siblings = Holder->actions();
        const qsizetype At = Siblings.indexOf(Target);
        if (At + 1 < Siblings.size())
            Holder->insertAction(Siblings[At + 1], Action);
        else
            Holder->addAction(Action);
        break;
    }
    case TMenuPosition::Child:
        if (QMenu* Sub = Target->menu())
            Sub->addAction(Action);
        else
            return false;
        break;
    }
    return true;
}

void TMainWindow::UpdateMenuShortcuts() {
    std::vector<QAction*> Actions;
    CollectShortcutActions(menuBar(), Actions);
    for (QAction* Action : Actions)
        addAction(Action); // a widget holds an action once, however often it is added
}

void TMainWindow::DockForm(TDockableForm* Form) {
    if (!Form)
        return;
    if (Form->objectName().isEmpty()) {
        // saveState finds dock windows by name.
        QString Name = Form->metaObject()->className();
        for (int I = 2; findChild<QDockWidget*>(Name); ++I)
            Name = QString("%1%2").arg(Form->metaObject()->className()).arg(I);
        Form->setObjectName(Name);
    }
    const bool Known = Form->parent() == this && dockWidgetArea(Form) != Qt::NoDockWidgetArea;
    if (!Known) {
        addDockWidget(Qt::BottomDockWidgetArea, Form);
        connect(Form, &QObject::destroyed, this,
                [Form, Names = FormFieldNamesOf(*Form)] { ClearFormFieldsOf(Form, Names); });
    }
}

void TMainWindow::DestroyPackageForms() {
    QList<QPointer<TDockableForm>> Forms;
    for (TDockableForm* Form : findChildren<TDockableForm*>())
        Forms.append(Form);
    for (const QPointer<TDockableForm>& Form : Forms) {
        if (!Form)
            continue; // went with another one
        ClearFormFieldsOf(Form, FormFieldNamesOf(*Form));
        delete Form.data();
    }
}

// ---------------------------------------------------------------------------------------------
// Projects

QString TMainWindow::openProject(const QString& Path) {
    if (Path.isEmpty())
        return tr("no project given");
    auto Loaded = LoadProject(Path.toStdString());
    if (!Loaded)
        return Q(Loaded.Status().Message());
    QString Why;
    if (!CloseProjectFiles(true, Why))
        return Why;
    FProjectPath = fs::absolute(Path.toStdString()).lexically_normal().string();
    FProject = Loaded.Value().Project;
    FScope = Loaded.Value().Scope;
    MainProjectGroup().SetActiveProject(FProject);
    StartWatching();
    AppIniFile().WriteString("Desktop Host", "LastProject", FProjectPath);
    UpdateTitle();
    FProjectTree->Rebuild();
    RestoreDesktopFrom(ProjectDesktopFileName(FProject->GetFileName()), true);
    FDesktopActive = true;
    RequestActionUpdate();
    return {};
}

QString TMainWindow::closeProject() {
    if (!FProject)
        return {};
    QString Why;
    if (!CloseProjectFiles(true, Why))
        return Why;
    AppIniFile().DeleteKey("Desktop Host", "LastProject");
    FDesktopActive = true; // the layout goes on as the default desktop
    return {};
}

QString TMainWindow::openFile(const QString& Path) {
    if (Path.isEmpty())
        return tr("no file given");
    const std::string Name = NormalizeFileName(Path.toStdString());
    if (!FileExists(Name))
        return tr("cannot open %1: no such file").arg(Path);
    if (TStatus S = CallDefaultOpenProc(Name, true); !S)
        return Q(S.Message());
    return {};
}

QString TMainWindow::projectFileName() const {
    return FProject ? Q(FProject->GetFileName()) : QString();
}

bool TMainWindow::CloseProjectFiles(bool MayCancel, QString& Why) {
    SaveDesktop();
    // Files a package changed without an editor (the to-do file) would be lost silently. Asked
    // about before any editor closes, so that Cancel here leaves every tab open.
    for (auto Unsaved = UnsavedModulesWithoutEditor(); !Unsaved.empty();
         Unsaved = UnsavedModulesWithoutEditor()) {
        QStringList Names;
        for (const auto& Module : Unsaved)
            Names << Q(Module->GetFileName());
        QMessageBox Box(QMessageBox::Question, tr("Save Changes"),
                        tr("These files have changes that are not saved:\n%1\n\nSave them?")
                            .arg(Names.join('\n')),
                        QMessageBox::Save | QMessageBox::Discard |
                            (MayCancel ? QMessageBox::Cancel : QMessageBox::NoButton),
                        this);
        Box.setDefaultButton(QMessageBox::Save);
        const int Answer = Box.exec();
        if (Answer == QMessageBox::Discard) {
            // Kept loaded, the changes would come back with the project; closed, the files are
            // read from disk again.
            for (const auto& Module : Unsaved) {
                const std::string Name = Module->GetFileName();
                CloseModule(Name);
                NotifyModuleModified(Name);
            }
            break;
        }
        if (Answer != QMessageBox::Save && MayCancel) {
            Why = tr("cancelled: a file has unsaved changes");
            return false;
        }
        // Save (or, when nobody can cancel, a box closed without an answer: what loses nothing).
        if (SaveModulesWithoutEditor())
            break;
        if (MayCancel) {
            Why = tr("a file could not be saved");
            return false;
        }
        // Nobody can cancel: ask again about what is still unsaved.
    }
    if (!MayCancel) {
        CloseEditorsWithoutCancel();
    } else if (!FEditors->CloseAll()) {
        Why = tr("cancelled: an editor has unsaved changes");
        return false;
    }
    StopWatching();
    std::vector<std::string> Files;
    if (FProject) {
        Files.push_back(FProject->GetFileName());
        for (const auto& Entry : FProject->GetUsesList())
            Files.push_back(Entry->GetFileName());
    }
    if (FProject || MainProjectGroup().ActiveProject())
        MainProjectGroup().SetActiveProject(nullptr);
    FProject.reset();
    FScope.reset();
    FProjectPath.clear();
    FDesktopActive = false;
    // Loaded buffers would go stale while nothing watches them; changed ones are kept, so
    // nothing unsaved is dropped.
    for (const std::string& File : Files)
        if (auto Module = FindDocModule(File); Module && !Module->HasView() &&
                                               !Module->GetModified() &&
                                               !Module->GetBuffer()->GetModified())
            CloseModule(File);
    UpdateTitle();
    RequestActionUpdate();
    return true;
}

void TMainWindow::CloseEditorsWithoutCancel() {
    for (const std::string& File : FEditors->OpenFiles()) {
        TCodeEditor* Editor = FEditors->EditorOf(File);
        while (Editor && Editor->IsModified()) {
            FEditors->setCurrentWidget(Editor);
            QMessageBox Box(QMessageBox::Question, tr("Save Changes"),
                            tr("Save changes to %1?").arg(Q(fs::path(File).filename().string())),
                            QMessageBox::Save | QMessageBox::Discard, this);
            Box.setDefaultButton(QMessageBox::Save);
            if (Box.exec() == QMessageBox::Discard) {
                // Closing the module drops the changes; its tab follows the host.
                CloseModule(File);
                NotifyModuleModified(File);
                break;
            }
            // A failed save showed why; the question comes again until the file is saved or
            // the user gives the changes up.
            FEditors->SaveEditor(Editor);
        }
        if (TCodeEditor* Left = FEditors->EditorOf(File))
            FEditors->CloseEditor(Left); // unmodified: no question
    }
}

std::vector<std::shared_ptr<TModule>> TMainWindow::UnsavedModulesWithoutEditor() const {
    // Any loaded file counts, not only the project's: a package may change a file whose editor
    // was closed while its module stayed loaded.
    std::vector<std::shared_ptr<TModule>> Modules = LoadedModules();
    std::erase_if(Modules, [](const std::shared_ptr<TModule>& Module) {
        return Module->HasView() || !(Module->GetModified() || Module->GetBuffer()->GetModified());
    });
    return Modules;
}

bool TMainWindow::SaveModulesWithoutEditor() {
    bool Ok = true;
    for (const auto& Module : UnsavedModulesWithoutEditor())
        if (TStatus S = Module->Save(false, true); !S) {
            ShowError(tr("Save"),
                      tr("Cannot save %1: %2").arg(Q(Module->GetFileName()), Q(S.Message())));
            Ok = false;
        }
    return Ok;
}

void TMainWindow::StartWatching() {
    StopWatching();
    if (!FScope)
        return;
    TFileWatcherOptions Options;
    std::shared_ptr<TProjectScope> Scope = FScope;
    Options.FolderFilter = [Scope](const std::string& Folder) {
        return Scope->ShouldWatchFolder(Folder);
    };
    auto Watcher = std::make_unique<TFileWatcher>(std::move(Options));
    for (const std::string& Folder : TopFolders(FScope->Folders()))
        if (TStatus S = Watcher->AddTree(Folder); !S)
            Warn(S.Message());
    // Called on the watcher's thread: only post to the window's.
    TStatus S = Watcher->Start([this] { FPoster->Post([this] { OnFilesChanged(); }); });
    if (!S) {
        Warn("changes on disk will not be noticed: " + S.Message());
        return;
    }
    FWatcher = std::move(Watcher);
}

void TMainWindow::StopWatching() {
    if (FWatcher)
        FWatcher->Stop();
    FWatcher.reset();
}

void TMainWindow::OnFilesChanged() {
    if (FWatcher)
        ApplyFileChanges(FWatcher->TakeChanges());
}

void TMainWindow::ApplyFileChanges(const std::vector<TFileChange>& Changes) {
    if (Changes.empty())
        return;
    const TFileChangesOutcome Outcome = ::ApplyFileChanges(FProject.get(), FScope.get(), Changes);
    const bool Lost = std::any_of(Changes.begin(), Changes.end(), [](const TFileChange& C) {
        return C.Kind == TFileChangeKind::Rescan;
    });
    if (Lost) {
        // Which files changed is unknown: every editor checks its file.
        for (const std::string& File : FEditors->OpenFiles())
            FEditors->FileChangedOnDisk(File);
    } else {
        for (const TFileChange& Change : Changes)
            if (!Change.FileName.empty() && FEditors->EditorOf(Change.FileName))
                FEditors->FileChangedOnDisk(Change.FileName);
    }
    if (Outcome == TFileChangesOutcome::ReloadProject && FProject) {
        if (TStatus S = LoadAndActivate(FProjectPath); !S)
            Warn("cannot load the project again: " + S.Message());
    }
}

TStatus TMainWindow::LoadAndActivate(const std::string& Path) {
    auto Loaded = LoadProject(Path);
    if (!Loaded)
        return Loaded.Status();
    StopWatching();
    FProjectPath = Path;
    FProject = Loaded.Value().Project;
    FScope = Loaded.Value().Scope;
    MainProjectGroup().SetActiveProject(FProject);
    StartWatching();
    UpdateTitle();
    RequestActionUpdate();
    return {};
}

// ---------------------------------------------------------------------------------------------
// Desktops

void TMainWindow::EnterDefaultDesktop() {
    RestoreDesktopFrom(ProjectDesktopFileName(""), true);
    FDesktopActive = true;
}

bool TMainWindow::SaveDesktop() {
    if (!FDesktopActive)
        return true;
    const std::string FileName = ProjectDesktopFileName(FProject ? FProject->GetFileName() : "");
    if (FileName.empty())
        return false;
    if (TStatus S = SaveDesktopTo(FileName, true); !S) {
        Warn("cannot save the desktop: " + S.Message());
        return false;
    }
    return true;
}

TStatus TMainWindow::SaveDesktopTo(const std::string& FileName, bool WithEditors) {
    {
        // A damaged file is written anew: its damaged lines would otherwise stay.
        TIniFile Old(FileName);
        if (!Old.Problems().empty()) {
            std::error_code Ec;
            fs::remove(FileName, Ec);
        }
    }
    TIniFile Desktop(FileName);
    for (const std::string& Section : Desktop.ReadSections())
        Desktop.EraseSection(Section);
    TDesktopLayout Layout;
    Layout.Geometry = saveGeometry();
    Layout.State = saveState();
    Layout.Forms = SaveDesktopForms(Desktop, *this, WithEditors);
    if (WithEditors) {
        TCodeEditor* Current = FEditors->CurrentEditor();
        for (const std::string& File : FEditors->OpenFiles()) {
            TCodeEditor* Editor = FEditors->EditorOf(File);
            if (Editor == Current && Current)
                Layout.Active = static_cast<int>(Layout.Editors.size());
            Layout.Editors.push_back({File, Editor ? Editor->CursorOffset() : 0});
        }
    }
    WriteDesktopLayout(Desktop, Layout, WithEditors);
    return Desktop.UpdateFile();
}

void TMainWindow::RestoreDesktopFrom(const std::string& FileName, bool WithEditors) {
    std::error_code Ec;
    if (FileName.empty() || !fs::exists(FileName, Ec))
        return;
    const TIniFile Desktop(FileName);
    TDesktopLayout Layout;
    if (TStatus S = ReadDesktopLayout(Desktop, Layout); !S) {
        Warn("ignoring the damaged desktop " + FileName + ": " + S.Message());
        return;
    }
    RestoreDesktopForms(Desktop, Layout.Forms, *this, [this](TDockableForm* F) { DockForm(F); });
    if (!Layout.Geometry.isEmpty() && !restoreGeometry(Layout.Geometry))
        Warn("ignoring the damaged window geometry of " + FileName);
    if (!Layout.State.isEmpty() && !restoreState(Layout.State))
        Warn("ignoring the damaged window layout of " + FileName);
    if (!WithEditors)
        return;
    for (const TEditorPlace& Place : Layout.Editors) {
        if (!FileExists(Place.FileName))
            continue;
        if (!CallDefaultOpenProc(Place.FileName, false))
            continue;
        if (TCodeEditor* Editor = FEditors->EditorOf(Place.FileName))
            Editor->SetCursorOffset(Place.Cursor);
    }
    if (Layout.Active >= 0 && Layout.Active < static_cast<int>(Layout.Editors.size()) &&
        FEditors->EditorOf(Layout.Editors[Layout.Active].FileName))
        (void)CallDefaultOpenProc(Layout.Editors[Layout.Active].FileName, true);
}

void TMainWindow::SaveDesktopCommand() {
    bool Ok = false;
    const QString Name = QInputDialog::getText(this, tr("Save Desktop"), tr("Desktop name:"),
                                               QLineEdit::Normal, QString(), &Ok)
                             .trimmed();
    if (!Ok || Name.isEmpty())
        return;
    const std::string FileName = NamedDesktopFileName(Name.toStdString());
    if (FileName.empty()) {
        ShowError(tr("Save Desktop"), tr("\"%1\" cannot name a desktop.").arg(Name));
        return;
    }
    if (TStatus S = SaveDesktopTo(FileName, false); !S)
        ShowError(tr("Save Desktop"), Q(S.Message()));
}

void TMainWindow::DeleteDesktopCommand() {
    QStringList Names;
    for (const std::string& Name : NamedDesktops())
        Names << Q(Name);
    if (Names.isEmpty()) {
        QMessageBox::information(this, tr("Delete Desktop"), tr("There are no saved desktops."));
        return;
    }
    bool Ok = false;
    const QString Name =
        QInputDialog::getItem(this, tr("Delete Desktop"), tr("Desktop:"), Names, 0, false, &Ok);
    if (!Ok)
        return;
    std::error_code Ec;
    if (!fs::remove(NamedDesktopFileName(Name.toStdString()), Ec) && Ec)
        ShowError(tr("Delete Desktop"), Q(Ec.message()));
}

// ---------------------------------------------------------------------------------------------
// Shut-down

bool TMainWindow::PrepareExit(bool MayCancel) {
    if (FExitPrepared)
        return true;
    QString Why;
    if (!CloseProjectFiles(MayCancel, Why))
        return false;
    FExitPrepared = true;
    return true;
}

void TMainWindow::closeEvent(QCloseEvent* Event) {
    if (!PrepareExit(true)) {
        Event->ignore();
        return;
    }
    Event->accept();
    emit ExitRequested();
}

// ---------------------------------------------------------------------------------------------
// Project menu

void TMainWindow::ShowError(const QString& Title, const QString& Text) {
    QMessageBox::warning(this, Title, Text);
}

void TMainWindow::OpenProjectCommand() {
    const QString Path =
        QFileDialog::getOpenFileName(this, tr("Open Project"), QString(),
                                     tr("Pascal projects (*.dpr *.lpr *.dpk);;All files (*)"));
    if (Path.isEmpty())
        return;
    if (const QString Why = openProject(Path); !Why.isEmpty())
        ShowError(tr("Open Project"), Why);
}

void TMainWindow::OpenFileCommand() {
    const QString Folder =
        FProject ? Q(fs::path(FProject->GetFileName()).parent_path().string()) : QString();
    const QStringList Paths = QFileDialog::getOpenFileNames(this, tr("Open File"), Folder);
    for (const QString& Path : Paths)
        if (const QString Why = openFile(Path); !Why.isEmpty())
            ShowError(tr("Open File"), Why);
}

TStatus
TMainWindow::EditUsesClause(const std::function<std::optional<std::string>(std::string_view)>& Edit,
                            const std::string& Failure) {
    const std::string File = FProject->GetFileName();
    auto Opened = OpenModule(File);
    if (!Opened)
        return Opened.Status();
    std::shared_ptr<TModule> Module = Opened.Value();
    std::shared_ptr<TEditBuffer> Buffer = Module->GetBuffer();
    if (Module->GetModified() || Buffer->GetModified())
        return TStatus::Error("the project file " + File +
                              " has unsaved changes: save or discard them first");
    const std::string Old = Buffer->GetText();
    const std::optional<std::string> New = Edit(Old);
    if (!New)
        return TStatus::Error(Failure);
    // Only the changed bytes are replaced, so an editor showing the file keeps its place.
    size_t Prefix = 0;
    while (Prefix < Old.size() && Prefix < New->size() && Old[Prefix] == (*New)[Prefix])
        ++Prefix;
    size_t Suffix = 0;
    while (Suffix < Old.size() - Prefix && Suffix < New->size() - Prefix &&
           Old[Old.size() - 1 - Suffix] == (*New)[New->size() - 1 - Suffix])
        ++Suffix;
    const int Start = static_cast<int>(Prefix);
    const int OldEnd = static_cast<int>(Old.size() - Suffix);
    const std::string Inserted = New->substr(Prefix, New->size() - Suffix - Prefix);
    if (TStatus S = Buffer->Replace(Start, OldEnd, Inserted); !S)
        return S;
    if (TStatus S = Module->Save(false, true); !S) {
        (void)Buffer->Replace(Start, Start + static_cast<int>(Inserted.size()),
                              Old.substr(Prefix, Old.size() - Suffix - Prefix));
        Buffer->SetModified(false);
        Module->SetModified(false);
        return TStatus::Error("cannot save " + File + ": " + S.Message());
    }
    NotifyModuleModified(File);
    return {};
}

void TMainWindow::AddFileCommand() {
    if (!FProject)
        return;
    const QString Folder = Q(fs::path(FProject->GetFileName()).parent_path().string());
    const QString Path =
        QFileDialog::getSaveFileName(this, tr("Add File to Project"), Folder, QString(), nullptr,
                                     QFileDialog::DontConfirmOverwrite);
    if (Path.isEmpty())
        return;
    if (TStatus S = AddProjectFile(Path.toStdString()); !S)
        ShowError(tr("Add File"), Q(S.Message()));
}

TStatus TMainWindow::AddProjectFile(const std::string& FileName) {
    if (!FProject)
        return TStatus::Error("no project is open");
    const std::string File = NormalizeFileName(FileName);
    const std::string ProjectFile = FProject->GetFileName();
    const std::string Folder = fs::path(ProjectFile).parent_path().string();
    if (FProject->Contains(File))
        return TStatus::Error(File + " is in the project already");
    const bool UsesClause = FScope && FScope->UsesClauseProject();
    const std::string UnitName = fs::path(File).stem().string();
    if (UsesClause && !UsesClause::IsUnitName(UnitName))
        return TStatus::Error("\"" + UnitName + "\" cannot name a unit in a uses clause");
    if (!UsesClause && !IsInside(File, Folder))
        return TStatus::Error(File + " is not under the project's folder " + Folder +
                              ": a folder project holds the files under its folder");
    std::error_code Ec;
    const bool Create = !fs::exists(File, Ec);
    if (Create && !std::ofstream(File, std::ios::binary))
        return TStatus::Error("cannot create " + File);
    if (UsesClause) {
        const std::string Keyword = UsesClause::KeywordFor(ProjectFile);
        const std::string Path = RelativePath(File, Folder);
        TStatus S = EditUsesClause(
            [&](std::string_view Text) {
                return UsesClause::AddEntry(Text, Keyword, UnitName, Path);
            },
            "the project file " + ProjectFile + " has no " + Keyword + " clause to add to");
        if (!S) {
            if (Create)
                fs::remove(File, Ec);
            return S;
        }
    }
    FProject->AddFile(File);
    return {};
}

void TMainWindow::RemoveFileCommand() {
    const std::string File = FProjectTree->SelectedFile();
    if (File.empty())
        return;
    if (TStatus S = RemoveProjectFile(File); !S)
        ShowError(tr("Remove File"), Q(S.Message()));
}

TStatus TMainWindow::RemoveProjectFile(const std::string& FileName) {
    if (!FProject)
        return TStatus::Error("no project is open");
    if (!FScope || !FScope->UsesClauseProject())
        return TStatus::Error("a folder project holds every source file under its folder");
    const std::string File = NormalizeFileName(FileName);
    const std::string ProjectFile = FProject->GetFileName();
    if (File == ProjectFile)
        return TStatus::Error("the project file cannot be removed from its project");
    if (FScope && File == FScope->ToDoFileName())
        return TStatus::Error("the to-do file cannot be removed from its project");
    const std::string Keyword = UsesClause::KeywordFor(ProjectFile);
    const std::string Folder = fs::path(ProjectFile).parent_path().string();
    if (TStatus S = EditUsesClause(
            [&](std::string_view Text) {
                return UsesClause::RemoveEntry(Text, Keyword, Folder, File);
            },
            File + " is not named in the " + Keyword + " clause of " + ProjectFile);
        !S)
        return S;
    FProject->RemoveFile(File);
    return {};
}

void TMainWindow::RenameFileCommand() {
    const std::string File = FProjectTree->SelectedFile();
    if (File.empty())
        return;
    bool Ok = false;
    const QString NewName =
        QInputDialog::getText(this, tr("Rename File"), tr("New name:"), QLineEdit::Normal,
                              Q(fs::path(File).filename().string()), &Ok)
            .trimmed();
    if (!Ok || NewName.isEmpty())
        return;
    const std::string Target = (fs::path(File).parent_path() / NewName.toStdString()).string();
    if (TStatus S = RenameProjectFile(File, Target); !S)
        ShowError(tr("Rename File"), Q(S.Message()));
}

TStatus TMainWindow::RenameProjectFile(const std::string& OldName, const std::string& NewName) {
    if (!FProject)
        return TStatus::Error("no project is open");
    const std::string Old = NormalizeFileName(OldName);
    const std::string New = NormalizeFileName(NewName);
    const std::string ProjectFile = FProject->GetFileName();
    if (Old == ProjectFile)
        return TStatus::Error("the project file is renamed with the project (Rename Project)");
    if (FScope && Old == FScope->ToDoFileName())
        return TStatus::Error("the to-do file is named after the project: it follows Rename "
                              "Project");
    if (!FProject->Contains(Old))
        return TStatus::Error(Old + " is not in the project");
    if (Old == New)
        return {};
    std::error_code Ec;
    if (fs::exists(New, Ec) || fs::is_symlink(New, Ec))
        return TStatus::Error(New + " exists already");
    const bool UsesClause = FScope && FScope->UsesClauseProject();
    const std::string Keyword = UsesClause::KeywordFor(ProjectFile);
    const std::string Folder = fs::path(ProjectFile).parent_path().string();
    if (UsesClause) {
        // Checked before anything moves: the file must be one the clause names.
        auto Module = OpenModule(ProjectFile);
        if (!Module)
            return Module.Status();
        if (!UsesClause::RenameEntry(Module.Value()->GetBuffer()->GetText(), Keyword, Folder, Old,
                                     RelativePath(New, Folder)))
            return TStatus::Error(Old + " is not named in the " + Keyword + " clause of " +
                                  ProjectFile);
    }
    fs::rename(Old, New, Ec);
    if (Ec)
        return TStatus::Error("cannot rename " + Old + ": " + Ec.message());
    std::shared_ptr<TModule> Module = FindDocModule(Old);
    auto Undo = [&] {
        if (Module)
            (void)Module->Rename(Old);
        std::error_code Ignored;
        fs::rename(New, Old, Ignored);
    };
    if (Module)
        if (TStatus S = Module->Rename(New); !S) {
            Module.reset();
            Undo();
            return S;
        }
    if (UsesClause) {
        TStatus S = EditUsesClause(
            [&](std::string_view Text) {
                return UsesClause::RenameEntry(Text, Keyword, Folder, Old,
                                               RelativePath(New, Folder));
            },
            Old + " is not named in the " + Keyword + " clause of " + ProjectFile);
        if (!S) {
            Undo();
            return S;
        }
    }
    FProject->RenameFile(Old, New);
    return {};
}

void TMainWindow::RenameProjectCommand() {
    if (!FProject)
        return;
    const std::string File = FProject->GetFileName();
    bool Ok = false;
    const QString NewName =
        QInputDialog::getText(this, tr("Rename Project"), tr("New name:"), QLineEdit::Normal,
                              Q(fs::path(File).filename().string()), &Ok)
            .trimmed();
    if (!Ok || NewName.isEmpty())
        return;
    const std::string Target = (fs::path(File).parent_path() / NewName.toStdString()).string();
    if (TStatus S = RenameProjectTo(Target); !S)
        ShowError(tr("Rename Project"), Q(S.Message()));
}

TStatus TMainWindow::RenameProjectTo(const std::string& NewFileName) {
    if (!FProject)
        return TStatus::Error("no project is open");
    const std::string Old = FProject->GetFileName();
    fs::path NewPath = NormalizeFileName(NewFileName);
    const std::string Ext = fs::path(Old).extension().string();
    if (NewPath.extension().empty())
        NewPath += Ext;
    else if (NewPath.extension() != Ext)
        return TStatus::Error("the project file keeps its extension " + Ext);
    const std::string New = NewPath.string();
    if (New == Old)
        return {};
    if (!FileExists(Old))
        return TStatus::Error("the project file " + Old +
                              " does not exist: a folder project is named after its folder");
    std::error_code Ec;
    if (fs::exists(New, Ec) || fs::is_symlink(New, Ec))
        return TStatus::Error(New + " exists already");
    std::shared_ptr<TModule> Module = FindDocModule(Old);
    if (Module && (Module->GetModified() || Module->GetBuffer()->GetModified()))
        return TStatus::Error("the project file " + Old +
                              " has unsaved changes: save or discard them first");
    fs::rename(Old, New, Ec);
    if (Ec)
        return TStatus::Error("cannot rename " + Old + ": " + Ec.message());
    if (Module)
        if (TStatus S = Module->Rename(New); !S) {
            fs::rename(New, Old, Ec);
            return S;
        }
    RenameProject(*FProject, New);
    // Loaded again from its new name, so that watching and the project's scope follow.
    const bool WasFile = FProjectPath == Old;
    if (TStatus S = LoadAndActivate(WasFile ? New : FProjectPath); !S)
        Warn(S.Message());
    AppIniFile().WriteString("Desktop Host", "LastProject", FProjectPath);
    return {};
}
