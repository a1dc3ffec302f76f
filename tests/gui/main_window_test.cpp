// The main window, its project tree, desktops, the Project menu's edits and the start-up and
// shut-down sequence, against the real host layer with projects in temporary folders.
#include "code_editor.h"
#include "desktop.h"
#include "editor_tabs.h"
#include "gui_fixture.h"
#include "host_startup.h"
#include "main_window.h"
#include "project_tree.h"

#include "host/containers.h"
#include "host/events.h"
#include "host/file_project.h"
#include "host/module.h"
#include "host/packages.h"
#include "host/project.h"
#include "host/todo_intf.h"
#include "ui/shell/dockable_form.h"
#include "ui/shell/ide_services.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

/// A private home, a project folder and a main window over them.
class MainWindowTest : public testing::Test {
protected:
    /// Opens Project (the folder Dir when empty) and then each of Files in an editor.
    void Open(const std::string& Project, const std::vector<std::string>& Files = {}) {
        ASSERT_EQ(W->openProject(QString::fromStdString(Project.empty() ? Dir.File("") : Project)),
                  "");
        for (const std::string& File : Files)
            ASSERT_EQ(W->openFile(QString::fromStdString(File)), "") << File;
    }
    TTestHome Home;
    TTempDir Dir;
    TWindow W;
};

void ProcessEvents() {
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

/// The tree as text: "name[child,child]" per node.
std::string Dump(const QTreeWidgetItem* Item) {
    std::string Text = Item->text(0).toStdString();
    if (Item->childCount() == 0)
        return Text;
    Text += "[";
    for (int I = 0; I < Item->childCount(); ++I)
        Text += (I ? "," : "") + Dump(Item->child(I));
    return Text + "]";
}
std::string Dump(const QTreeWidget& Tree) {
    std::string Text;
    for (int I = 0; I < Tree.topLevelItemCount(); ++I)
        Text += (I ? ";" : "") + Dump(Tree.topLevelItem(I));
    return Text;
}

/// The menu item names of Menu in order (separators as "-").
std::vector<std::string> ItemNames(const QMenu* Menu) {
    std::vector<std::string> Names;
    for (const QAction* A : Menu->actions())
        Names.push_back(A->isSeparator() ? "-" : A->objectName().toStdString());
    return Names;
}

/// A container creator for to-do files, as the package registers one.
class TToDoFileCreator : public IContainerCreator {
public:
    void GetContainer(IProject&, const std::shared_ptr<TCustomFileEntry>&, bool&,
                      TRef<IInterface>&) override {}
    bool CanHandle(const std::string& FileName) override { return FileName.ends_with(".todo"); }
    int AddExtensions(std::vector<std::string>& Extensions) override {
        Extensions.push_back(".todo");
        return static_cast<int>(Extensions.size()) - 1;
    }
    std::string GetName() override { return "To-Do File"; }
};

/// A desktop form class of the test, registered with a form field like a package's window.
class TTestForm : public TDockableForm {
public:
    explicit TTestForm(QWidget* Parent) : TDockableForm(Parent) {
        setObjectName("TestForm");
        setWidget(new QLabel("test", this)); // owned by this (Qt parent)
    }
};

class TTestFormRegistration {
public:
    TTestFormRegistration() {
        RegisterDesktopFormClass(
            [this](QWidget* Parent) -> TDockableForm* {
                ++Created;
                return new TTestForm(Parent);
            },
            "Test Form", "TestForm");
        RegisterFormField("TestForm", &Field);
    }
    ~TTestFormRegistration() {
        UnregisterFormField(&Field);
        UnregisterDesktopFormClass("TestForm");
    }
    TDockableForm* Field = nullptr;
    int Created = 0;
};

} // namespace

// ---------------------------------------------------------------------------------------------
// Command line

TEST(CommandLineTest, ParsesOptionsAndRejectsMistakes) {
    struct TCase {
        std::vector<std::string> Args;
        std::string Error; // part of the message; empty when the line is fine
        std::vector<std::string> Packages = {};
        std::string Project = {};
        std::string Settings = {};
        std::string Socket = {};
        bool NoDefault = false;
    };
    const TCase Cases[] = {
        {{}, ""},
        {{"proj.dpr"}, "", {}, "proj.dpr"},
        {{"--package", "a.so", "--package=b.so", "dir"}, "", {"a.so", "b.so"}, "dir"},
        {{"--no-default-packages", "--settings", "s.ini"}, "", {}, "", "s.ini", "", true},
        {{"--automation=/tmp/s", "--", "--odd-name"}, "", {}, "--odd-name", "", "/tmp/s"},
        {{"--package"}, "needs a value"},
        {{"--settings="}, "needs a value"},
        {{"--no-default-packages=1"}, "takes no value"},
        {{"--frobnicate"}, "unknown option --frobnicate"},
        {{"a", "b"}, "more than one project"},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(testing::PrintToString(C.Args));
        auto R = ParseCommandLine(C.Args);
        if (!C.Error.empty()) {
            ASSERT_FALSE(R);
            EXPECT_NE(R.Status().Message().find(C.Error), std::string::npos)
                << R.Status().Message();
            continue;
        }
        ASSERT_TRUE(R) << R.Status().Message();
        EXPECT_EQ(R.Value().Packages, C.Packages);
        EXPECT_EQ(R.Value().Project, C.Project);
        EXPECT_EQ(R.Value().SettingsFile, C.Settings);
        EXPECT_EQ(R.Value().AutomationSocket, C.Socket);
        EXPECT_EQ(R.Value().NoDefaultPackages, C.NoDefault);
    }
}

TEST(CommandLineTest, ASourceFileGivenOpensInAnEditorInTheProjectThatHoldsIt) {
    TTestHome Home; // HOME is Home.Dir/HOME
    const TTempDir& D = Home.Dir;
    for (const char* Folder : {"app/units", "elsewhere", "HOME"})
        std::filesystem::create_directories(D.File(Folder));
    D.Write("HOME/x.c", "int x;\n");
    D.Write("app/app.dpr", "program app; begin end.\n");
    D.Write("app/units/a.pas", "unit a; end.\n");
    D.Write("app/CMakeLists.txt", "project(x)\n");
    D.Write("elsewhere/b.c", "int b;\n");
    const std::string Dpr = D.File("app/app.dpr"), Unit = D.File("app/units/a.pas");
    const std::string CFile = D.File("elsewhere/b.c"), Gone = D.File("moved/old.dpr");
    const struct {
        std::string Given, Last;
        TStartTarget Expected;
    } Cases[] = {
        {"", Dpr, {Dpr, ""}},                     // the last project
        {"", Gone, {"", ""}},                     // ...only while it exists
        {Dpr, Gone, {Dpr, ""}},                   // a project file is the project
        {D.File("app"), "", {D.File("app"), ""}}, // so is a folder
        {D.File("app/CMakeLists.txt"), Dpr, {D.File("app/CMakeLists.txt"), ""}}, // not a source
        {Unit, Dpr, {Dpr, Unit}},                               // in the last project's folder
        {Unit, D.File("app"), {D.File("app"), Unit}},           // ...a folder project's too
        {CFile, Dpr, {D.File("elsewhere"), CFile}},             // outside it: its own folder
        {Unit, "", {D.File("app/units"), Unit}},                // no last project
        {D.File("app/units/../units/a.pas"), Dpr, {Dpr, Unit}}, // spelled another way
        {D.File("app/units/none.pas"),
         Dpr,
         {D.File("app/units/none.pas"), ""}},               // missing: an error later
        {D.File("HOME/x.c"), "", {"", D.File("HOME/x.c")}}, // the home folder is not walked
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Given + " | " + C.Last);
        const TStartTarget T = StartTarget(C.Given, C.Last);
        EXPECT_EQ(T.Project, C.Expected.Project);
        EXPECT_EQ(T.File, C.Expected.File);
    }
}

// ---------------------------------------------------------------------------------------------
// Menus as the packages use them

TEST_F(MainWindowTest, MenuItemsGoWhereThePackagesPutThemAndTheirShortcutsWork) {
    QMenu* View = W->menuBar()->findChild<QMenu*>("ViewMenu");
    QMenu* Desktops = W->menuBar()->findChild<QMenu*>("ViewDesktopsMenu");
    ASSERT_TRUE(View && Desktops);

    QAction Before("Before"), After("After"), Child("Child"), Last("Last"), Lost("Lost");
    Before.setObjectName("BeforeItem");
    After.setObjectName("AfterItem");
    Child.setObjectName("ChildItem");
    Last.setObjectName("LastItem");
    Child.setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_T));
    int Triggered = 0;
    QObject::connect(&Child, &QAction::triggered, [&] { ++Triggered; });
    // The target is found in a submenu of a menu, and in the menu bar itself.
    EXPECT_TRUE(W->InsertMenuItem(&Before, "ViewDesktopsMenu", TMenuPosition::Before));
    EXPECT_TRUE(W->InsertMenuItem(&After, "ViewProjectTreeCommand", TMenuPosition::After));
    EXPECT_TRUE(W->InsertMenuItem(&Child, "ViewDesktopsMenu", TMenuPosition::Child));
    EXPECT_TRUE(W->InsertMenuItem(&Last, "ViewDesktopsMenu", TMenuPosition::After));
    EXPECT_EQ(ItemNames(View),
              (std::vector<std::string>{"ViewProjectTreeCommand", "AfterItem", "BeforeItem",
                                        "ViewDesktopsMenu", "LastItem"}));
    EXPECT_EQ(ItemNames(Desktops).back(), "ChildItem");

    // Not found, or a child of an item without a submenu: nothing inserted.
    EXPECT_FALSE(W->InsertMenuItem(&Lost, "NoSuchCommand", TMenuPosition::Before));
    EXPECT_FALSE(W->InsertMenuItem(&Lost, "FileSaveCommand", TMenuPosition::Child));
    EXPECT_TRUE(Lost.associatedObjects().isEmpty());

    // A menu of its own before Help, in the menu bar.
    QMenu Tools("Tools");
    Tools.menuAction()->setObjectName("ToolsMenu");
    EXPECT_TRUE(W->InsertMenuItem(Tools.menuAction(), "HelpMenu", TMenuPosition::Before));
    const QList<QAction*> Bar = W->menuBar()->actions();
    ASSERT_GE(Bar.size(), 2);
    EXPECT_EQ(Bar[Bar.size() - 2], Tools.menuAction());

    // The shortcut of an item in a closed submenu works once the shortcuts are updated.
    W->UpdateMenuShortcuts();
    W->UpdateMenuShortcuts(); // harmless again
    EXPECT_EQ(W->actions().count(&Child), 1);
    W->show();
    QApplication::setActiveWindow(W.Main.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(W.Main.get()));
    QTest::keyClick(W.Main.get(), Qt::Key_T, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(Triggered, 1);

    // The Edit menu shows the editor action list; an action that goes takes its item along.
    ASSERT_FALSE(EditorActionLists().empty());
    EXPECT_EQ(EditorActionLists()[0], W->EditorActions());
    QMenu* Edit = W->menuBar()->findChild<QMenu*>("EditMenu");
    const size_t EditItems = ItemNames(Edit).size();
    {
        QAction Extra("Extra");
        Extra.setObjectName("ExtraCommand");
        W->EditorActions()->AddAction(&Extra);
        EXPECT_EQ(ItemNames(Edit).back(), "ExtraCommand");
    }
    EXPECT_EQ(ItemNames(Edit).size(), EditItems);
}

// ---------------------------------------------------------------------------------------------
// Desktops

TEST(DesktopTest, ProjectDesktopNamesAreStableAndDistinct) {
    TTestHome Home;
    const std::string A = ProjectDesktopFileName("/work/one/app.dpr");
    EXPECT_EQ(A, ProjectDesktopFileName("/work/one/./sub/../app.dpr"));
    EXPECT_NE(A, ProjectDesktopFileName("/work/two/app.dpr"));
    EXPECT_EQ(fs::path(A).parent_path(), fs::path(Home.ConfigFile("desktops")) / "projects");
    const std::string Name = fs::path(A).filename().string();
    EXPECT_TRUE(Name.starts_with("app-")) << Name;
    EXPECT_EQ(Name.size(), std::string("app-0123456789abcdef.dsk").size()) << Name;
    EXPECT_EQ(fs::path(ProjectDesktopFileName("")).filename(), "default.dsk");

    EXPECT_EQ(NamedDesktopFileName("Debugging"), Home.ConfigFile("desktops/Debugging.dst"));
    for (const char* Bad : {"", ".hidden", "a/b", "tab\there"})
        EXPECT_EQ(NamedDesktopFileName(Bad), "") << Bad;
}

TEST(DesktopTest, LayoutRoundTripIgnoresUnknownKeys) {
    TTestHome Home;
    TDesktopLayout Layout;
    Layout.Geometry = QByteArray("\x01\x02geometry\xff", 11);
    Layout.State = QByteArray("state bytes");
    Layout.Editors = {{"/p/a.c", 12}, {"/p/b c.pas", 0}};
    Layout.Active = 1;
    Layout.Forms = {"ToDoListWindow", "Other"};

    TIniFile Desktop(Home.Dir.File("d.dsk"));
    WriteDesktopLayout(Desktop, Layout, true);
    ASSERT_TRUE(Desktop.UpdateFile());
    // Written by a later version: keys and sections this one does not know.
    TIniFile Later(Home.Dir.File("d.dsk"));
    Later.WriteString("Editors", "Folding0", "1-5");
    Later.WriteString("Main Window", "Theme", "dark");
    Later.WriteString("Breakpoints", "Count", "3");
    ASSERT_TRUE(Later.UpdateFile());

    TDesktopLayout Read;
    ASSERT_TRUE(ReadDesktopLayout(TIniFile(Home.Dir.File("d.dsk")), Read));
    EXPECT_EQ(Read, Layout);

    // A named desktop has no editors; a shorter list leaves no stale keys behind.
    Layout.Editors.clear();
    Layout.Active = -1;
    Layout.Forms = {"Other"};
    TIniFile Named(Home.Dir.File("n.dst"));
    WriteDesktopLayout(Named, Layout, false);
    ASSERT_TRUE(Named.UpdateFile());
    ASSERT_TRUE(ReadDesktopLayout(TIniFile(Home.Dir.File("n.dst")), Read));
    EXPECT_EQ(Read, Layout);
}

TEST(DesktopTest, DamagedFilesGiveTheDefaults) {
    TTestHome Home;
    const char* Damaged[] = {
        "[Main Window]\nGeometry=not*base64!\n",
        "[Main Window]\nthis line is no key\n",
        "[Forms]\nCount=-4\n",
        "[Editors]\nCount=99999999\n",
        "[Main Window\nState=\n",
        "\xff\xfe binary junk\n",
    };
    for (const char* Text : Damaged) {
        SCOPED_TRACE(Text);
        TDesktopLayout Read;
        Read.Active = 7;
        EXPECT_FALSE(ReadDesktopLayout(TIniFile::FromText("x.dsk", Text), Read));
        EXPECT_EQ(Read, TDesktopLayout());
    }
    // Missing keys are no damage: an empty file is the default layout.
    TDesktopLayout Read;
    EXPECT_TRUE(ReadDesktopLayout(TIniFile::FromText("x.dsk", ""), Read));
    EXPECT_EQ(Read, TDesktopLayout());
}

TEST(DesktopTest, AWindowRestoresItsProjectsDesktopUnlessItIsDamaged) {
    TTestHome Home;
    TTestFormRegistration Forms;
    TTempDir Project;
    const std::string A = Project.Write("a.c", "int a; // TODO one\nint aa;\n");
    const std::string B = Project.Write("b.c", "int b;\n");
    {
        TWindow W;
        ASSERT_EQ(W->openProject(QString::fromStdString(Project.File(""))), "");
        ASSERT_EQ(W->openFile(QString::fromStdString(A)), "");
        ASSERT_EQ(W->openFile(QString::fromStdString(B)), "");
        W->Editors()->EditorOf(A)->SetCursorOffset(9);
        ASSERT_EQ(W->openFile(QString::fromStdString(A)), ""); // A is the current one
        Forms.Field = new TTestForm(W.Main.get());
        Forms.Field->SetDeskSection("Test Form");
        W->DockForm(Forms.Field);
        W->addDockWidget(Qt::RightDockWidgetArea, Forms.Field);
        W->findChild<QDockWidget*>("ProjectTreeDock")->hide();
        // Closing the window saves the project's desktop.
    }
    EXPECT_EQ(Forms.Field, nullptr) << "the host freed the window and cleared its field";
    {
        TWindow W;
        ASSERT_EQ(W->openProject(QString::fromStdString(Project.File(""))), "");
        EXPECT_EQ(W->Editors()->OpenFiles(), (std::vector<std::string>{A, B}));
        ASSERT_TRUE(W->Editors()->CurrentEditor());
        EXPECT_EQ(W->Editors()->CurrentEditor()->FileName(), A);
        EXPECT_EQ(W->Editors()->EditorOf(A)->CursorOffset(), 9);
        ASSERT_NE(Forms.Field, nullptr);
        EXPECT_EQ(Forms.Created, 1);
        EXPECT_EQ(W->dockWidgetArea(Forms.Field), Qt::RightDockWidgetArea);
        EXPECT_FALSE(W->findChild<QDockWidget*>("ProjectTreeDock")->isVisibleTo(W.Main.get()));
    }
    // Damaged: reported, and the window keeps its default layout (the tree shows again).
    const fs::path Folder = fs::path(A).parent_path(); // its project file is <folder>/<name>
    std::ofstream(ProjectDesktopFileName((Folder / Folder.filename()).string()))
        << "[Editors]\nCount=1\nFile0=" << A << "\n[Main Window]\nState=%%%\n";
    TWindow W;
    testing::internal::CaptureStderr();
    ASSERT_EQ(W->openProject(QString::fromStdString(Folder.string())), "");
    const std::string Err = testing::internal::GetCapturedStderr();
    EXPECT_NE(Err.find("damaged desktop"), std::string::npos) << Err;
    EXPECT_TRUE(W->Editors()->OpenFiles().empty());
    EXPECT_TRUE(W->findChild<QDockWidget*>("ProjectTreeDock")->isVisibleTo(W.Main.get()));
}

// ---------------------------------------------------------------------------------------------
// Project tree

TEST(ProjectTreeTest, GroupsFilesByContainerCreatorAndFollowsEvents) {
    TTestHome Home;
    auto Creator = std::make_shared<TToDoFileCreator>();
    ContainerManager().RegisterItemContainerCreator(Creator);
    TProjectTree Tree;
    const std::string Folder = "/virtual/app";
    auto Project = TProject::Create(
        Folder + "/app.dpr", {Folder + "/app.dpr", Folder + "/units/a.pas", Folder + "/app.todo"});
    MainProjectGroup().SetActiveProject(Project);
    ProcessEvents();
    EXPECT_EQ(Dump(Tree), "app[units/a.pas,To-Do File[app.todo]]");

    Project->AddFile(Folder + "/b.pas");
    ProcessEvents();
    EXPECT_EQ(Dump(Tree), "app[units/a.pas,To-Do File[app.todo],b.pas]");
    Project->RenameFile(Folder + "/units/a.pas", Folder + "/units/c.pas");
    ProcessEvents();
    EXPECT_EQ(Dump(Tree), "app[units/c.pas,To-Do File[app.todo],b.pas]");
    Project->RemoveFile(Folder + "/app.todo");
    ProcessEvents();
    EXPECT_EQ(Dump(Tree), "app[units/c.pas,b.pas]");
    Project->Rename(Folder + "/renamed.dpr");
    ProcessEvents();
    EXPECT_EQ(Tree.topLevelItem(0)->text(0), "renamed");

    MainProjectGroup().SetActiveProject(nullptr);
    ProcessEvents();
    EXPECT_EQ(Dump(Tree), "");
    ContainerManager().UnregisterItemContainerCreator(Creator);
}

TEST_F(MainWindowTest, ActivatingAFileInTheProjectTreeOpensIt) {
    const std::string A = Dir.Write("a.c", "int a;\n");
    Open("");
    QTreeWidget* Tree = W->ProjectTree();
    ASSERT_EQ(Tree->topLevelItemCount(), 1);
    QTreeWidgetItem* Item = Tree->topLevelItem(0)->child(0);
    ASSERT_NE(Item, nullptr);
    emit Tree->itemActivated(Item, 0);
    ASSERT_NE(W->Editors()->CurrentEditor(), nullptr);
    EXPECT_EQ(W->Editors()->CurrentEditor()->FileName(), A);
}

// ---------------------------------------------------------------------------------------------
// Uses clause

TEST(UsesClauseTest, EditsTouchOnlyTheirEntryAndKeepTheRestOfTheFile) {
    const std::string Text = "program P; // uses 'c.pas'\n\nuses\n  SysUtils,\n  A in 'a.pas',\n"
                             "  B in 'Units\\B.pas' {Form},\n  C in 'c.pas';\n\n{$R *.res}\n"
                             "begin\nend.\n";
    enum TEdit { Add, Remove, Rename };
    struct TCase {
        const char* Name;
        TEdit Edit;
        std::string Text;
        std::string File, To; // the entry removed or renamed (in /p), its new name
        std::optional<std::string> Expected;
        std::string Keyword = "uses";
    };
    const TCase Cases[] = {
        // Add puts New in 'new/n.pas' after the last entry, in the style of the clause.
        {"add: entries on their own lines", Add,
         "program P;\n\nuses\n  A in 'a.pas',\n  B in 'units\\b.pas' {Form};\n\nbegin\nend.\n", "",
         "",
         "program P;\n\nuses\n  A in 'a.pas',\n  B in 'units\\b.pas' {Form},\n  New in "
         "'new/n.pas';\n\nbegin\nend.\n"},
        {"add: one line, CR LF", Add, "program P;\r\nuses A in 'a.pas';\r\nbegin\r\nend.\r\n", "",
         "", "program P;\r\nuses A in 'a.pas',\r\n  New in 'new/n.pas';\r\nbegin\r\nend.\r\n"},
        {"add: tab indent, comment holding a semicolon", Add,
         "library L;\nuses\n\tA { x; y } in 'a.pas';\nbegin end.", "", "",
         "library L;\nuses\n\tA { x; y } in 'a.pas',\n\tNew in 'new/n.pas';\nbegin end."},
        {"add: no clause yet", Add, "program P;\n{$R *.res}\nbegin\nend.\n", "", "",
         "program P;\n\nuses\n  New in 'new/n.pas';\n{$R *.res}\nbegin\nend.\n"},
        {"add: package, contains after requires", Add, "package K;\n\nrequires\n  rtl;\n\nend.\n",
         "", "", "package K;\n\nrequires\n  rtl;\n\ncontains\n  New in 'new/n.pas';\n\nend.\n",
         "contains"},
        {"add: uses only in a comment", Add, "// uses X;\nprogram P;\nbegin end.", "", "",
         "// uses X;\nprogram P;\n\nuses\n  New in 'new/n.pas';\nbegin end."},
        {"add: a unit is no project", Add, "unit U;\ninterface\nend.", "", "", std::nullopt},
        {"remove: middle entry", Remove, Text, "/p/a.pas", "",
         "program P; // uses 'c.pas'\n\nuses\n  SysUtils,\n  B in 'Units\\B.pas' {Form},\n"
         "  C in 'c.pas';\n\n{$R *.res}\nbegin\nend.\n"},
        {"remove: backslash path, other letter case", Remove, Text, "/p/units/b.pas", "",
         "program P; // uses 'c.pas'\n\nuses\n  SysUtils,\n  A in 'a.pas',\n  C in 'c.pas';\n\n"
         "{$R *.res}\nbegin\nend.\n"},
        {"remove: last entry", Remove, Text, "/p/c.pas", "",
         "program P; // uses 'c.pas'\n\nuses\n  SysUtils,\n  A in 'a.pas',\n"
         "  B in 'Units\\B.pas' {Form};\n\n{$R *.res}\nbegin\nend.\n"},
        {"remove: not in the clause", Remove, Text, "/p/d.pas", "", std::nullopt},
        // The only entry takes the clause with it, leaving no stack of blank lines.
        {"remove: the only entry", Remove, "program P;\nuses\n  A in 'a.pas';\nbegin\nend.\n",
         "/p/a.pas", "", "program P;\nbegin\nend.\n"},
        {"remove: the only entry, CR LF", Remove,
         "program P;\r\n\r\nuses\r\n  A in 'a.pas';\r\n\r\nbegin\r\nend.\r\n", "/p/a.pas", "",
         "program P;\r\n\r\nbegin\r\nend.\r\n"},
        {"remove: the only entry, one line", Remove, "program P; uses A in 'a.pas'; begin end.",
         "/p/a.pas", "", "program P; begin end."},
        {"rename", Rename, Text, "/p/a.pas", "lib/Apple.pas",
         "program P; // uses 'c.pas'\n\nuses\n  SysUtils,\n  Apple in 'lib/Apple.pas',\n"
         "  B in 'Units\\B.pas' {Form},\n  C in 'c.pas';\n\n{$R *.res}\nbegin\nend.\n"},
        {"rename: a quote in the new name", Rename,
         "program P;\nuses Other in 'a.pas';\nbegin end.", "/p/a.pas", "it's.pas",
         "program P;\nuses Other in 'it''s.pas';\nbegin end."},
        {"rename: not in the clause", Rename, Text, "/p/x.pas", "y.pas", std::nullopt},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        EXPECT_EQ(C.Edit == Add ? UsesClause::AddEntry(C.Text, C.Keyword, "New", "new/n.pas")
                  : C.Edit == Remove
                      ? UsesClause::RemoveEntry(C.Text, C.Keyword, "/p", C.File)
                      : UsesClause::RenameEntry(C.Text, C.Keyword, "/p", C.File, C.To),
                  C.Expected);
    }
}

TEST_F(MainWindowTest, TheProjectMenuEditsTheProjectFileOnDisk) {
    const std::string Before = "program Tasks;\r\n\r\nuses\r\n  Main in 'main.pas';\r\n\r\n"
                               "begin\r\nend.\r\n";
    const std::string Dpr = Dir.Write("tasks.dpr", Before);
    const std::string Main = Dir.Write("main.pas", "unit Main;\r\nend.\r\n");
    Dir.Write("other.pas", "unit Other;\nend.\n");
    Open(Dpr);
    auto Project = W->Project();

    // Add a new unit: created, named in the clause, in the project.
    ASSERT_TRUE(W->AddProjectFile(Dir.File("extra.pas")));
    EXPECT_TRUE(fs::exists(Dir.File("extra.pas")));
    EXPECT_EQ(ReadBytes(Dpr), "program Tasks;\r\n\r\nuses\r\n  Main in 'main.pas',\r\n"
                              "  extra in 'extra.pas';\r\n\r\nbegin\r\nend.\r\n");
    EXPECT_TRUE(Project->Contains(Dir.File("extra.pas")));

    // Rename refused when the target exists: nothing moves.
    EXPECT_FALSE(W->RenameProjectFile(Main, Dir.File("other.pas")));
    EXPECT_TRUE(fs::exists(Main));
    EXPECT_EQ(ReadBytes(Dir.File("other.pas")), "unit Other;\nend.\n");

    // Rename: on disk, in the clause, in the project.
    ASSERT_TRUE(W->RenameProjectFile(Main, Dir.File("first.pas")));
    EXPECT_FALSE(fs::exists(Main));
    EXPECT_EQ(ReadBytes(Dir.File("first.pas")), "unit Main;\r\nend.\r\n");
    EXPECT_TRUE(Project->Contains(Dir.File("first.pas")));
    EXPECT_FALSE(Project->Contains(Main));
    EXPECT_EQ(ReadBytes(Dpr), "program Tasks;\r\n\r\nuses\r\n  first in 'first.pas',\r\n"
                              "  extra in 'extra.pas';\r\n\r\nbegin\r\nend.\r\n");

    // Remove both: the clause goes, the files stay.
    ASSERT_TRUE(W->RemoveProjectFile(Dir.File("extra.pas")));
    ASSERT_TRUE(W->RemoveProjectFile(Dir.File("first.pas")));
    EXPECT_EQ(ReadBytes(Dpr), "program Tasks;\r\n\r\nbegin\r\nend.\r\n");
    EXPECT_TRUE(fs::exists(Dir.File("extra.pas")));
    EXPECT_FALSE(Project->Contains(Dir.File("extra.pas")));
    // Not in the clause: refused, file unchanged.
    EXPECT_FALSE(W->RemoveProjectFile(Dir.File("other.pas")));
    EXPECT_EQ(ReadBytes(Dpr), "program Tasks;\r\n\r\nbegin\r\nend.\r\n");
}

TEST_F(MainWindowTest, FolderProjectsTakeOnlyFilesUnderTheirFolder) {
    TTempDir Elsewhere;
    Dir.Write("a.c", "int a;\n");
    Open("");
    EXPECT_FALSE(W->AddProjectFile(Elsewhere.File("x.c")));
    EXPECT_FALSE(fs::exists(Elsewhere.File("x.c")));
    ASSERT_TRUE(W->AddProjectFile(Dir.File("notes.txt")));
    EXPECT_TRUE(W->Project()->Contains(Dir.File("notes.txt")));
    TStatus Removed = W->RemoveProjectFile(Dir.File("a.c"));
    EXPECT_FALSE(Removed);
    EXPECT_NE(Removed.Message().find("folder project"), std::string::npos);
    EXPECT_TRUE(W->Project()->Contains(Dir.File("a.c")));
}

TEST_F(MainWindowTest, ChangesOnDiskReachTheProjectAndTheEditors) {
    const std::string A = Dir.Write("a.c", "int a;\n");
    Open("", {A});
    // Another program adds a source file and rewrites the open one.
    Dir.Write("b.c", "int b;\n");
    WriteLater(A, "int changed;\n");
    EXPECT_TRUE(WaitFor([&] { return W->Project()->Contains(Dir.File("b.c")); }));
    EXPECT_TRUE(WaitFor([&] {
        return W->Editors()->EditorOf(A)->toPlainText() == "int changed;\n";
    })) << W->Editors()->EditorOf(A)->toPlainText().toStdString();
}

TEST_F(MainWindowTest, ChangesWithoutAnEditorEnableSaveAllAndDiscardDropsThem) {
    const std::string A = Dir.Write("a.c", "int a;\n");
    Open("");
    QAction* SaveAll = W->findChild<QAction*>("FileSaveAllCommand");
    ASSERT_NE(SaveAll, nullptr);
    ProcessEvents();
    EXPECT_FALSE(SaveAll->isEnabled());

    // A package changes a project file it holds without an editor, as the To-Do window's Add
    // changes the to-do file.
    {
        auto Module = OpenModule(A);
        ASSERT_TRUE(Module) << Module.Status().Message();
        ASSERT_TRUE(Module.Value()->GetBuffer()->Insert(0, "// TODO added\n"));
        Module.Value()->Modified();
    }
    ProcessEvents(); // no menu opens
    EXPECT_TRUE(SaveAll->isEnabled()) << "Save All stays off until a menu opens";

    {
        TBoxAnswerer Answers({"Discard"});
        EXPECT_EQ(W->closeProject(), "");
        ASSERT_EQ(Answers.Boxes.size(), 1u);
        EXPECT_TRUE(Answers.Boxes[0].Text.contains(QString::fromStdString(A)));
    }
    EXPECT_EQ(FindDocModule(A), nullptr) << "the discarded changes stay loaded";
    EXPECT_EQ(ReadBytes(A), "int a;\n");
    Open("");
    auto Again = OpenModule(A);
    ASSERT_TRUE(Again);
    EXPECT_EQ(Again.Value()->GetBuffer()->GetText(), "int a;\n");
    EXPECT_FALSE(Again.Value()->GetModified());
}

TEST_F(MainWindowTest, QuittingWithoutCancelAsksAboutEveryModifiedEditor) {
    const std::string A = Dir.Write("a.c", "int a;\n");
    const std::string B = Dir.Write("b.c", "int b;\n");
    Open("", {A, B});
    for (const std::string& File : {A, B}) {
        TCodeEditor* Editor = W->Editors()->EditorOf(File);
        ASSERT_NE(Editor, nullptr);
        Editor->SetCursorOffset(0);
        QTest::keyClicks(Editor, "x");
        ASSERT_TRUE(Editor->IsModified()) << File;
    }
    {
        // In tab order: A is saved, B's changes are given up.
        TBoxAnswerer Answers({"Save", "Discard"});
        EXPECT_TRUE(W->PrepareExit(false));
        ASSERT_EQ(Answers.Boxes.size(), 2u);
        for (const auto& Box : Answers.Boxes)
            EXPECT_EQ(Box.Buttons.size(), 2) << "a box offers more than Save and Discard: "
                                             << Box.Buttons.join(", ").toStdString();
        EXPECT_TRUE(Answers.Boxes[0].Text.contains("a.c"));
        EXPECT_TRUE(Answers.Boxes[1].Text.contains("b.c"));
    }
    EXPECT_TRUE(W->Editors()->OpenFiles().empty());
    EXPECT_EQ(ReadBytes(A), "xint a;\n");
    EXPECT_EQ(ReadBytes(B), "int b;\n");
    EXPECT_EQ(FindDocModule(B), nullptr);
}

// ---------------------------------------------------------------------------------------------
// Start-up and shut-down

namespace {
std::string GFakePackageReport; // the fake package writes it when it is unloaded
int GUnregistered = 0;          // calls of the C-file handler unregistration hook
bool GPackageGoneFirst = false; // the package was unloaded before the unregistration
} // namespace

TEST(HostSessionTest, ShutDownFreesPackageWindowsAndStopsTheCUnitBeforeThePackagesGo) {
    // The hooks the C language unit registers through are a package's: they must be called
    // while it is loaded.
    TTestHome Home;
    GFakePackageReport = Home.Dir.File("report.txt");
    GUnregistered = 0;
    ::setenv("TODOLIST_FAKE_PACKAGE_REPORT", GFakePackageReport.c_str(), 1);
    const auto SavedRegister = RegisterCFileHandlerProc;
    const auto SavedUnregister = UnregisterCFileHandlerProc;
    RegisterCFileHandlerProc = [](const TCFileHandlerClass*) {};
    UnregisterCFileHandlerProc = [](const TCFileHandlerClass*) {
        ++GUnregistered;
        GPackageGoneFirst = fs::exists(GFakePackageReport);
    };
    TStartupOptions Options;
    Options.NoDefaultPackages = true;
    Options.Packages = {TODO_FAKE_PACKAGE};
    {
        THostSession Session(Options);
        Session.Start();
        ASSERT_EQ(Session.Packages().Packages().size(), 1u);
        ASSERT_NE(Session.MainWindow()->findChild<TDockableForm*>("FakePackageForm"), nullptr)
            << "the package made its window when the main window was created";
        Session.Shutdown();
        EXPECT_EQ(Session.MainWindow(), nullptr);
    }
    ::unsetenv("TODOLIST_FAKE_PACKAGE_REPORT");
    RegisterCFileHandlerProc = SavedRegister;
    UnregisterCFileHandlerProc = SavedUnregister;
    EXPECT_EQ(ReadBytes(GFakePackageReport), "window freed\nfield cleared\nservices cleared\n");
    EXPECT_TRUE(EditorActionLists().empty());
    EXPECT_EQ(MainProjectGroup().ActiveProject(), nullptr);
    EXPECT_EQ(GUnregistered, 1);
    EXPECT_FALSE(GPackageGoneFirst);
}

TEST(HostSessionTest, BrokenPackagesAreReportedAndStartUpGoesOn) {
    TTestHome Home;
    TTempDir Dir;
    Dir.Write("a.c", "int a;\n");
    TStartupOptions Options;
    Options.NoDefaultPackages = true;
    Options.Packages = {Dir.Write("broken.so", "not a library")};
    Options.Project = Dir.File("");
    int Started = 0;
    // The handlers of four loaded packages, in the order they subscribed.
    const std::vector<TEvent<>::TToken> Tokens = {
        EvMainFormCreated().Add([] { throw std::runtime_error("first package broke"); }),
        EvMainFormCreated().Add([&] { ++Started; }),
        EvMainFormCreated().Add([] { throw 42; }),
        EvMainFormCreated().Add([&] { ++Started; }),
    };
    {
        THostSession Session(Options);
        testing::internal::CaptureStderr();
        Session.Start();
        const std::string Err = testing::internal::GetCapturedStderr();
        EXPECT_NE(Err.find("Could not load package " + Dir.File("broken.so")), std::string::npos)
            << Err;
        EXPECT_EQ(Started, 2);
        EXPECT_NE(Err.find("A package failed to start: first package broke"), std::string::npos)
            << Err;
        EXPECT_NE(Err.find("A package failed to start: unknown error"), std::string::npos) << Err;
        ASSERT_NE(Session.MainWindow(), nullptr);
        EXPECT_NE(Session.MainWindow()->projectFileName(), "");
        Session.Shutdown();
    }
    for (auto Token : Tokens)
        EvMainFormCreated().Remove(Token);
    // The project is remembered for the next start.
    EXPECT_EQ(TIniFile(Home.Dir.File("todolist.ini")).ReadString("Desktop Host", "LastProject", ""),
              NormalizeFileName(Dir.File("")));
}
