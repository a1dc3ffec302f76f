#pragma once

// The package's commands in the host: "To-Do List" in the View menu and "Add To-Do Item" in the
// code editor, set up once the host's main window exists, and the to-do list service that lives
// as long as they do. The unit IDEToDoCmd of the package's start-up order.

#include "list/todo_units.h"
#include "ui/shell/images.h"

#include <QMetaObject>
#include <QObject>
#include <QPointer>

#include <memory>

class QAction;
class QActionGroup;
class QMenu;
class TDockableForm;
class TEditorActionList;

/// The object name of the main-menu item the "To-Do List" item goes just before.
inline constexpr const char* ViewDesktopsMenuName = "ViewDesktopsMenu";
/// The help context of "To-Do List".
inline constexpr int ViewToDoListHelpContext = 6000;

/// The data module holding the two commands: "Edit" / "Add To-Do It&em..." adds a to-do comment
/// at the editor's cursor, "View" / "To-Do &List" shows the one To-Do window. Creating it
/// registers the window field with the host as "ToDoListWindow" (so the desktop can fill and
/// clear it); destroying it unregisters the field and then frees the to-do list service
/// (ToDoList). The members are public like a data module's components, in declaration order.
/// Main thread only.
class TToDoCommands : public QObject {
    Q_OBJECT
public:
    /// Parent: the application (owner). Runs ToDoCommandsCreate.
    explicit TToDoCommands(QObject* Parent = nullptr);
    /// Runs DataModuleDestroy; the actions go with it (their menu items and editor-list entries
    /// with them).
    ~TToDoCommands() override;

    /// A popup menu holding ViewToDoListItem. Owned by this (a widget cannot be a Qt child of a
    /// plain object, hence the unique_ptr).
    std::unique_ptr<QMenu> PopupMenu1;
    /// The action list of both commands until EditAddToDoItemCommand moves to the editor's list.
    /// Owned by this (Qt parent); it only groups, it owns no action.
    QActionGroup* ActionList1;
    /// One 16 by 16 image: the glyph of "To-Do List" (index 0).
    TImageList ImageList1{ImageSize, ImageSize};
    /// Owned by this (Qt parent), as is the next one.
    QAction* EditAddToDoItemCommand;
    QAction* ViewToDoListCommand;
    /// The popup menu's entry for ViewToDoListCommand. A Qt menu shows an action itself, so the
    /// item is the command's own action (not another object).
    QAction* ViewToDoListItem;
    /// The To-Do window, or null. Registered with the host, which may fill it (desktop restore)
    /// and clear it (when it frees the window); a window this module made or saw clears it
    /// itself when destroyed. Not owned: the main window owns the window.
    TDockableForm* ToDoListWindow = nullptr;

    /// Enables EditAddToDoItemCommand exactly when there is an active module whose tools
    /// interface is an IToDoUpdater. Runs on the host's action-update requests and whenever the
    /// active module changes.
    void EditAddToDoItemCommandUpdate();
    /// Asks for a new to-do item (the shared Add dialog) and inserts it, as a comment of the
    /// active module's syntax, at the cursor of the editor bound to the editor action list that
    /// holds the command. Nothing without active module or updater, and nothing when cancelled.
    /// A body the updater cannot wrap is reported in a message box.
    void EditAddToDoItemCommandExecute();
    /// Creates the To-Do window on first use (docked in the host's main window) and brings it to
    /// the front with the focus.
    void ViewToDoListCommandExecute();

private:
    void ToDoCommandsCreate();
    void DataModuleDestroy();
    /// Clears ToDoListWindow when Window (the field's value) is destroyed.
    void WatchWindow(TDockableForm* Window);

    unsigned FModuleActivatedToken = 0;
    TDockableForm* FWatched = nullptr; // the window WatchWindow watches; not owned
    QMetaObject::Connection FWatchConnection;
};

/// Waits for the host's main window and then sets up the commands (see MainFormCreated). Made by
/// IDERegister without owner and kept until the package's IDEToDoCmd unit shuts down;
/// destroying it destroys the commands. Main thread only.
class TProductStartup {
public:
    /// Subscribes to EvMainFormCreated.
    TProductStartup();
    /// Unsubscribes when still subscribed, then destroys the commands data module.
    ~TProductStartup();
    TProductStartup(const TProductStartup&) = delete;
    TProductStartup& operator=(const TProductStartup&) = delete;

    /// The commands data module; null before the main window exists, after a failed set-up and
    /// once something else destroyed it.
    TToDoCommands* Commands() const { return FToDoCommands; }

    /// Runs once (it unsubscribes first): creates the commands (owner the application), adds
    /// their image to the host's, inserts "To-Do List" into the main menu just before the item
    /// ViewDesktopsMenuName, refreshes the menu's shortcuts, moves "Add To-Do Item" into the
    /// first editor action list and creates the to-do list service. Throws EIntfCastError when
    /// the host offers no IIDEServices, ETodoError when the menu has no ViewDesktopsMenuName
    /// item or the host no editor action list, and whatever creating the service throws; the
    /// commands are destroyed again before the error passes on.
    void MainFormCreated();

private:
    unsigned FMainFormToken = 0; // 0 once unsubscribed
    /// Cleared by Qt when the module is destroyed elsewhere: the module's free notification.
    QPointer<TToDoCommands> FToDoCommands;
};

/// The package's registration entry point, looked up by the host under this C name after the
/// units started: creates the TProductStartup object (once; later calls do nothing).
extern "C" void IDERegister();

/// The IDEToDoCmd unit. Start-up does nothing; the shut-down balancing the first start-up
/// destroys the TProductStartup object, and with it the commands, the window field's
/// registration and the service. Counted like the other units.
void InitializeToDoCmd();
void FinalizeToDoCmd();

/// The package's widget units for ToDoUnits: the Add dialog, the To-Do window and the commands.
TToDoWidgetUnits ToDoWidgetUnits();

/// What may outlive the units because the host owns it or it was made on demand: destroys every
/// To-Do window still alive (they work without a service) and the shared Add and table-options
/// dialogs. For the package's shut-down after its units stopped, before its code is unloaded.
void FreePackageWidgets();
