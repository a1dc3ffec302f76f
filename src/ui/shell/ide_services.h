#pragma once
// What the host's main window offers the packages it loads: its menus and images, the editor's
// action lists with their edit control, named form fields for the desktop, and focusing a
// window. The host fills these in while its main window exists; packages reach them only
// through this header. Main thread only, every one of them.

#include "host/iinterface.h"

#include <QList>
#include <QObject>
#include <QString>

#include <memory>
#include <string>
#include <vector>

class QAction;
class QMainWindow;
class QMenuBar;
class QWidget;
class TDockableForm;
class TImageList;

/// Where InsertMenuItem puts the new item relative to the target item.
enum class TMenuPosition {
    Before, ///< sibling, just before the target
    After,  ///< sibling, just after the target
    Child,  ///< last item of the target's submenu
};

/// The host's menu and image services, as a package obtains them from CorvaneIDEServices.
class IIDEServices : public virtual IInterface {
public:
    /// Adds the images of Images to the main image list at free indexes; returns the index of
    /// the first one (the others follow it), -1 when Images is empty.
    virtual int AddImages(const TImageList& Images) = 0;
    /// The main window's menu bar; null before the main window exists.
    virtual QMenuBar* GetMainMenu() = 0;
    /// Inserts a menu item for Action relative to the menu item whose action's object name is
    /// TargetName (searched through the whole main menu). False, nothing inserted, when there
    /// is no such item. The action stays owned by the caller; the item goes when it does.
    virtual bool InsertMenuItem(QAction* Action, const QString& TargetName,
                                TMenuPosition Where) = 0;
    /// Brings the main menu up to date after insertions: shortcuts of every menu action are
    /// registered with the main window again, so a new item's shortcut works at once.
    virtual void UpdateMenuShortcuts() = 0;
    /// The main window: parent of the dockable forms and of the packages' windows.
    virtual QMainWindow* GetMainWindow() = 0;
    /// Places a new dockable form in the main window (docked at the bottom, unless the desktop
    /// being restored says otherwise). The main window becomes its Qt parent and owner.
    virtual void DockForm(TDockableForm* Form) = 0;
};

/// The host's services object while its main window exists, else null. A package asks it for
/// IIDEServices with a dynamic_pointer_cast.
extern std::shared_ptr<IInterface> CorvaneIDEServices;

/// The editing surface of a code editor, as commands of an editor action list use it. Text is
/// UTF-8.
class IEditControl {
public:
    virtual ~IEditControl() = default;
    /// Inserts Text at the cursor (replacing nothing) and leaves the cursor after it.
    virtual void InsertTextAtCursor(const std::string& Text) = 0;
    /// Drops the selection, if any, leaving the cursor where it is.
    virtual void HideBlock() = 0;
    /// Refreshes what the editor shows about itself (cursor position, modified mark).
    virtual void UpdateStatus() = 0;
};

/// A list of actions that apply to the code editor. The host shows them in the editor's
/// context menu and in its Edit menu, and binds them to the editor that has the focus (or was
/// used last): EditControl.
class TEditorActionList : public QObject {
    Q_OBJECT
public:
    explicit TEditorActionList(QObject* Parent = nullptr) : QObject(Parent) {}

    /// Adds Action (not owned); it leaves the list by itself when it is destroyed. Nothing
    /// when it is in the list already.
    void AddAction(QAction* Action);
    /// Removes Action (nothing when it is not in the list).
    void RemoveAction(QAction* Action);
    QList<QAction*> Actions() const { return FActions; }
    bool Contains(QAction* Action) const { return FActions.contains(Action); }

    /// The edit control the list's commands work on, or null when no editor is open.
    IEditControl* EditControl() const { return FEditControl; }
    /// Set by the host when the editor in use changes (null when none is left).
    void SetEditControl(IEditControl* Control) { FEditControl = Control; }

signals:
    /// The list of actions changed (the host rebuilds the menus that show them).
    void ActionsChanged();

private:
    QList<QAction*> FActions;             // not owned
    IEditControl* FEditControl = nullptr; // not owned
};

/// The editor action lists of the host; the first one is the code editor's. Empty while the
/// host has no main window.
std::vector<TEditorActionList*>& EditorActionLists();

/// Asks every command's update handler to run now. Actions have no idle-time update of their
/// own: a command whose enabled state depends on the host (an open editor, a project) connects
/// its update handler to this hub's signal. The host emits it when the active editor or
/// project changes and before a menu opens.
class TActionUpdateHub : public QObject {
    Q_OBJECT
signals:
    void UpdateActions();
};
TActionUpdateHub& ActionUpdates();
/// Emits ActionUpdates().UpdateActions().
void RequestActionUpdate();

/// Registers the address of a package's window field under Name, so that the desktop
/// mechanism can fill it when it restores a window of the registered desktop class of that
/// name, and clear it when the host frees the window. A name registered again is re-pointed.
void RegisterFormField(const std::string& Name, TDockableForm** Field);
/// Forgets the registration that points at Field (nothing when there is none).
void UnregisterFormField(TDockableForm** Field);
/// The field registered under Name, or null.
TDockableForm** FindFormField(const std::string& Name);

/// Shows Window (docked or floating as it was), brings it to the front and gives it the
/// keyboard focus.
void FocusWindow(QWidget* Window);
