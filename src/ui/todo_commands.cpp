#include "todo_commands.h"

#include "host/errors.h"
#include "host/events.h"
#include "host/itodo_updater.h"
#include "host/module.h"
#include "host/utf8.h"
#include "list/todo_list.h"
#include "ui/add_todo_item_form.h"
#include "ui/shell/dockable_form.h"
#include "ui/shell/help.h"
#include "ui/shell/ide_services.h"
#include "ui/table_options_dlg.h"
#include "ui/todo_list_window.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QColor>
#include <QIcon>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>

#include <utility>

namespace {

constexpr const char* FieldName = "ToDoListWindow";

/// A sheet with three lines, the first one ticked: the glyph of "To-Do List".
QPixmap ToDoListGlyph() {
    return PaintImage([](QPainter& P) {
        P.setPen(QPen(QColor(0x4d, 0x56, 0x61), 1));
        P.setBrush(Qt::white);
        P.drawRect(QRectF(2.5, 1.5, 11, 13));
        P.setPen(ImagePen(QColor(0x1f, 0x8f, 0x3f), 1.6));
        P.setBrush(Qt::NoBrush);
        P.drawPolyline(QPolygonF({{4.5, 5}, {5.8, 6.3}, {8, 3.8}}));
        P.setPen(ImagePen(QColor(0x6b, 0x72, 0x80), 1.2));
        P.drawLine(QPointF(9, 5), QPointF(11.5, 5));
        for (qreal Y : {9.0, 12.0})
            P.drawLine(QPointF(4.5, Y), QPointF(11.5, Y));
    });
}

std::shared_ptr<IIDEServices> Services() {
    return std::dynamic_pointer_cast<IIDEServices>(CorvaneIDEServices);
}

/// The editor action list that holds Action, or null.
TEditorActionList* ListHolding(QAction* Action) {
    for (TEditorActionList* List : EditorActionLists())
        if (List && List->Contains(Action))
            return List;
    return nullptr;
}

/// The active module's updater, or null when there is no active module or it has none.
TRef<IToDoUpdater> ActiveUpdater() {
    const std::shared_ptr<TModule> Module = ActiveModule();
    return Module ? Module->QueryToDoUpdater() : nullptr;
}

TProductStartup* ProductStartup = nullptr; // owned; main thread only
int CmdUnitCount = 0;                      // main thread only

} // namespace

// ---------------------------------------------------------------------------------------------
// TToDoCommands

TToDoCommands::TToDoCommands(QObject* Parent)
    : QObject(Parent), PopupMenu1(std::make_unique<QMenu>()),
      ActionList1(new QActionGroup(this)),       // owned by this (Qt parent)
      EditAddToDoItemCommand(new QAction(this)), // owned by this (Qt parent)
      ViewToDoListCommand(new QAction(this)),    // owned by this (Qt parent)
      ViewToDoListItem(nullptr) {
    setObjectName(QStringLiteral("ToDoCommands"));
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    ActionList1->setObjectName(QStringLiteral("ActionList1"));
    // A group that only groups: its check marks must not exclude one another.
    ActionList1->setExclusionPolicy(QActionGroup::ExclusionPolicy::None);
    ImageList1.SetImage(0, ToDoListGlyph());

    EditAddToDoItemCommand->setObjectName(QStringLiteral("EditAddToDoItemCommand"));
    EditAddToDoItemCommand->setProperty("category", QStringLiteral("Edit"));
    EditAddToDoItemCommand->setText(QStringLiteral("Add To-Do It&em..."));
    ActionList1->addAction(EditAddToDoItemCommand);

    ViewToDoListCommand->setObjectName(QStringLiteral("ViewToDoListCommand"));
    ViewToDoListCommand->setProperty("category", QStringLiteral("View"));
    ViewToDoListCommand->setText(QStringLiteral("To-Do &List"));
    ViewToDoListCommand->setToolTip(QStringLiteral("View To-Do List"));
    ViewToDoListCommand->setStatusTip(QStringLiteral("View To-Do List"));
    ViewToDoListCommand->setIcon(QIcon(ImageList1.Image(0)));
    SetHelpContext(ViewToDoListCommand, ViewToDoListHelpContext);
    ActionList1->addAction(ViewToDoListCommand);

    PopupMenu1->addAction(ViewToDoListCommand);
    ViewToDoListItem = ViewToDoListCommand;

    connect(EditAddToDoItemCommand, &QAction::triggered, this,
            [this] { EditAddToDoItemCommandExecute(); });
    connect(ViewToDoListCommand, &QAction::triggered, this,
            [this] { ViewToDoListCommandExecute(); });
    // Connected with this as the context: the connection goes with the module, so nothing of
    // the package stays behind in the host's hub after unloading.
    connect(&ActionUpdates(), &TActionUpdateHub::UpdateActions, this,
            [this] { EditAddToDoItemCommandUpdate(); });
    FModuleActivatedToken =
        EvModuleActivated().Add([this](TModule*) { EditAddToDoItemCommandUpdate(); });
    EditAddToDoItemCommandUpdate();

    ToDoCommandsCreate();
}

TToDoCommands::~TToDoCommands() {
    EvModuleActivated().Remove(FModuleActivatedToken);
    DataModuleDestroy();
}

void TToDoCommands::ToDoCommandsCreate() {
    RegisterFormField(FieldName, &ToDoListWindow);
}

void TToDoCommands::DataModuleDestroy() {
    // The field first: the desktop must not fill a field that is about to go, and a window the
    // service's shut-down might close must not reach it.
    UnregisterFormField(&ToDoListWindow);
    FreeToDoList();
}

void TToDoCommands::EditAddToDoItemCommandUpdate() {
    EditAddToDoItemCommand->setEnabled(ActiveUpdater() != nullptr);
}

void TToDoCommands::EditAddToDoItemCommandExecute() {
    // The enabled state may be older than the last change of the active module: check again.
    const TRef<IToDoUpdater> Updater = ActiveUpdater();
    if (!Updater)
        return;
    std::string Text = WideToUtf8(AddToDoItemForm().Add());
    if (Text.empty())
        return;
    if (TStatus S = Updater->MakeComment(Text); !S) {
        QMessageBox::warning(
            nullptr, EditAddToDoItemCommand->text().remove(QLatin1Char('&')),
            QString::fromUtf8(S.Message().data(), static_cast<qsizetype>(S.Message().size())));
        return;
    }
    TEditorActionList* List = ListHolding(EditAddToDoItemCommand);
    IEditControl* Control = List ? List->EditControl() : nullptr;
    if (!Control)
        return;
    Control->InsertTextAtCursor(Text);
    Control->HideBlock();
    Control->UpdateStatus();
}

void TToDoCommands::ViewToDoListCommandExecute() {
    if (!ToDoListWindow) {
        const std::shared_ptr<IIDEServices> Host = Services();
        // Owned by the main window (Qt parent; DockForm keeps it so).
        auto* Window = new TToDoListWindow(Host ? Host->GetMainWindow() : nullptr);
        if (Host)
            Host->DockForm(Window);
        ToDoListWindow = Window;
    }
    WatchWindow(ToDoListWindow);
    FocusWindow(ToDoListWindow);
}

void TToDoCommands::WatchWindow(TDockableForm* Window) {
    if (Window == FWatched)
        return;
    disconnect(FWatchConnection);
    FWatched = Window;
    // Only the address is compared once the window is gone, never dereferenced.
    FWatchConnection = connect(Window, &QObject::destroyed, this, [this, Window] {
        if (ToDoListWindow == Window)
            ToDoListWindow = nullptr;
        if (FWatched == Window)
            FWatched = nullptr;
    });
}

// ---------------------------------------------------------------------------------------------
// TProductStartup

TProductStartup::TProductStartup() {
    FMainFormToken = EvMainFormCreated().Add([this] { MainFormCreated(); });
}

TProductStartup::~TProductStartup() {
    if (FMainFormToken)
        EvMainFormCreated().Remove(FMainFormToken);
    delete FToDoCommands.data();
}

void TProductStartup::MainFormCreated() {
    EvMainFormCreated().Remove(std::exchange(FMainFormToken, 0u));
    FToDoCommands = new TToDoCommands(qApp); // owned by the application (Qt parent)
    try {
        const std::shared_ptr<IIDEServices> Host = Services();
        if (!Host)
            throw EIntfCastError();
        Host->AddImages(FToDoCommands->ImageList1);
        // Without its menu item the window could not be reached at all: a host without the
        // item is an error, not something to paper over.
        if (!Host->InsertMenuItem(FToDoCommands->ViewToDoListItem, ViewDesktopsMenuName,
                                  TMenuPosition::Before))
            throw ETodoError(std::string("the main menu has no item \"") + ViewDesktopsMenuName +
                             "\" to put \"To-Do List\" before");
        Host->UpdateMenuShortcuts();
        if (EditorActionLists().empty() || !EditorActionLists().front())
            throw ETodoError("the host has no editor action list for \"Add To-Do Item\"");
        FToDoCommands->ActionList1->removeAction(FToDoCommands->EditAddToDoItemCommand);
        EditorActionLists().front()->AddAction(FToDoCommands->EditAddToDoItemCommand);
        CreateToDoList();
    } catch (...) {
        delete FToDoCommands.data(); // its menu item and editor-list entry go with it
        FToDoCommands = nullptr;
        throw;
    }
}

// ---------------------------------------------------------------------------------------------
// The unit

void IDERegister() {
    if (!ProductStartup)
        ProductStartup = new TProductStartup;
}

void InitializeToDoCmd() {
    ++CmdUnitCount;
}

void FinalizeToDoCmd() {
    if (CmdUnitCount == 0 || --CmdUnitCount > 0)
        return;
    delete std::exchange(ProductStartup, nullptr);
}

TToDoWidgetUnits ToDoWidgetUnits() {
    return {{&InitializeToDoAddDlg, &FinalizeToDoAddDlg},
            {&InitializeToDoForm, &FinalizeToDoForm},
            {&InitializeToDoCmd, &FinalizeToDoCmd}};
}

void FreePackageWidgets() {
    // Guarded pointers: a window inside another goes with the outer one.
    QList<QPointer<TToDoListWindow>> Windows;
    for (QWidget* W : QApplication::allWidgets())
        if (auto* Window = qobject_cast<TToDoListWindow*>(W))
            Windows.append(Window);
    for (const QPointer<TToDoListWindow>& Window : Windows)
        delete Window.data(); // null when it went with an earlier one
    FreeAddToDoItemForm();
    FreeTableOptionsDlg();
}
