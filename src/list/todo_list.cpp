#include "list/todo_list.h"

#include "comments/trim_text.h"
#include "host/clipboard.h"
#include "host/errors.h"
#include "host/events.h"
#include "host/ini_file.h"
#include "host/module.h"
#include "host/parse_thread.h"
#include "host/project.h"
#include "host/utf8.h"
#include "host/window_link.h"
#include "items/source_todo_item.h"
#include "items/source_todo_manager.h"
#include "list/filter_keys.h"
#include "table/html_table.h"
#include "table/table_options.h"
#include "todofile/todo_file_name.h"

#include <algorithm>
#include <clocale>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <optional>
#include <unordered_map>

const std::array<const char*, 2> Status = {ToDoStrings::_sStatusPending, ToDoStrings::_sStatusDone};

TToDoList* ToDoList = nullptr;

namespace {

// The origin keys as the origin filter holds them.
const std::wstring HasViewKey = Utf8ToWide(ToDoStrings::_ikHasView);
const std::wstring InProjectKey = Utf8ToWide(ToDoStrings::_ikInProject);
const std::wstring ProjectItemKey = Utf8ToWide(ToDoStrings::_ikProjectItem);

/// The key of a file name in the manager index: equal for names SameFileNameText calls equal.
std::wstring ManagerKey(const std::string& FileName) {
    std::wstring Key = Utf8ToWide(FileName);
    for (wchar_t& C : Key)
        C = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(C)));
    return Key;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// TManagerLock

void TManagerLock::Acquire() {
    FMutex.lock();
    if (FDepth++ == 0)
        FOwner.store(std::this_thread::get_id());
    ++FLocked;
}

void TManagerLock::Release() {
    --FLocked;
    if (--FDepth == 0)
        FOwner.store(std::thread::id());
    FMutex.unlock();
}

// ---------------------------------------------------------------------------------------------
// Construction and destruction

TToDoList::TToDoList() {
    for (auto& D : FSortDirection)
        D.store(1);
}

std::shared_ptr<TToDoList> TToDoList::Create() {
    std::shared_ptr<TToDoList> List(new TToDoList);
    List->FExtensionIndex = AddOTAExtension(List);
    List->ReadFilters();
    List->Subscribe();
    if (!Table())
        CreateTable();
    List->ReadTableOptions();
    return List;
}

void TToDoList::Subscribe() {
    // The handlers hold a plain pointer: the destructor unsubscribes before anything goes, and
    // the host raises these events on the main thread, which also destroys the service.
    TToDoList* Self = this;
    FSubscriptions = {
        EvActiveProjectChanged().Add([Self](TProjectGroup& G) { Self->ActiveProjectChanged(G); }),
        EvModuleModified().Add(
            [Self](TModule* M, const std::string& F) { Self->ProjectModuleModified(M, F); }),
        EvProjectModuleRemoved().Add(
            [Self](IProject& P, const std::string& F) { Self->ProjectModuleRemoved(P, F); }),
        EvProjectModuleAdded().Add(
            [Self](IProject& P, TCustomFileEntry& E) { Self->ProjectModuleAdded(P, E); }),
        EvProjectModuleRenamed().Add(
            [Self](IProject& P, const std::string& Old, const std::string& New) {
                Self->ProjectModuleRenamed(P, Old, New);
            }),
        EvProjectRenamed().Add([Self](IProject& P, const std::string& Old, const std::string& New) {
            Self->ProjectRenamed(P, Old, New);
        }),
        EvViewNotification().Add(
            [Self](TEditView* V, TViewOperation Op) { Self->ViewNotification(V, Op); }),
        EvModuleActivated().Add([Self](TModule* M) { Self->ModuleActivated(M); }),
    };
}

void TToDoList::Unsubscribe() {
    auto Remove = [](auto& Event, unsigned& Token) {
        if (Token)
            Event.Remove(std::exchange(Token, 0));
    };
    Remove(EvActiveProjectChanged(), FSubscriptions[0]);
    Remove(EvModuleModified(), FSubscriptions[1]);
    Remove(EvProjectModuleRemoved(), FSubscriptions[2]);
    Remove(EvProjectModuleAdded(), FSubscriptions[3]);
    Remove(EvProjectModuleRenamed(), FSubscriptions[4]);
    Remove(EvProjectRenamed(), FSubscriptions[5]);
    Remove(EvViewNotification(), FSubscriptions[6]);
    Remove(EvModuleActivated(), FSubscriptions[7]);
}

void TToDoList::BeforeDestruction() {
    if (FDestructionPrepared)
        return;
    FDestructionPrepared = true;
    std::vector<TRef<IOTAToDoManager>> Released; // released after the lock: they may call back
    {
        std::scoped_lock Lock(FManagerLock);
        FProjectManager.reset();
        for (auto& M : FOTAManagers)
            Released.push_back(std::move(M));
    }
    RemoveOTAExtension(FExtensionIndex);
}

TToDoList::~TToDoList() {
    BeforeDestruction();
    WriteFilters();
    Unsubscribe();
    FreeTable();
}

// ---------------------------------------------------------------------------------------------
// IOTAToDoServices

int TToDoList::AddManager(TRef<IOTAToDoManager> Manager) {
    std::scoped_lock Lock(FManagerLock);
    FOTAManagers.push_back(std::move(Manager));
    return static_cast<int>(FOTAManagers.size()) - 1;
}

int TToDoList::AddNotifier(TRef<IOTANotifier> Notifier) {
    return FNotifiers.AddToList(std::move(Notifier));
}

TRef<INTAToDoItem> TToDoList::GetItem(int Index) {
    std::scoped_lock Lock(FItemsLock);
    return FItems.Get(Index); // throws EListError out of range
}

int TToDoList::GetItemCount() {
    return FItems.Count();
}

void TToDoList::RemoveManager(int Index) {
    TRef<IOTAToDoManager> Removed; // released after the lock: its destructor may call back
    std::scoped_lock Lock(FManagerLock);
    if (Index < 0 || Index >= static_cast<int>(FOTAManagers.size()))
        throw EListError(Index);
    if (!FOTAManagers[static_cast<size_t>(Index)])
        return;
    Removed.swap(FOTAManagers[static_cast<size_t>(Index)]);
    FOTAManagers.erase(FOTAManagers.begin() + Index);
    // The list must let go of the removed manager's items before this returns, also while the
    // window is hidden and nothing collates: they are another package's objects, and that
    // package is usually about to be unloaded. Collations run under ManagerLock, which this
    // holds, so none is walking the managers now and none that follows meets the removed one.
    if (!CollateIfVisible())
        ClearHiddenList();
}

void TToDoList::RemoveNotifier(int Index) {
    FNotifiers.RemoveFromList(Index);
}

void TToDoList::UpdateList() {
    std::scoped_lock Lock(FManagerLock);
    Collate();
}

// ---------------------------------------------------------------------------------------------
// Managers

std::vector<TRef<IToDoManager>> TToDoList::Managers() {
    std::scoped_lock Lock(FManagerLock);
    return FManagers;
}

TRef<IToDoManager> TToDoList::FindManager(const std::string& FileName) {
    std::scoped_lock Lock(FManagerLock);
    auto It = FManagerIndex.find(ManagerKey(FileName));
    if (It == FManagerIndex.end())
        return nullptr;
    if (It->second->IsManager(FileName))
        return It->second;
    // The manager answers to another name now (renamed behind the index's back): ask them all.
    for (const auto& M : FManagers)
        if (M && M->IsManager(FileName))
            return M;
    return nullptr;
}

void TToDoList::UnindexManager(const TRef<IToDoManager>& Manager) {
    auto Key = FManagerKeys.find(Manager.get());
    if (Key == FManagerKeys.end())
        return;
    auto It = FManagerIndex.find(Key->second);
    if (It != FManagerIndex.end() && It->second == Manager)
        FManagerIndex.erase(It);
    FManagerKeys.erase(Key);
}

TRef<IToDoManager> TToDoList::CreateManager(const std::string& FileName, bool Notify) {
    TRef<IToDoManager> Manager;
    for (TToDoManagerCreator* Creator : ToDoManagerCreators()) {
        if (Creator && Creator->CanHandleFile(FileName)) {
            Manager = Creator->CreateManager(FileName);
            break;
        }
    }
    if (!Manager)
        return nullptr;
    {
        std::scoped_lock Lock(FManagerLock);
        FManagers.push_back(Manager);
        // The first manager of a name is the one FindManager returns, as a walk would.
        auto Key = ManagerKey(FileName);
        if (FManagerIndex.try_emplace(Key, Manager).second)
            FManagerKeys.emplace(Manager.get(), std::move(Key));
    }
    if (Notify)
        if (IParseThread* Thread = ParseThread())
            Thread->Modified();
    return Manager;
}

void TToDoList::DeleteManager(const TRef<IToDoManager>& Manager) {
    // Released after the lock, so that a manager's destructor never runs under ManagerLock.
    TRef<IToDoManager> Removed;
    auto Remove = [&] {
        // From the end: a project change drops managers walking backwards.
        auto It = std::find(FManagers.rbegin(), FManagers.rend(), Manager);
        if (It != FManagers.rend()) {
            UnindexManager(Manager);
            Removed = std::move(*It);
            FManagers.erase(std::next(It).base());
        }
    };
    if (FManagerLock.HeldByThisThread()) {
        // A manager removing itself while this thread walks the managers: the walk's own
        // collation follows.
        Remove();
        return;
    }
    std::scoped_lock Lock(FManagerLock);
    Remove();
    Collate();
}

TRef<ISourceToDoManager> TToDoList::GetProjectManager() {
    std::scoped_lock Lock(FManagerLock);
    return FProjectManager;
}

void TToDoList::SetProjectManager(TRef<ISourceToDoManager> Manager) {
    std::scoped_lock Lock(FManagerLock);
    FProjectManager.swap(Manager);
}

TStatus TToDoList::AddItem(const std::string& Text) {
    TRef<ISourceToDoManager> Manager = GetProjectManager();
    if (!Manager) {
        auto Project = MainProjectGroup().ActiveProject();
        if (!Project)
            return {};
        Manager = std::dynamic_pointer_cast<ISourceToDoManager>(
            CreateManager(ToDoFileNameOf(Project->GetFileName()), false));
        SetProjectManager(Manager);
    }
    if (!Manager)
        return {};
    return Manager->AddItem(0, Text);
}

// ---------------------------------------------------------------------------------------------
// Following the host

void TToDoList::ActiveProjectChanged(TProjectGroup& Sender) {
    WriteFilters();
    auto Project = Sender.ActiveProject();
    if (Project)
        ReadFilters();
    std::scoped_lock Lock(FManagerLock);
    // From the last to the first: a manager that drops itself is removed from under the walk
    // (DeleteManager sees the lock held), and the earlier indexes stay valid.
    for (size_t I = FManagers.size(); I-- > 0;) {
        if (I >= FManagers.size())
            continue;
        TRef<IToDoManager> M = FManagers[I];
        if (M)
            M->ProjectChanged();
    }
    for (size_t I = FOTAManagers.size(); I-- > 0;) {
        if (I >= FOTAManagers.size())
            continue;
        if (auto M = std::dynamic_pointer_cast<IToDoManager>(FOTAManagers[I]))
            M->ProjectChanged();
    }
    EnumProjectUnits(Project);
    UpdateDisplayCaption();
    if (THTMLTable* T = Table())
        T->SetCaption(
            Project ? Utf8ToWide(std::filesystem::path(Project->GetFileName()).filename().string())
                    : std::wstring());
    if (IParseThread* Thread = ParseThread())
        Thread->Modified();
}

void TToDoList::EnumProjectUnits(const std::shared_ptr<IProject>& Project) {
    if (!Project)
        return;
    auto Units = Project->GetUsesList();
    std::scoped_lock Lock(FManagerLock);
    for (const auto& Entry : Units) {
        if (!Entry)
            continue;
        std::string Name = Entry->GetFileName();
        if (!FindManager(Name))
            CreateManager(Name, false);
    }
}

void TToDoList::ProjectModuleModified(TModule* /*Sender*/, const std::string& FileName) {
    if (auto M = FindManager(FileName))
        M->SetIsParsed(false);
}

void TToDoList::ProjectModuleRemoved(IProject& /*Sender*/, const std::string& FileName) {
    DeleteManager(FindManager(FileName));
}

void TToDoList::ProjectModuleAdded(IProject& /*Sender*/, TCustomFileEntry& Entry) {
    std::string Name = Entry.GetFileName();
    if (!Name.empty() && !IsToDoFileName(Name) && !FindManager(Name))
        CreateManager(Name, true);
}

void TToDoList::ProjectModuleRenamed(IProject& /*Sender*/, const std::string& OldName,
                                     const std::string& NewName) {
    std::scoped_lock Lock(FManagerLock);
    auto M = FindManager(OldName);
    if (!M || M == std::dynamic_pointer_cast<IToDoManager>(FProjectManager))
        return;
    M->Rename(OldName, NewName);
    if (M->IsManager(NewName)) {
        UnindexManager(M);
        auto Key = ManagerKey(NewName);
        if (FManagerIndex.try_emplace(Key, M).second)
            FManagerKeys.emplace(M.get(), std::move(Key));
    }
}

void TToDoList::ProjectRenamed(IProject& /*Sender*/, const std::string& /*OldName*/,
                               const std::string& /*NewName*/) {
    UpdateDisplayCaption();
}

void TToDoList::ViewNotification(TEditView* View, TViewOperation Operation) {
    if (!View || !View->GetBuffer())
        return;
    std::string Name = View->GetBuffer()->GetFileName();
    if (IsToDoFileName(Name))
        return;
    TRef<IToDoManager> M = FindManager(Name);
    if (Operation == voInsert) {
        if (!M)
            M = CreateManager(Name, false);
        if (M && View->GetModule()) {
            TRef<IToDoUpdater> Updater = View->GetModule()->QueryToDoUpdater();
            if (auto Source = std::dynamic_pointer_cast<ISourceToDoManager>(M))
                Source->SetUpdater(std::move(Updater));
        }
    } else if (Operation == voRemove && M) {
        if (auto Source = std::dynamic_pointer_cast<ISourceToDoManager>(M))
            Source->SetUpdater(nullptr);
        if (!M->InProject())
            DeleteManager(M);
    }
}

void TToDoList::ModuleActivated(TModule* /*Sender*/) {
    UpdateDisplay(-1);
}

void TToDoList::UpdateDisplayCaption() {
    IToDoDisplayForm* Form = GetDisplayForm();
    if (!Form)
        return;
    std::string Caption = ToDoStrings::_sToDoProjectItemName;
    if (auto Project = MainProjectGroup().ActiveProject())
        Caption += " - " + Project->GetName();
    Form->SetCaption(Caption);
}

// ---------------------------------------------------------------------------------------------
// The window link

void TToDoList::SetDisplayForm(IToDoDisplayForm* Form) {
    FDisplayForm.store(Form);
    FDisplayHandle.store(Form ? Form->GetHandle() : 0);
}

void TToDoList::UpdateDisplay(int Count) {
    TDisplayHandle Handle = FDisplayHandle.load();
    if (Handle == 0)
        return;
    if (Count == -1)
        Count = FItems.Count();
    PostMessageA(Handle, IDEMUpdate, 0, Count);
}

bool TToDoList::DisplayFormVisible() const {
    TDisplayHandle Handle = FDisplayHandle.load();
    return FDisplayForm.load() && Handle != 0 && IsWindowVisible(Handle);
}

// ---------------------------------------------------------------------------------------------
// Parsing and collation

bool TToDoList::Cancelled() const {
    if (FCancelled.load())
        return true;
    IParseThread* Thread = ParseThread();
    return Thread && Thread->Terminated();
}

void TToDoList::Parse() {
    std::scoped_lock Lock(FManagerLock);
    if (DisplayFormVisible()) {
        // A copy: a manager may remove itself (or others) while it parses.
        std::vector<TRef<IToDoManager>> Walk = FManagers;
        for (const auto& M : Walk) {
            if (Cancelled())
                return; // shut-down: the list stays as the last collation left it
            if (M && !M->GetIsParsed())
                M->Parse();
        }
        Collate();
        FParsePending.store(false);
    } else {
        ClearHiddenList();
    }
}

void TToDoList::ClearHiddenList() {
    {
        std::scoped_lock Items(FItemsLock);
        FItems.Clear();
    }
    UpdateDisplay(0);
    FParsePending.store(true);
}

void TToDoList::AddManagersItems() {
    TOriginCache Cache; // answers of the manager whose items are being walked
    auto AddItemsOf = [&](const auto& Managers) {
        for (const auto& M : Managers)
            if (M)
                for (int I = 0, N = M->GetItemCount(); I < N; ++I)
                    InternalAdd(M->GetItem(I), Cache);
    };
    AddItemsOf(FManagers);
    AddItemsOf(FOTAManagers);
}

void TToDoList::Collate() {
    CollateIfVisible();
}

bool TToDoList::CollateIfVisible() {
    // Callers hold ManagerLock already; taking it again (it is recursive) keeps a direct call
    // from a dialog inside the lock order too.
    std::scoped_lock Managers(FManagerLock);
    if (!DisplayFormVisible())
        return false;
    struct TPostOnExit { // the window hears of the list also when a step raised an error
        TToDoList* Self;
        ~TPostOnExit() { Self->UpdateDisplay(-1); }
    };
    {
        TPostOnExit Post{this};
        std::scoped_lock Lock(FItemsLock);
        FPendingCount.store(0);
        FTotalCount.store(0);
        FHiddenCount.store(0);
        FItems.Clear();
        FCategoryFilter.Reset();
        FOwnerFilter.Reset();
        AddManagersItems();
        SortItems();
    }
    NotifyModified();
    return true;
}

void TToDoList::NotifyModified() {
    // A notifier that collates again (UpdateList) from Modified is not told of its own collation:
    // that would never end. Collations run under ManagerLock, so one thread at a time is here.
    if (FNotifying)
        return;
    FNotifying = true;
    struct TReset {
        bool& Flag;
        ~TReset() { Flag = false; }
    } Reset{FNotifying};
    for (const auto& N : FNotifiers.Notifiers())
        N->Modified();
}

bool TToDoList::OriginShown(const TRef<INTAToDoItem>& Item, TOriginCache& Cache) {
    auto Shown = [this](const std::wstring& Key) {
        const TFilterEntry* E = FOriginFilter.Find(Key);
        return E && E->Value != -1;
    };
    // Our own items are source items; the instance behind the interface is the item object.
    if (auto* Source = dynamic_cast<TSourceToDoItem*>(Item.get())) {
        if (Source->GetKind() == ToDoStrings::_ikProjectItem)
            return Shown(ProjectItemKey);
        // The items walked together belong to one manager, which answers the same for each of
        // them during one collation: it is asked once.
        auto Manager = Source->GetManager();
        if (Manager.get() != Cache.Manager) {
            Cache = TOriginCache();
            Cache.Manager = Manager.get();
        }
        if (Shown(HasViewKey)) {
            if (!Cache.HasView)
                Cache.HasView = Manager && Manager->HasView();
            if (*Cache.HasView)
                return true;
        }
        if (!Shown(InProjectKey))
            return false;
        if (!Cache.InProject)
            Cache.InProject = Source->InProject();
        return *Cache.InProject;
    }
    // Items of other packages' managers: their kind is their origin. The kind is widened as
    // this system's 8-bit texts are, from UTF-8.
    std::wstring Kind = Utf8ToWide(Item->GetKind());
    TFilterEntry* E = FOriginFilter.Find(Kind);
    if (!E)
        E = FOriginFilter.Add(Kind, 1);
    return E->Value != -1;
}

void TToDoList::InternalAdd(const TRef<INTAToDoItem>& Item, TOriginCache& Cache) {
    ++FTotalCount;
    const bool Origin = OriginShown(Item, Cache);
    auto Entry = [](TToDoFilterList& List, const std::string& Value) {
        std::wstring Key = Utf8ToWide(Value);
        TFilterEntry* E = List.Find(Key);
        return E ? E : List.Add(Key, 1);
    };
    TFilterEntry* Category = Entry(FCategoryFilter, Item->GetCategory());
    TFilterEntry* Owner = Entry(FOwnerFilter, Item->GetOwner());
    const bool Checked = Item->GetChecked();
    const bool Listed =
        (!Checked || FShowChecked.load()) && Category->Value != -1 && Owner->Value != -1 && Origin;
    if (Listed) {
        FItems.Add(Item);
        ++Category->Value;
        ++Owner->Value;
    } else {
        ++FHiddenCount;
    }
    if (!Checked)
        ++FPendingCount;
}

// ---------------------------------------------------------------------------------------------
// Sorting

namespace {

/// The host's 8-bit comparison: locale-aware and case-sensitive on UTF-8 text.
int AnsiCompareStr(const std::string& A, const std::string& B) {
    if (A == B) // equal texts collate equal; saves the costly collation for most ties
        return 0;
    return std::strcoll(A.c_str(), B.c_str());
}

/// The wide comparison: locale-aware and case-sensitive on decoded text.
int WideCompareStr(const std::wstring& A, const std::wstring& B) {
    if (A == B)
        return 0;
    return std::wcscoll(A.c_str(), B.c_str());
}

/// Priority 0 (none) ranks after 5.
int PriorityRank(int Priority) {
    return Priority == 0 ? 6 : Priority;
}

/// What one item is compared by under one sort order, computed once per sort. Small, so that
/// the quicksort moves keys rather than chasing pointers.
struct TSortKey {
    std::uint64_t Prefix = 0; // the first bytes of the action item's bytewise form, big-endian
    int Rank = 0;             // the place of the item's string key among all (see RankOf)
    int Number = 0;           // checked state, priority rank, or the position (module order)
    int Index = 0;            // the item's place in the list before the sort
    bool Source = false;      // a source-file item: its position breaks module ties
};

/// The action items of the items being sorted in a form that compares byte by byte as the
/// locale collates them: as they are where the locale collates bytewise, else transformed with
/// strxfrm (the standard's own promise: strcmp of two transforms has the sign of strcoll of the
/// texts). Fetched and transformed once per item, when first needed.
class TTextCache {
public:
    TTextCache(const std::vector<TRef<INTAToDoItem>>& Items, bool Transform)
        : FItems(Items), FTransform(Transform), FTexts(Items.size()), FHave(Items.size(), 0) {}
    const std::string& Get(int Index) {
        const auto I = static_cast<size_t>(Index);
        if (!FHave[I]) {
            FTexts[I] = FTransform ? Transformed(FItems[I]->GetText()) : FItems[I]->GetText();
            FHave[I] = 1;
        }
        return FTexts[I];
    }

private:
    static std::string Transformed(const std::string& Text) {
        std::string Out(std::strxfrm(nullptr, Text.c_str(), 0), '\0');
        std::strxfrm(Out.data(), Text.c_str(), Out.size() + 1);
        return Out;
    }

    const std::vector<TRef<INTAToDoItem>>& FItems;
    const bool FTransform;
    std::vector<std::string> FTexts;
    std::vector<char> FHave;
};

/// True when the process collates strings byte by byte (the C locale and C.UTF-8), so that
/// comparing the first bytes of two texts decides whenever they differ.
bool BytewiseCollation() {
    const char* Name = std::setlocale(LC_COLLATE, nullptr);
    if (!Name)
        return false;
    std::string_view N(Name);
    return N == "C" || N == "POSIX" || N == "C.UTF-8" || N == "C.utf8";
}

/// The first eight bytes of Text up to its first NUL (where the C comparison stops), big-endian,
/// so that comparing two prefixes as numbers orders them as the bytes compare.
std::uint64_t PrefixOf(const std::string& Text) {
    std::uint64_t P = 0;
    bool Ended = false;
    for (size_t I = 0; I < 8; ++I) {
        unsigned char C = 0;
        if (!Ended && I < Text.size()) {
            C = static_cast<unsigned char>(Text[I]);
            Ended = C == 0;
        }
        P = (P << 8) | C;
    }
    return P;
}

/// Gives each value its rank in the order of Compare (equal values share a rank), so that a
/// sort compares two integers with the sign Compare would give for the two values. Compare runs
/// only on the distinct values, a few for owners or categories, one per file for modules.
template <class TString, class TCompareFn>
std::vector<int> RankOf(const std::vector<TString>& Values, TCompareFn Compare) {
    std::unordered_map<TString, int> Index;
    std::vector<const TString*> Distinct;
    std::vector<int> Of(Values.size());
    for (size_t I = 0; I < Values.size(); ++I) {
        auto [It, New] = Index.emplace(Values[I], static_cast<int>(Distinct.size()));
        if (New)
            Distinct.push_back(&It->first);
        Of[I] = It->second;
    }
    std::vector<int> Sorted(Distinct.size());
    for (size_t I = 0; I < Sorted.size(); ++I)
        Sorted[I] = static_cast<int>(I);
    std::sort(Sorted.begin(), Sorted.end(), [&](int A, int B) {
        return Compare(*Distinct[static_cast<size_t>(A)], *Distinct[static_cast<size_t>(B)]) < 0;
    });
    std::vector<int> RankOfDistinct(Distinct.size());
    int Rank = 0;
    for (size_t I = 0; I < Sorted.size(); ++I) {
        if (I > 0 && Compare(*Distinct[static_cast<size_t>(Sorted[I - 1])],
                             *Distinct[static_cast<size_t>(Sorted[I])]) != 0)
            ++Rank;
        RankOfDistinct[static_cast<size_t>(Sorted[I])] = Rank;
    }
    for (int& R : Of)
        R = RankOfDistinct[static_cast<size_t>(R)];
    return Of;
}

} // namespace

int TToDoList::SortCompare(const TRef<INTAToDoItem>& Item1, const TRef<INTAToDoItem>& Item2) const {
    const TToDoSortOrder Order = FSortOrder.load();
    const int D = FSortDirection[Order].load();
    int Result = 0;
    switch (Order) {
    case soActionItem:
        Result = AnsiCompareStr(Item1->GetText(), Item2->GetText()) * D;
        break;
    case soChecked:
        Result = (int(Item1->GetChecked()) - int(Item2->GetChecked())) * D;
        break;
    case soKind:
        Result = AnsiCompareStr(Item1->GetKind(), Item2->GetKind()) * D;
        break;
    case soPriority:
        Result = (PriorityRank(Item1->GetPriority()) - PriorityRank(Item2->GetPriority())) * D;
        break;
    case soModule:
        Result = AnsiCompareStr(Item1->GetModuleName(), Item2->GetModuleName()) * D;
        // Items of one file keep the order of their comments, whatever the direction.
        if (Result == 0 && Item1->GetKind() == SourceItemKind && Item2->GetKind() == SourceItemKind)
            Result = Item1->GetData() - Item2->GetData();
        break;
    case soOwner:
        Result = WideCompareStr(Utf8ToWide(Item1->GetOwner()), Utf8ToWide(Item2->GetOwner())) * D;
        break;
    case soCategory:
        Result =
            WideCompareStr(Utf8ToWide(Item1->GetCategory()), Utf8ToWide(Item2->GetCategory())) * D;
        break;
    }
    if (Result == 0 && Order != soActionItem)
        Result = AnsiCompareStr(Item1->GetText(), Item2->GetText()) *
                 FSortDirection[soActionItem].load();
    return Result;
}

void TToDoList::SortItems() {
    // The same order as sorting with SortCompare, for a fraction of the cost: each item's keys
    // are fetched once per sort instead of twice per comparison, string keys other than the
    // action item become ranks (so the locale comparison runs once per distinct value), the
    // action items are compared in a bytewise form (see TTextCache) whose first bytes decide
    // most of their comparisons. The quicksort is the same and every comparison has the sign
    // SortCompare would give, so the order is the same.
    const TToDoSortOrder Order = FSortOrder.load();
    const int D = FSortDirection[Order].load();
    const int TextD = FSortDirection[soActionItem].load();
    // Under the module order only the items of one file with equal positions tie, which never
    // happens in a parsed file: their action items are fetched only should it happen.
    const bool EagerTexts = Order != soModule;
    std::optional<TTextCache> Texts;
    auto MakeKeys = [&](const std::vector<TRef<INTAToDoItem>>& Items) {
        Texts.emplace(Items, !BytewiseCollation());
        std::vector<TSortKey> Keys(Items.size());
        std::vector<std::string> Bytes;
        std::vector<std::wstring> Wide;
        for (size_t I = 0; I < Items.size(); ++I) {
            INTAToDoItem& Item = *Items[I];
            TSortKey& K = Keys[I];
            K.Index = static_cast<int>(I);
            switch (Order) {
            case soActionItem:
                break;
            case soChecked:
                K.Number = Item.GetChecked() ? 1 : 0;
                break;
            case soKind:
                Bytes.push_back(Item.GetKind());
                break;
            case soPriority:
                K.Number = PriorityRank(Item.GetPriority());
                break;
            case soModule:
                Bytes.push_back(Item.GetModuleName());
                K.Source = Item.GetKind() == SourceItemKind;
                K.Number = Item.GetData();
                break;
            case soOwner:
                Wide.push_back(Utf8ToWide(Item.GetOwner()));
                break;
            case soCategory:
                Wide.push_back(Utf8ToWide(Item.GetCategory()));
                break;
            }
            if (EagerTexts)
                K.Prefix = PrefixOf(Texts->Get(K.Index));
        }
        std::vector<int> Ranks;
        if (!Bytes.empty())
            Ranks = RankOf(Bytes, AnsiCompareStr);
        else if (!Wide.empty())
            Ranks = RankOf(Wide, WideCompareStr);
        for (size_t I = 0; I < Ranks.size(); ++I)
            Keys[I].Rank = Ranks[I];
        return Keys;
    };
    auto CompareTexts = [&](const TSortKey& A, const TSortKey& B) {
        if (A.Index == B.Index) // the quicksort meets its pivot: no need to fetch the text
            return 0;
        if (EagerTexts && A.Prefix != B.Prefix)
            return A.Prefix < B.Prefix ? -1 : 1;
        return std::strcmp(Texts->Get(A.Index).c_str(), Texts->Get(B.Index).c_str());
    };
    auto Compare = [&](const TSortKey& A, const TSortKey& B) {
        int Result = 0;
        switch (Order) {
        case soActionItem:
            return CompareTexts(A, B) * D; // no tie-break under the action-item order
        case soChecked:
        case soPriority:
            Result = (A.Number - B.Number) * D;
            break;
        case soKind:
        case soOwner:
        case soCategory:
            Result = (A.Rank - B.Rank) * D;
            break;
        case soModule:
            Result = (A.Rank - B.Rank) * D;
            if (Result == 0 && A.Source && B.Source)
                Result = A.Number - B.Number;
            break;
        }
        if (Result == 0)
            Result = CompareTexts(A, B) * TextD;
        return Result;
    };
    FItems.SortByKeys(MakeKeys, Compare, [](const TSortKey& K) { return K.Index; });
}

void TToDoList::SetSortOrder(TToDoSortOrder Value) {
    {
        // ItemsLock keeps a collation on the parse thread from rebuilding the list mid-sort.
        std::scoped_lock Lock(FItemsLock);
        if (Value != FSortOrder.load()) {
            FSortOrder.store(Value);
        } else {
            auto& D = FSortDirection[Value];
            D.store(D.load() == 1 ? -1 : 1);
        }
        SortItems();
    }
    UpdateDisplay(-1);
}

void TToDoList::SetShowChecked(bool Value) {
    if (Value == FShowChecked.load())
        return;
    FShowChecked.store(Value);
    std::scoped_lock Lock(FManagerLock);
    Collate();
}

// ---------------------------------------------------------------------------------------------
// Filters and their settings

namespace {

struct TFilterSetting {
    const char* Key;
    TToDoFilterList& (TToDoList::*List)();
};

const TFilterSetting FilterSettings[] = {
    {"HiddenCategories", &TToDoList::CategoryFilter},
    {"HiddenOwners", &TToDoList::OwnerFilter},
    {"HiddenItems", &TToDoList::OriginFilter},
};

} // namespace

void TToDoList::ReadFilters() {
    std::scoped_lock Lock(FItemsLock); // a collation may run on the parse thread
    FCategoryFilter.Clear();
    FOwnerFilter.Clear();
    FOriginFilter.Clear();
    for (const std::wstring* Origin : {&HasViewKey, &InProjectKey, &ProjectItemKey})
        FOriginFilter.Add(*Origin, 1);
    for (const TFilterSetting& S : FilterSettings) {
        TToDoFilterList& List = (this->*S.List)();
        for (const std::wstring& Key :
             SplitFilterKeys(AppIniFile().ReadString(SettingsSection, S.Key, "")))
            List.Add(Key, -1); // an existing key just becomes hidden
    }
}

void TToDoList::WriteFilters() {
    std::scoped_lock Lock(FItemsLock);
    for (const TFilterSetting& S : FilterSettings) {
        TFilterValueList Values;
        (this->*S.List)().ListValues(Values, true, false);
        std::vector<std::wstring> Hidden;
        for (const auto& [Key, Entry] : Values)
            if (Entry->Value == -1)
                Hidden.push_back(Key);
        AppIniFile().WriteString(SettingsSection, S.Key, JoinFilterKeys(Hidden));
    }
}

// ---------------------------------------------------------------------------------------------
// Copy as text

std::wstring TToDoList::GetTextOfItems() {
    auto Field = [](std::wstring& Line, const std::wstring& Value) {
        Line += Value;
        Line += L'\t';
    };
    std::wstring Text;
    for (const char* Title :
         {ToDoStrings::_sActionItem, ToDoStrings::_sStatus, ToDoStrings::_sPriority,
          ToDoStrings::_sOwner, ToDoStrings::_sCategory, ToDoStrings::_sModule})
        Field(Text, Utf8ToWide(Title));
    Text += L"\r\n";
    std::scoped_lock Lock(FItemsLock);
    for (int I = 0; I < GetItemCount(); ++I) {
        TRef<INTAToDoItem> Item = GetItem(I);
        Field(Text, TrimText(Utf8ToWide(Item->GetText())));
        Field(Text, Utf8ToWide(Status[Item->GetChecked() ? 1 : 0]));
        Field(Text, std::to_wstring(Item->GetPriority()));
        Field(Text, Utf8ToWide(Item->GetOwner()));
        Field(Text, Utf8ToWide(Item->GetCategory()));
        // File names are this system's 8-bit texts, UTF-8 like every other.
        Field(Text, Utf8ToWide(Item->GetModuleName()));
        Text += L"\r\n";
    }
    return Text;
}

void TToDoList::CopyTableToClipboard() {
    std::scoped_lock Lock(FItemsLock);
    ::CopyTableToClipboard(*this);
}

void TToDoList::ReadTableOptions() {
    if (THTMLTable* T = Table())
        if (TStatus S = ::ReadTableOptions(*T, AppIniFile()); !S)
            ReportSettingsProblem(S.Message());
}

void TToDoList::CopyTextToClipboard() {
    std::wstring Text = GetTextOfItems(); // the clipboard stays as it was if this throws
    Clipboard().Clear();
    ClipboardSetAsWideText(Text);
}

// ---------------------------------------------------------------------------------------------
// The program's service, the creator registry and the unit

namespace {

std::shared_ptr<TToDoList> GToDoListRef; // main thread
// Held by the parse client while it runs a parse, and by FreeToDoList while it clears
// ToDoList, so that the service never goes away under a running parse. Never taken while
// holding ManagerLock or ItemsLock.
std::mutex GParseClientLock;

/// The parse client: every pass of the host's parse thread parses the list when there is one.
class TToDoListParseThread : public IParseThreadParser {
public:
    void ParseThreadParse() override {
        std::scoped_lock Lock(GParseClientLock);
        if (ToDoList)
            ToDoList->Parse();
    }
};

std::mutex GUnitLock; // guards GUnitCount and GParseClient
int GUnitCount = 0;
TRef<IParseThreadParser> GParseClient;

} // namespace

TToDoList& CreateToDoList() {
    if (!ToDoList) {
        GToDoListRef = TToDoList::Create();
        std::scoped_lock Lock(GParseClientLock);
        ToDoList = GToDoListRef.get();
    }
    return *ToDoList;
}

void FreeToDoList() {
    std::shared_ptr<TToDoList> List = std::move(GToDoListRef);
    if (!List)
        return;
    List->BeforeDestruction();
    List->Cancel(); // a parse in progress stops at its next manager
    {
        std::scoped_lock Lock(GParseClientLock);
        ToDoList = nullptr;
    }
    List.reset();
}

void InitializeToDoList() {
    std::scoped_lock Lock(GUnitLock);
    if (GUnitCount++ > 0)
        return;
    GParseClient = std::make_shared<TToDoListParseThread>();
    if (auto* Thread = dynamic_cast<TParseThread*>(ParseThread()))
        Thread->Add(GParseClient);
    RegisterToDoManagerCreatorProc = &RegisterToDoManagerCreator;
    UnRegisterToDoManagerCreatorProc = &UnRegisterToDoManagerCreator;
    DeleteToDoManagerProc = [](const TRef<IToDoManager>& Manager) {
        if (ToDoList)
            ToDoList->DeleteManager(Manager);
    };
    SetProjectManagerProc = [](TRef<ISourceToDoManager> Manager) {
        if (ToDoList)
            ToDoList->SetProjectManager(std::move(Manager));
    };
}

void FinalizeToDoList() {
    std::scoped_lock Lock(GUnitLock);
    if (GUnitCount == 0 || --GUnitCount > 0)
        return;
    DeleteToDoManagerProc = nullptr;
    SetProjectManagerProc = nullptr;
    RegisterToDoManagerCreatorProc = nullptr;
    UnRegisterToDoManagerCreatorProc = nullptr;
    if (auto* Thread = dynamic_cast<TParseThread*>(ParseThread()))
        Thread->Remove(GParseClient);
    GParseClient.reset();
    FreeToDoManagerCreators();
}
