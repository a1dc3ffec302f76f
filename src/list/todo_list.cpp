#include "list/todo_list.h"

#include "comments/trim_text.h"
#include "host/clipboard.h"
#include "host/errors.h"
#include "host/ini_file.h"
#include "host/parse_thread.h"
#include "host/project.h"
#include "host/utf8.h"
#include "host/window_link.h"
#include "items/source_todo_item.h"
#include "items/source_todo_manager.h"
#include "list/filter_keys.h"

#include <algorithm>
#include <clocale>
#include <cstring>
#include <cwchar>
#include <filesystem>

const std::array<const char*, 2> Status = {ToDoStrings::_sStatusPending, ToDoStrings::_sStatusDone};

TToDoList* ToDoList = nullptr;

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
    return List;
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
    TRef<IOTAToDoManager> Removed;
    std::scoped_lock Lock(FManagerLock);
    if (Index < 0 || Index >= static_cast<int>(FOTAManagers.size()))
        throw EListError(Index);
    if (!FOTAManagers[static_cast<size_t>(Index)])
        return;
    Removed.swap(FOTAManagers[static_cast<size_t>(Index)]);
    FOTAManagers.erase(FOTAManagers.begin() + Index);
    Collate();
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
    for (const auto& M : FManagers)
        if (M && M->IsManager(FileName))
            return M;
    return nullptr;
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
        auto It = std::find(FManagers.begin(), FManagers.end(), Manager);
        if (It != FManagers.end()) {
            Removed = std::move(*It);
            FManagers.erase(It);
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
        std::filesystem::path Name(Project->GetFileName());
        Name.replace_extension(".todo");
        Manager =
            std::dynamic_pointer_cast<ISourceToDoManager>(CreateManager(Name.string(), false));
        SetProjectManager(Manager);
    }
    if (!Manager)
        return {};
    return Manager->AddItem(0, Text);
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
        {
            std::scoped_lock Items(FItemsLock);
            FItems.Clear();
        }
        UpdateDisplay(0);
        FParsePending.store(true);
    }
}

void TToDoList::AddManagersItems() {
    for (const auto& M : FManagers) {
        if (!M)
            continue;
        for (int I = 0, N = M->GetItemCount(); I < N; ++I)
            InternalAdd(M->GetItem(I));
    }
    for (const auto& M : FOTAManagers) {
        if (!M)
            continue;
        for (int I = 0, N = M->GetItemCount(); I < N; ++I)
            InternalAdd(M->GetItem(I));
    }
}

void TToDoList::Collate() {
    // Callers hold ManagerLock already; taking it again (it is recursive) keeps a direct call
    // from a dialog inside the lock order too.
    std::scoped_lock Managers(FManagerLock);
    if (!DisplayFormVisible())
        return;
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

bool TToDoList::OriginShown(const TRef<INTAToDoItem>& Item) {
    auto Shown = [this](const char* Key) {
        const TFilterEntry* E = FOriginFilter.Find(Utf8ToWide(Key));
        return E && E->Value != -1;
    };
    // Our own items are source items; the instance behind the interface is the item object.
    if (auto* Source = dynamic_cast<TSourceToDoItem*>(Item.get())) {
        if (Source->GetKind() == ToDoStrings::_ikProjectItem)
            return Shown(ToDoStrings::_ikProjectItem);
        if (Shown(ToDoStrings::_ikHasView)) {
            auto Manager = Source->GetManager();
            if (Manager && Manager->HasView())
                return true;
        }
        return Shown(ToDoStrings::_ikInProject) && Source->InProject();
    }
    // Items of other packages' managers: their kind is their origin. The kind is widened as
    // this system's 8-bit texts are, from UTF-8.
    std::wstring Kind = Utf8ToWide(Item->GetKind());
    TFilterEntry* E = FOriginFilter.Find(Kind);
    if (!E)
        E = FOriginFilter.Add(Kind, 1);
    return E->Value != -1;
}

void TToDoList::InternalAdd(const TRef<INTAToDoItem>& Item) {
    ++FTotalCount;
    const bool Origin = OriginShown(Item);
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

/// The keys one item is compared by under one sort order, fetched once per sort.
struct TSortKey {
    std::string Bytes;   // text, kind or module name (orders 0, 2, 4)
    std::wstring Wide;   // owner or category (orders 5, 6)
    int Number = 0;      // checked state, priority rank, or the position for the module order
    bool Source = false; // a source-file item (its position breaks module ties)
    std::string Text;    // the action item, for the final tie-break (every order but 0)
};

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
    // The same comparison as SortCompare, with each item's keys fetched once per sort instead
    // of twice per comparison: a sort of many items spends its time fetching keys otherwise.
    // Both sort with the same quicksort and give the same signs, so the order is the same.
    const TToDoSortOrder Order = FSortOrder.load();
    const int D = FSortDirection[Order].load();
    const int TextD = FSortDirection[soActionItem].load();
    auto MakeKey = [Order](const TRef<INTAToDoItem>& Item) {
        TSortKey K;
        switch (Order) {
        case soActionItem:
            K.Bytes = Item->GetText();
            return K; // no tie-break under the text order
        case soChecked:
            K.Number = Item->GetChecked() ? 1 : 0;
            break;
        case soKind:
            K.Bytes = Item->GetKind();
            break;
        case soPriority:
            K.Number = PriorityRank(Item->GetPriority());
            break;
        case soModule:
            K.Bytes = Item->GetModuleName();
            K.Source = Item->GetKind() == SourceItemKind;
            K.Number = Item->GetData();
            break;
        case soOwner:
            K.Wide = Utf8ToWide(Item->GetOwner());
            break;
        case soCategory:
            K.Wide = Utf8ToWide(Item->GetCategory());
            break;
        }
        K.Text = Item->GetText();
        return K;
    };
    auto Compare = [Order, D, TextD](const TSortKey& A, const TSortKey& B) {
        int Result = 0;
        switch (Order) {
        case soActionItem:
        case soKind:
            Result = AnsiCompareStr(A.Bytes, B.Bytes) * D;
            break;
        case soChecked:
        case soPriority:
            Result = (A.Number - B.Number) * D;
            break;
        case soModule:
            Result = AnsiCompareStr(A.Bytes, B.Bytes) * D;
            if (Result == 0 && A.Source && B.Source)
                Result = A.Number - B.Number;
            break;
        case soOwner:
        case soCategory:
            Result = WideCompareStr(A.Wide, B.Wide) * D;
            break;
        }
        if (Result == 0 && Order != soActionItem)
            Result = AnsiCompareStr(A.Text, B.Text) * TextD;
        return Result;
    };
    FItems.SortByKey<TSortKey>(MakeKey, Compare);
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
    for (const char* Origin :
         {ToDoStrings::_ikHasView, ToDoStrings::_ikInProject, ToDoStrings::_ikProjectItem})
        FOriginFilter.Add(Utf8ToWide(Origin), 1);
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

std::mutex GCreatorsLock;                               // guards GCreators
std::vector<TToDoManagerCreator*>* GCreators = nullptr; // owned creators; made on first use

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

void RegisterToDoManagerCreator(TToDoManagerCreator* Creator) {
    std::scoped_lock Lock(GCreatorsLock);
    if (!GCreators)
        GCreators = new std::vector<TToDoManagerCreator*>;
    if (std::find(GCreators->begin(), GCreators->end(), Creator) == GCreators->end())
        GCreators->push_back(Creator);
}

void UnRegisterToDoManagerCreator(TToDoManagerCreator* Creator) {
    std::scoped_lock Lock(GCreatorsLock);
    if (GCreators)
        std::erase(*GCreators, Creator);
}

std::vector<TToDoManagerCreator*> ToDoManagerCreators() {
    std::scoped_lock Lock(GCreatorsLock);
    return GCreators ? *GCreators : std::vector<TToDoManagerCreator*>{};
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
}

void FinalizeToDoList() {
    std::scoped_lock Lock(GUnitLock);
    if (GUnitCount == 0 || --GUnitCount > 0)
        return;
    DeleteToDoManagerProc = nullptr;
    RegisterToDoManagerCreatorProc = nullptr;
    UnRegisterToDoManagerCreatorProc = nullptr;
    if (auto* Thread = dynamic_cast<TParseThread*>(ParseThread()))
        Thread->Remove(GParseClient);
    GParseClient.reset();
    std::vector<TToDoManagerCreator*>* Creators = nullptr;
    {
        std::scoped_lock CreatorsLock(GCreatorsLock);
        std::swap(Creators, GCreators);
    }
    if (Creators) {
        for (TToDoManagerCreator* C : *Creators)
            delete C;
        delete Creators;
    }
}
