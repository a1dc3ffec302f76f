// The package's commands in a host: started as the host starts a package (units, IDERegister,
// main window created), the menu item's place, when "Add To-Do Item" is enabled and what it
// inserts, the single To-Do window, the failed set-up that leaves nothing behind, and the
// shut-down with the window open.

#include "ui_host.h"

#include "dialog_driver.h"

#include "host/errors.h"
#include "host/tools_api.h"
#include "list/todo_units.h"
#include "ui/shell/help.h"
#include "ui/shell/ide_services.h"
#include "ui/todo_commands.h"
#include "ui/todo_list_window.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

/// The editor's surface: records what the command asks of it.
struct TRecordingEditControl : IEditControl {
    std::vector<std::string> Calls;
    void InsertTextAtCursor(const std::string& Text) override { Calls.push_back("insert " + Text); }
    void HideBlock() override { Calls.push_back("hide block"); }
    void UpdateStatus() override { Calls.push_back("update status"); }
};

/// A main window with File and View menus; View holds "Desktops" (a submenu whose menu action is
/// named ViewDesktopsMenu) followed by "Window List".
class TFakeIDE : public IIDEServices {
public:
    QMainWindow Main;
    QMenu* ViewMenu;     // owned by Main's menu bar (Qt parent)
    QMenu* DesktopsMenu; // owned by ViewMenu (Qt parent)
    QAction* WindowList; // owned by ViewMenu (Qt parent)
    TEditorActionList EditorList;
    TRecordingEditControl Editor;
    std::vector<std::string> Log; // the services called, in order
    int Docked = 0;

    TFakeIDE() {
        Main.menuBar()->addMenu(QStringLiteral("&File"))->addAction(QStringLiteral("E&xit"));
        ViewMenu = Main.menuBar()->addMenu(QStringLiteral("&View"));
        ViewMenu->addAction(QStringLiteral("&Project Manager"));
        DesktopsMenu = ViewMenu->addMenu(QStringLiteral("Desktops"));
        DesktopsMenu->menuAction()->setObjectName(QString::fromUtf8(ViewDesktopsMenuName));
        DesktopsMenu->addAction(QStringLiteral("Save Desktop..."));
        WindowList = ViewMenu->addAction(QStringLiteral("&Window List..."));
        EditorList.SetEditControl(&Editor);
    }

    int AddImages(const TImageList& Images) override {
        Log.push_back("add images " + std::to_string(Images.HasImage(0)));
        return 100;
    }
    QMenuBar* GetMainMenu() override { return Main.menuBar(); }
    bool InsertMenuItem(QAction* Action, const QString& TargetName, TMenuPosition Where) override {
        Log.push_back("insert menu item");
        for (QMenu* Menu : Main.menuBar()->findChildren<QMenu*>()) {
            const QList<QAction*> Items = Menu->actions();
            for (qsizetype I = 0; I < Items.size(); ++I) {
                if (Items[I]->objectName() != TargetName)
                    continue;
                if (Where == TMenuPosition::Before)
                    Menu->insertAction(Items[I], Action);
                else if (Where == TMenuPosition::After)
                    Menu->insertAction(I + 1 < Items.size() ? Items[I + 1] : nullptr, Action);
                else
                    Items[I]->menu()->addAction(Action);
                return true;
            }
        }
        return false;
    }
    void UpdateMenuShortcuts() override { Log.push_back("update menu shortcuts"); }
    QMainWindow* GetMainWindow() override { return &Main; }
    void DockForm(TDockableForm* Form) override {
        ++Docked;
        Main.addDockWidget(Qt::BottomDockWidgetArea, Form);
    }
};

/// Freed with the service: records whether the window field was still registered then.
struct TFreeProbe : IOTAToDoManager {
    std::optional<bool>* FieldRegistered;
    explicit TFreeProbe(std::optional<bool>* Out) : FieldRegistered(Out) {}
    ~TFreeProbe() override { *FieldRegistered = FindFormField("ToDoListWindow") != nullptr; }
    TRef<INTAToDoItem> GetItem(int Index) override { throw EListError(Index); }
    int GetItemCount() override { return 0; }
};

std::vector<TToDoUnit> PackageUnits() {
    const TToDoWidgetUnits Widgets = ToDoWidgetUnits();
    return ToDoUnits(&Widgets);
}

/// The commands data modules alive (children of the application).
qsizetype CommandModules() {
    return qApp->findChildren<TToDoCommands*>(Qt::FindDirectChildrenOnly).size();
}

qsizetype ToDoWindows() {
    qsizetype N = 0;
    for (QWidget* W : QApplication::allWidgets())
        N += qobject_cast<TToDoListWindow*>(W) != nullptr;
    return N;
}

/// The host and the package: the host's pieces (TUiHost without the service, the fake IDE
/// installed as the services object with its editor action list), the package loaded
/// (PackageInitialize, IDERegister) and, unless a test wants to break it first, the main window
/// created.
class CommandsTest : public ::testing::Test {
protected:
    TUiHost Host{false};
    std::shared_ptr<TFakeIDE> IDE = std::make_shared<TFakeIDE>();
    bool Loaded = false;

    void SetUp() override {
        CorvaneIDEServices = IDE;
        EditorActionLists() = {&IDE->EditorList};
        StartUnits(PackageUnits());
        IDERegister();
        Loaded = true;
    }
    void TearDown() override {
        Unload();
        CorvaneIDEServices.reset();
        EditorActionLists().clear();
    }

    /// The package's shut-down, as PackageFinalize runs it.
    void Unload() {
        if (!std::exchange(Loaded, false))
            return;
        StopUnits(PackageUnits());
        FreePackageWidgets();
    }

    TToDoCommands& Commands() {
        const auto Modules = qApp->findChildren<TToDoCommands*>(Qt::FindDirectChildrenOnly);
        EXPECT_EQ(Modules.size(), 1);
        return *Modules.front();
    }

    /// Opens FileName (written into the project folder first) in an active editor view.
    void Activate(const char* FileName, const std::string& Text = "") {
        Host.Dir.Write(FileName, Text);
        ASSERT_TRUE(CallDefaultOpenProc(Host.Dir.File(FileName), true));
    }
};

TEST_F(CommandsTest, MainWindowCreatedInstallsTheCommandsAndTheService) {
    EXPECT_EQ(CommandModules(), 0) << "nothing before the main window exists";
    EXPECT_EQ(ToDoList, nullptr);

    EvMainFormCreated().Raise();
    TToDoCommands& C = Commands();
    EXPECT_NE(ToDoList, nullptr);
    EXPECT_EQ(FindFormField("ToDoListWindow"), &C.ToDoListWindow);
    EXPECT_EQ(IDE->Log, (std::vector<std::string>{"add images 1", "insert menu item",
                                                  "update menu shortcuts"}));

    // A sibling just before the Desktops item: not after it, not inside it (one insertion).
    EXPECT_EQ(IDE->ViewMenu->actions(),
              (QList<QAction*>{IDE->ViewMenu->actions().front(), C.ViewToDoListCommand,
                               IDE->DesktopsMenu->menuAction(), IDE->WindowList}));
    EXPECT_EQ(C.ViewToDoListCommand->text(), QStringLiteral("To-Do &List"));
    EXPECT_EQ(C.ViewToDoListCommand->toolTip(), QStringLiteral("View To-Do List"));
    EXPECT_EQ(HelpContextOf(C.ViewToDoListCommand), 6000);
    EXPECT_FALSE(C.ViewToDoListCommand->icon().isNull());

    // The Add command moved from the module's own list into the editor's.
    EXPECT_EQ(C.EditAddToDoItemCommand->text(), QStringLiteral("Add To-Do It&em..."));
    EXPECT_EQ(IDE->EditorList.Actions(), QList<QAction*>{C.EditAddToDoItemCommand});
    EXPECT_EQ(C.ActionList1->actions(), QList<QAction*>{C.ViewToDoListCommand});

    // The event comes once; a second one changes nothing.
    EvMainFormCreated().Raise();
    EXPECT_EQ(CommandModules(), 1);
}

TEST_F(CommandsTest, AddIsEnabledExactlyInAModuleWithAnUpdater) {
    EvMainFormCreated().Raise();
    QAction* Add = Commands().EditAddToDoItemCommand;
    EXPECT_FALSE(Add->isEnabled()) << "no file open";

    const struct {
        const char* File;
        bool Enabled;
    } Cases[] = {
        {"notes.txt", false}, {"a.pas", true},      {"b.c", true},
        {"app.todo", true},   {"readme.md", false}, {"c.h", true},
    };
    for (const auto& Case : Cases) {
        Activate(Case.File); // the active module changes: the command updates itself
        EXPECT_EQ(Add->isEnabled(), Case.Enabled) << Case.File;
    }
    CloseEditorView(Host.Dir.File("c.h"));
    EXPECT_FALSE(Add->isEnabled()) << "the last editor closed";

    // The host's update requests recompute it too.
    Activate("a.pas");
    Add->setEnabled(false);
    RequestActionUpdate();
    EXPECT_TRUE(Add->isEnabled());
}

TEST_F(CommandsTest, AddInsertsTheCommentAtTheCursor) {
    EvMainFormCreated().Raise();
    QAction* Add = Commands().EditAddToDoItemCommand;

    const struct {
        const char* File;
        bool Accept;
        std::vector<std::string> Calls;
    } Cases[] = {
        {"a.pas", true, {"insert { TODO : Fix it }", "hide block", "update status"}},
        {"b.c", true, {"insert /* TODO : Fix it */", "hide block", "update status"}},
        {"c.pas", false, {}},
    };
    for (const auto& Case : Cases) {
        Activate(Case.File);
        IDE->Editor.Calls.clear();
        OnModal([&](QDialog& Dialog) {
            Get<QPlainTextEdit>(Dialog, "Memo").setPlainText(QStringLiteral("Fix it"));
            if (Case.Accept)
                Get<QPushButton>(Dialog, "OKButton").click();
        });
        Add->trigger();
        EXPECT_EQ(IDE->Editor.Calls, Case.Calls) << Case.File;
    }

    // Without an editor bound to the list the comment has nowhere to go: nothing happens.
    IDE->EditorList.SetEditControl(nullptr);
    IDE->Editor.Calls.clear();
    OnModal([](QDialog& Dialog) { Get<QPushButton>(Dialog, "OKButton").click(); });
    Add->trigger();
    EXPECT_TRUE(IDE->Editor.Calls.empty());
}

TEST_F(CommandsTest, ViewToDoListMakesOneWindowAndFocusesIt) {
    IDE->Main.show();
    EvMainFormCreated().Raise();
    TToDoCommands& C = Commands();

    C.ViewToDoListCommand->trigger();
    auto* First = qobject_cast<TToDoListWindow*>(C.ToDoListWindow);
    ASSERT_NE(First, nullptr);
    EXPECT_EQ(First->parentWidget(), &IDE->Main);
    EXPECT_EQ(IDE->Docked, 1);
    EXPECT_TRUE(First->isVisible());

    First->hide();
    C.ViewToDoListCommand->trigger();
    EXPECT_EQ(C.ToDoListWindow, First);
    EXPECT_EQ(ToDoWindows(), 1);
    EXPECT_EQ(IDE->Docked, 1);
    EXPECT_TRUE(First->isVisible()) << "the second choice brings the window back";

    // The host frees the window: the field clears and the command makes a new one.
    delete First;
    EXPECT_EQ(C.ToDoListWindow, nullptr);
    C.ViewToDoListCommand->trigger();
    EXPECT_NE(C.ToDoListWindow, nullptr);
    EXPECT_EQ(IDE->Docked, 2);

    // A window the desktop restored through the registered field is used as it is.
    delete C.ToDoListWindow;
    auto* Restored = new TToDoListWindow(&IDE->Main); // owned by the main window (Qt parent)
    *FindFormField("ToDoListWindow") = Restored;
    C.ViewToDoListCommand->trigger();
    EXPECT_EQ(C.ToDoListWindow, Restored);
    EXPECT_EQ(IDE->Docked, 2);
    delete Restored;
    EXPECT_EQ(C.ToDoListWindow, nullptr);
}

TEST_F(CommandsTest, FailedSetUpLeavesNothingBehind) {
    const struct {
        const char* Name;
        std::function<void(TFakeIDE&)> Break;
        bool CastError;
    } Cases[] = {
        {"no services", [](TFakeIDE&) { CorvaneIDEServices.reset(); }, true},
        {"no desktops item",
         [](TFakeIDE& I) { I.DesktopsMenu->menuAction()->setObjectName(QString()); }, false},
        {"no editor action list", [](TFakeIDE&) { EditorActionLists().clear(); }, false},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        Unload(); // each case loads the package afresh
        IDE = std::make_shared<TFakeIDE>();
        SetUp();
        Case.Break(*IDE);
        if (Case.CastError)
            EXPECT_THROW(EvMainFormCreated().Raise(), EIntfCastError);
        else
            EXPECT_THROW(EvMainFormCreated().Raise(), ETodoError);
        EXPECT_EQ(CommandModules(), 0);
        EXPECT_EQ(ToDoList, nullptr);
        EXPECT_EQ(FindFormField("ToDoListWindow"), nullptr);
        EXPECT_EQ(IDE->ViewMenu->actions().size(), 3) << "no menu item left";
        EXPECT_TRUE(IDE->EditorList.Actions().empty());
    }
}

TEST_F(CommandsTest, UnloadingWithTheWindowOpen) {
    EvMainFormCreated().Raise();
    TToDoCommands& C = Commands();
    C.ViewToDoListCommand->trigger();
    ASSERT_NE(C.ToDoListWindow, nullptr);
    std::optional<bool> FieldRegisteredAtFree;
    ToDoList->AddManager(std::make_shared<TFreeProbe>(&FieldRegisteredAtFree));

    StopUnits(PackageUnits());
    EXPECT_EQ(FieldRegisteredAtFree, false) << "the field goes before the service";
    EXPECT_EQ(ToDoList, nullptr);
    EXPECT_EQ(CommandModules(), 0);
    EXPECT_EQ(ToDoWindows(), 1) << "the host's window outlives the commands";
    EXPECT_TRUE(IDE->EditorList.Actions().empty());
    EXPECT_EQ(IDE->ViewMenu->actions().size(), 3);

    FreePackageWidgets();
    EXPECT_EQ(ToDoWindows(), 0);
    Loaded = false;

    // Nothing of the package answers the host's signals any more.
    RequestActionUpdate();
    EvMainFormCreated().Raise();
    EXPECT_EQ(CommandModules(), 0);
}

} // namespace
