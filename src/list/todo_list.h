#pragma once

#include "comments/sortable_interface_list.h"
#include "comments/todo_filter_list.h"
#include "host/intatodo_item.h"
#include "host/itodo_manager.h"
#include "host/status.h"
#include "host/todo_intf.h"
#include "host/tools_api.h"
#include "items/todo_mgr.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

class IProject;
class TCustomFileEntry;
class TEditView;
class TModule;
class TProjectGroup;
enum TViewOperation : unsigned char;

/// The user-visible texts of the to-do list service.
namespace ToDoStrings {
inline constexpr const char* _sActionItem = "Action Item";
inline constexpr const char* _sPriority = "Priority";
inline constexpr const char* _sStatus = "Status";
inline constexpr const char* _sStatusPending = "Pending";
inline constexpr const char* _sStatusDone = "Completed";
inline constexpr const char* _sOwner = "Owner";
inline constexpr const char* _sCategory = "Category";
inline constexpr const char* _sModule = "Module";
inline constexpr const char* _sInvalidPriorityValue = "Priority must be between 0 and 5.";
inline constexpr const char* _sAddToDoItem = "Add To-Do Item";
inline constexpr const char* _sEditToDoItem = "Edit To-Do Item";
inline constexpr const char* _sToDoProjectItemName = "To-Do List";
inline constexpr const char* _sFilterOnCategory = "&Filter by Category:";
inline constexpr const char* _sFilterOnOwner = "&Filter by Owner:";
inline constexpr const char* _sFilterOnKind = "&Filter by Origin:";
inline constexpr const char* _sStatusBarItems = "%d items (%d hidden)";
inline constexpr const char* _sStatusBarPending = "%d items pending";
/// The origin keys of the origin filter.
inline constexpr const char* _ikHasView = "Open source files";
inline constexpr const char* _ikInProject = "Current project source files";
inline constexpr const char* _ikProjectItem = "Project To-Do file";
} // namespace ToDoStrings

/// The status word of an item, indexed by its checked state: "Pending", "Completed".
extern const std::array<const char*, 2> Status;

/// The settings section of the service and its filter keys.
inline constexpr const char* SettingsSection = "ToDo List";

/// The message the service posts to its window when a new list is ready; the long parameter is
/// the number of listed items.
inline constexpr unsigned IDEMUpdate = 1024 + 274;

/// Window handle as the window link hands it out; 0 means no window.
using TDisplayHandle = std::uint32_t;

/// The To-Do List window as the service sees it. Implemented by the front ends.
class IToDoDisplayForm {
public:
    virtual ~IToDoDisplayForm() = default;
    /// The handle under which the window receives posted messages (0 while it has none).
    virtual TDisplayHandle GetHandle() const = 0;
    /// Main thread.
    virtual void SetCaption(const std::string& Caption) = 0;
};

/// The manager lock: a recursive mutex that also knows which thread holds it, so that a nested
/// call on the holding thread can be told from a call on another thread, which must wait.
/// Usable with std::scoped_lock.
class TManagerLock {
public:
    void Acquire();
    void Release();
    /// True while any thread holds the lock (acquisitions not yet released, over all threads).
    bool GetLocked() const { return FLocked.load() > 0; }
    /// True when the calling thread holds the lock.
    bool HeldByThisThread() const { return FOwner.load() == std::this_thread::get_id(); }

    void lock() { Acquire(); }
    void unlock() { Release(); }

private:
    std::recursive_mutex FMutex;
    std::atomic<int> FLocked{0};
    std::atomic<std::thread::id> FOwner{};
    int FDepth = 0; // guarded by FMutex
};

/// What the manager of the items being collated said about their origin, asked once.
struct TOriginCache {
    const void* Manager = nullptr; // the manager the answers belong to (identity only)
    std::optional<bool> HasView;
    std::optional<bool> InProject;
};

/// The to-do list service: one manager per file of interest, the managers other packages add,
/// the collated and sorted list of visible items, the three filter lists, the status-bar counters
/// and the sort state. It is the program's IOTAToDoServices.
///
/// Threads and locks. The main thread (events, window, dialogs, commands) and the parse thread
/// (Parse and the Collate it runs) meet here. ManagerLock guards the manager lists and is held
/// for a whole parse; ItemsLock guards Items and the three filter lists while a collation
/// rebuilds them and while the list is read item by item. Lock order: ManagerLock before
/// ItemsLock; no code takes ManagerLock while holding ItemsLock. Both are recursive. Counters,
/// sort state and flags are atomics that the window may read at any time.
class TToDoList : public IOTAToDoServices, public std::enable_shared_from_this<TToDoList> {
public:
    /// Builds the service: registers it as a tools-API extension and reads the filters from the
    /// settings store. Use CreateToDoList to make the program's one service.
    static std::shared_ptr<TToDoList> Create();
    TToDoList(const TToDoList&) = delete;
    TToDoList& operator=(const TToDoList&) = delete;
    /// Writes the filters to the settings store (not saved to disk: the front end saves).
    ~TToDoList() override;
    /// Clears the project manager, empties every entry of OTAManagers and unregisters the
    /// extension. Called once before the last reference goes.
    void BeforeDestruction();

    // IOTAToDoServices
    int AddManager(TRef<IOTAToDoManager> Manager) override;
    int AddNotifier(TRef<IOTANotifier> Notifier) override;
    /// Throws EListError when Index is below 0 or past the last listed item.
    TRef<INTAToDoItem> GetItem(int Index) override;
    /// The number of listed items, read without ItemsLock.
    int GetItemCount() override;
    /// Throws EListError when Index is not an index of OTAManagers; an emptied entry is left.
    /// When it returns, the service holds no reference to the removed manager's items any more
    /// (its package may be unloaded next): the list is collated again, or, while the window is
    /// hidden, emptied as a parse would leave it (ParsePending set).
    void RemoveManager(int Index) override;
    void RemoveNotifier(int Index) override;
    void UpdateList() override;

    /// The first manager whose IsManager(FileName) is true, or null.
    TRef<IToDoManager> FindManager(const std::string& FileName);
    /// Asks the registered creators in order; the first that can handle FileName makes the
    /// manager, which is appended to Managers. With Notify the parse thread is told. Null when
    /// no creator handles the file. Does not look for an existing manager (FindManager first).
    TRef<IToDoManager> CreateManager(const std::string& FileName, bool Notify);
    /// Removes Manager and collates; on the thread that already holds ManagerLock (a manager
    /// removing itself during a walk) it only removes, and the enclosing operation collates.
    void DeleteManager(const TRef<IToDoManager>& Manager);
    /// Adds a project item with Text (UTF-8) to the active project's to-do file, making its
    /// manager on first use. Nothing without an active project and without a project manager.
    TStatus AddItem(const std::string& Text);

    // Following the host: the handlers of the eight host events the service subscribes to at
    // construction. Main thread. They decide which files have a manager: the active project's
    // units, the files open in an editor, and the project's to-do file once it is used.

    /// Drops the managers the new project does not keep, makes managers for its units, updates
    /// the captions and wakes the parse thread.
    void ActiveProjectChanged(TProjectGroup& Sender);
    /// Marks the file's manager out of date (which wakes the parse thread).
    void ProjectModuleModified(TModule* Sender, const std::string& FileName);
    /// Drops the file's manager, even when the file is still open in an editor; collates.
    void ProjectModuleRemoved(IProject& Sender, const std::string& FileName);
    /// Makes a manager for the added file (not for a ".todo" file).
    void ProjectModuleAdded(IProject& Sender, TCustomFileEntry& Entry);
    /// Renames the file's manager; the project's to-do file manager keeps its names.
    void ProjectModuleRenamed(IProject& Sender, const std::string& OldName,
                              const std::string& NewName);
    /// Updates the window caption.
    void ProjectRenamed(IProject& Sender, const std::string& OldName, const std::string& NewName);
    /// An opened view gets a manager (not for a ".todo" file) holding the view's updater; a
    /// closed view's manager loses its updater and goes unless its file is in the project.
    void ViewNotification(TEditView* View, TViewOperation Operation);
    /// Redraws the window with the current count.
    void ModuleActivated(TModule* Sender);

    /// Makes a manager for every unit of Project that has none and that a creator handles
    /// (the parse thread is not told). Nothing for a null project.
    void EnumProjectUnits(const std::shared_ptr<IProject>& Project);
    /// Sets the window's caption: "To-Do List", with " - " and the active project's name when
    /// there is one. Main thread.
    void UpdateDisplayCaption();

    /// The window or null; the service does not own it. Main thread.
    void SetDisplayForm(IToDoDisplayForm* Form);
    IToDoDisplayForm* GetDisplayForm() const { return FDisplayForm.load(); }
    TDisplayHandle GetDisplayHandle() const { return FDisplayHandle.load(); }
    /// Posts IDEMUpdate with Count (-1: the number of listed items) to the window; nothing
    /// without a window handle. Never blocks and never calls into the window.
    void UpdateDisplay(int Count);
    /// True when there is a window with a handle and it is visible. Any thread.
    bool DisplayFormVisible() const;

    /// Re-parses every manager that is out of date and collates; with the window hidden it only
    /// empties the list, posts 0 and sets ParsePending. Runs on the parse thread.
    void Parse();
    /// Rebuilds Items from every manager's items: counts, filters, sorts, posts IDEMUpdate and
    /// tells the notifiers. Nothing while the window is hidden. Takes ManagerLock (callers
    /// usually hold it already), then ItemsLock.
    void Collate();
    /// The sort comparison: negative when Item1 goes first under the current order.
    int SortCompare(const TRef<INTAToDoItem>& Item1, const TRef<INTAToDoItem>& Item2) const;
    /// A new order keeps the direction it had when last used; the current order again reverses
    /// its direction. Sorts and posts IDEMUpdate.
    void SetSortOrder(TToDoSortOrder Value);
    /// Lists completed items or not; an equal value does nothing.
    void SetShowChecked(bool Value);

    TToDoSortOrder GetSortOrder() const { return FSortOrder.load(); }
    /// 1 ascending, -1 descending.
    int GetSortDirection(TToDoSortOrder Order) const { return FSortDirection[Order].load(); }
    bool SortAscending() const { return GetSortDirection(GetSortOrder()) == 1; }
    bool GetShowChecked() const { return FShowChecked.load(); }
    bool GetParsePending() const { return FParsePending.load(); }
    /// Items of the last collation that are not checked, listed or not.
    int GetPendingCount() const { return FPendingCount.load(); }
    /// Every item the last collation met.
    int GetTotalCount() const { return FTotalCount.load(); }
    /// Items of the last collation that were not listed.
    int GetHiddenCount() const { return FHiddenCount.load(); }

    /// The manager of the active project's to-do file, or null.
    TRef<ISourceToDoManager> GetProjectManager();
    void SetProjectManager(TRef<ISourceToDoManager> Manager);

    /// Guards Items and the filter lists; take it before changing filter values directly.
    std::recursive_mutex& ItemsLock() { return FItemsLock; }
    TManagerLock& ManagerLock() { return FManagerLock; }
    /// The filter lists; guarded by ItemsLock.
    TToDoFilterList& CategoryFilter() { return FCategoryFilter; }
    TToDoFilterList& OwnerFilter() { return FOwnerFilter; }
    TToDoFilterList& OriginFilter() { return FOriginFilter; }

    /// Rebuilds the three filter lists from the settings store. Main thread.
    void ReadFilters();
    /// Stores the hidden keys of the three filter lists in the settings store. Main thread.
    void WriteFilters();

    /// The listed items as tab-separated text: a title line, then one line per listed item in
    /// the current order, every field followed by a tab and every line by CR LF.
    std::wstring GetTextOfItems();
    /// Replaces the clipboard's contents with GetTextOfItems. Main thread.
    void CopyTextToClipboard();
    /// Replaces the clipboard's contents with the listed items as the HTML table (global Table);
    /// nothing without an active project. Main thread.
    void CopyTableToClipboard();
    /// Loads the table's stored options into the global Table; a damaged value is reported as a
    /// settings problem and leaves what could be read.
    void ReadTableOptions();

    /// Makes a running or later Parse stop between managers (shut-down).
    void Cancel() { FCancelled.store(true); }

    /// The managers, in list order (a copy). Any thread.
    std::vector<TRef<IToDoManager>> Managers();

protected:
    TToDoList();

private:
    /// Collate; false, doing nothing, when the window is hidden. Takes ManagerLock, ItemsLock.
    bool CollateIfVisible();
    /// Empties Items, posts 0 and sets ParsePending: the list of a hidden window. Takes
    /// ItemsLock.
    void ClearHiddenList();
    /// Counts Item and appends it to Items unless a filter holds it back. Under ItemsLock.
    void InternalAdd(const TRef<INTAToDoItem>& Item, TOriginCache& Cache);
    /// Whether the origin of Item is shown by OriginFilter. Under ItemsLock.
    bool OriginShown(const TRef<INTAToDoItem>& Item, TOriginCache& Cache);
    /// Sorts Items by the current order. Under ItemsLock.
    void SortItems();
    /// Managers and OTAManagers walked by Collate. Under ManagerLock.
    void AddManagersItems();
    /// Tells every notifier that the list changed (after a collation, no lock of ours held
    /// besides the caller's ManagerLock).
    void NotifyModified();
    bool Cancelled() const;
    void Subscribe();
    void Unsubscribe();
    /// Forgets Manager in the file-name index. Under ManagerLock.
    void UnindexManager(const TRef<IToDoManager>& Manager);

    TSortableList<INTAToDoItem> FItems;
    std::recursive_mutex FItemsLock;
    TToDoFilterList FOriginFilter;
    std::atomic<IToDoDisplayForm*> FDisplayForm{nullptr};
    std::atomic<TDisplayHandle> FDisplayHandle{0};
    std::atomic<bool> FShowChecked{false};
    std::vector<TRef<IToDoManager>> FManagers;       // guarded by FManagerLock
    std::vector<TRef<IOTAToDoManager>> FOTAManagers; // guarded by FManagerLock
    TManagerLock FManagerLock;
    std::atomic<TToDoSortOrder> FSortOrder{soModule};
    std::array<std::atomic<signed char>, SortOrderCount> FSortDirection;
    TRef<ISourceToDoManager> FProjectManager; // guarded by FManagerLock
    int FExtensionIndex = -1;
    std::atomic<int> FPendingCount{0};
    std::atomic<int> FTotalCount{0};
    std::atomic<int> FHiddenCount{0};
    TToDoFilterList FOwnerFilter;
    TToDoFilterList FCategoryFilter;
    std::atomic<bool> FParsePending{false};
    TOTANotifierList FNotifiers;
    std::atomic<bool> FCancelled{false};
    bool FNotifying = false; // guarded by FManagerLock
    bool FDestructionPrepared = false;
    /// Which files have a manager: the case-folded name each manager of FManagers was created
    /// for, so that FindManager over a project of many thousand files is not a linear walk.
    /// Guarded by FManagerLock.
    std::unordered_map<std::wstring, TRef<IToDoManager>> FManagerIndex;
    std::unordered_map<IToDoManager*, std::wstring> FManagerKeys;
    /// The tokens of the host event subscriptions, 0 when not subscribed.
    std::array<unsigned, 8> FSubscriptions{};
};

/// The program's one service; null before CreateToDoList and after FreeToDoList. Set and cleared
/// on the main thread only.
extern TToDoList* ToDoList;

/// Creates the service and stores it in ToDoList (the existing one when called twice).
TToDoList& CreateToDoList();
/// Prepares the service for destruction, waits until a parse in progress has stopped, clears
/// ToDoList and releases the service (its destructor writes the filters). Nothing without one.
void FreeToDoList();

/// Start-up of the list unit: adds the parse client to the host's parse thread (when one is
/// installed) and fills the creator-registration hooks and the manager-deletion hook. Counted:
/// only the first call acts.
void InitializeToDoList();
/// Shut-down of the list unit, in reverse: empties the hooks, removes the parse client from the
/// parse thread when that still exists, frees every registered creator. Only the call balancing
/// the first InitializeToDoList acts.
void FinalizeToDoList();
