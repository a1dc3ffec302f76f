#include "host/module.h"

#include "host/comment_syntax.h"
#include "host/creators.h"
#include "host/errors.h"
#include "host/events.h"
#include "host/imodule.h"
#include "host/module_handlers.h"
#include "host/project.h"
#include "host/source_updater.h"
#include "host/todo_intf.h"
#include "host/tools_api.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <mutex>
#include <string_view>
#include <utility>

namespace {

/// The loaded modules keyed by normalized file name, and the active one. Worker threads of the
/// scan open and close modules at once, so one lock guards both; it is held only to look up or
/// change the table and a module's view flag, never while a file is read or anyone is called
/// back. Lock order: the table, then a module's own lock; nothing takes them the other way round.
struct TModuleTable {
    std::mutex Lock;
    std::map<std::string, std::shared_ptr<TModule>> Modules;
    std::shared_ptr<TModule> Active;
};

TModuleTable& Table() {
    static TModuleTable T;
    return T;
}

/// The code manager's view of a module; weak, so that a module holding its view (and handlers
/// holding updaters holding the view) form no cycle.
class TCodeMgrModule : public IModule {
public:
    explicit TCodeMgrModule(std::weak_ptr<TModule> Module) : FModule(std::move(Module)) {}
    std::shared_ptr<TEditBuffer> GetSource() override {
        auto Module = FModule.lock();
        return Module ? Module->GetBuffer() : nullptr;
    }
    std::string GetFileName() override {
        auto Module = FModule.lock();
        return Module ? Module->GetFileName() : std::string();
    }
    std::shared_ptr<TModule> GetDocModule() override { return FModule.lock(); }

private:
    std::weak_ptr<TModule> FModule;
};

/// Puts a newly made module into the table and runs the gauntlet on it, or returns the module
/// that another thread put there first under the same name (ours is then dropped unseen).
std::shared_ptr<TModule> RegisterModule(std::shared_ptr<TModule> Module) {
    const std::string Name = Module->GetFileName();
    {
        auto& T = Table();
        std::scoped_lock Lock(T.Lock);
        auto [It, Inserted] = T.Modules.try_emplace(Name, Module);
        if (!Inserted)
            return It->second;
    }
    // Outside the table lock: the project and the gauntlet's members call back into the host.
    // A file of the active project belongs to the project's module, which then counts as
    // changed when the file does.
    if (auto Project = MainProjectGroup().ActiveProject(); Project && Project->Contains(Name))
        Module->AddOwner(Project->GetProjectModule());
    ModuleHandlerGauntlet().Run(*Module);
    return Module;
}

std::shared_ptr<TModule> MakePlainModule(std::string FileName,
                                         std::shared_ptr<TEditBuffer> Buffer) {
    return std::make_shared<TModule>(std::move(FileName), std::move(Buffer));
}

void RaiseViewRemoved(const std::shared_ptr<TModule>& Module, bool Deactivated) {
    if (Module) {
        TEditView View(Module);
        EvViewNotification().Raise(&View, voRemove);
    }
    if (Deactivated)
        EvModuleActivated().Raise(nullptr);
}

} // namespace

TModule::TModule(std::string FileName, std::shared_ptr<TEditBuffer> Buffer)
    : FFileName(std::move(FileName)), FBuffer(std::move(Buffer)) {}

TModule::~TModule() = default;

std::string TModule::GetFileName() const {
    std::scoped_lock Lock(FLock);
    return FFileName;
}

bool TModule::HasView() const {
    std::scoped_lock Lock(FLock);
    return FHasView;
}

void TModule::SetHasView(bool Value) {
    std::scoped_lock Lock(FLock);
    FHasView = Value;
}

TRef<IModule> TModule::GetModuleIntf() {
    std::scoped_lock Lock(FLock);
    if (!FModuleIntf)
        FModuleIntf = std::make_shared<TCodeMgrModule>(weak_from_this());
    return FModuleIntf;
}

bool TModule::GetModified() const {
    std::scoped_lock Lock(FLock);
    return FModified;
}

void TModule::SetModified(bool Value) {
    std::scoped_lock Lock(FLock);
    FModified = Value;
}

void TModule::Modified() {
    SetModified(true);
    EvModuleModified().Raise(this, GetFileName());
}

bool TModule::IsNew() const {
    std::scoped_lock Lock(FLock);
    return FNew;
}

bool TModule::MustPromptForSaveName() {
    return IsNew();
}

bool TModule::CanAddClosedFile() {
    return true;
}

TStatus TModule::Save(bool ChangeName, bool ForceSave) {
    if (ChangeName || MustPromptForSaveName()) {
        auto Prompt = PromptForSaveNameProc;
        std::string NewName = Prompt ? Prompt(*this) : std::string();
        if (NewName.empty())
            return TStatus::Error("no file name chosen for " + GetFileName());
        if (TStatus S = Rename(NewName); !S)
            return S;
    }
    if (!ForceSave && !GetModified() && !FBuffer->GetModified() && !IsNew())
        return {};
    if (TStatus S = FBuffer->Save(); !S)
        return S;
    std::scoped_lock Lock(FLock);
    FModified = false;
    FNew = false;
    return {};
}

TStatus TModule::Rename(const std::string& NewFileName) {
    const std::string New = NormalizeFileName(NewFileName);
    const std::string Old = GetFileName();
    if (New.empty())
        return TStatus::Error("cannot rename " + Old + " to an empty file name");
    if (New == Old)
        return {};
    {
        auto& T = Table();
        std::scoped_lock Lock(T.Lock);
        auto It = T.Modules.find(Old);
        if (It != T.Modules.end() && It->second.get() == this) {
            if (T.Modules.count(New))
                return TStatus::Error("cannot rename " + Old + " to " + New +
                                      ": a module of that name is loaded");
            auto Self = std::move(It->second);
            T.Modules.erase(It);
            T.Modules.emplace(New, std::move(Self));
        }
        std::scoped_lock ModuleLock(FLock);
        FFileName = New;
    }
    FBuffer->SetFileName(New);
    return {};
}

void TModule::AddOwner(const std::shared_ptr<TModule>& Owner) {
    if (!Owner || Owner.get() == this)
        return;
    std::scoped_lock Lock(FLock);
    for (const auto& Weak : FOwners)
        if (Weak.lock() == Owner)
            return;
    FOwners.push_back(Owner);
}

int TModule::GetOwnerCount() const {
    std::scoped_lock Lock(FLock);
    return static_cast<int>(FOwners.size());
}

std::shared_ptr<TModule> TModule::GetOwner(int Index) const {
    std::scoped_lock Lock(FLock);
    if (Index < 0 || Index >= static_cast<int>(FOwners.size()))
        throw EListError(Index);
    return FOwners[static_cast<size_t>(Index)].lock();
}

void TModule::AddModuleHandler(TRef<IOTANotifier> Handler) {
    if (!Handler)
        return;
    std::scoped_lock Lock(FLock);
    FHandlers.push_back(std::move(Handler));
}

void TModule::RemoveModuleHandler(const TRef<IOTANotifier>& Handler) {
    TRef<IOTANotifier> Released; // freed after the lock: its destructor may call back
    std::scoped_lock Lock(FLock);
    auto It = std::find(FHandlers.begin(), FHandlers.end(), Handler);
    if (It == FHandlers.end())
        return;
    Released = std::move(*It);
    FHandlers.erase(It);
}

TRef<IInterface> TModule::QueryInterface(const std::type_info& Type) {
    std::vector<TRef<IOTANotifier>> Handlers;
    {
        std::scoped_lock Lock(FLock);
        Handlers = FHandlers;
    }
    for (const auto& Handler : Handlers)
        if (auto Provider = std::dynamic_pointer_cast<IInterfaceProvider>(Handler))
            if (auto Found = Provider->QueryInterface(Type))
                return Found;
    return nullptr;
}

TRef<IToDoUpdater> TModule::QueryToDoUpdater() {
    if (auto Updater =
            std::dynamic_pointer_cast<IToDoUpdater>(QueryInterface(typeid(IToDoUpdater))))
        return Updater;
    return SourceUpdaterOf(GetFileName());
}

TRef<IToDoUpdater> SourceUpdaterOf(const std::string& FileName) {
    // A new updater per query: it finds the module again by name on each use, so nothing here
    // keeps a handler (or a module) alive after the caller drops it.
    if (LanguageOfFile(FileName) == TLanguage::Pascal)
        return std::make_shared<TSourceUpdater>(FileName, TLanguage::Pascal);
    auto GetHandler = GetCFileHandlerProc;
    if (!GetHandler)
        return nullptr;
    const TCFileHandlerClass* Class = GetHandler(FileName);
    if (!Class)
        return nullptr;
    return std::dynamic_pointer_cast<IToDoUpdater>(Class->Create(FileName));
}

TResult<std::shared_ptr<TModule>> TModule::Load(const std::string& FileName, bool Existing,
                                                const TFactory& Make) {
    std::string Name = NormalizeFileName(FileName);
    if (Name.empty())
        return TStatus::Error("cannot read an empty file name");
    if (auto Module = FindDocModule(Name))
        return Module;
    // Read without the table lock; two threads opening the same file both read it, and the
    // first to insert wins.
    TDiskStamp Stamp;
    std::string Text;
    const bool New = !Existing && !FileExists(Name);
    if (!New) {
        auto Read = TEditBuffer::ReadFile(Name, &Stamp);
        if (!Read)
            return Read.Status();
        Text = std::move(Read.Value());
    }
    auto Module = Make(Name, std::make_shared<TEditBuffer>(Name, std::move(Text), Stamp));
    Module->FNew = New; // not shared yet: no lock needed
    return RegisterModule(std::move(Module));
}

TResult<std::shared_ptr<TModule>> TModule::Create(const TRef<ISourceCreator>& Creator,
                                                  const std::shared_ptr<TModule>& Owner,
                                                  const TFactory& Make) {
    auto Source = Creator ? Creator->GetSource() : nullptr;
    if (!Source)
        return TStatus::Error("the creator supplies no source");
    const std::string Name = NormalizeFileName(Source->GetFileName());
    if (Name.empty())
        return TStatus::Error("the creator names no file");
    auto Module = FindDocModule(Name);
    if (!Module) {
        // A file that exists already is the user's: it is loaded, never overwritten. Save
        // refuses too if the file appears between this test and the write with other bytes.
        if (FileExists(Name)) {
            auto Loaded = Load(Name, true, Make);
            if (!Loaded)
                return Loaded.Status();
            Module = std::move(Loaded.Value());
        } else {
            auto Buffer = std::make_shared<TEditBuffer>(Name, Source->GetSource(), TDiskStamp{});
            if (TStatus S = Buffer->Save(); !S)
                return S;
            Module = RegisterModule(Make(Name, std::move(Buffer)));
        }
    }
    Module->AddOwner(Owner);
    if (Creator->GetIncludeInProject())
        if (auto Project = MainProjectGroup().ActiveProject(); Project && !Project->Contains(Name))
            Project->AddFile(Name);
    if (Creator->GetShowSource())
        if (TStatus S = CallDefaultOpenProc(Name, true); !S)
            return S;
    return Module;
}

namespace {

/// True for an absolute name that lexically_normal would return unchanged: no empty, "." or
/// ".." component and no trailing slash. Most names the host sees are like that already, and
/// this test is far cheaper than splitting the path into components.
bool IsNormalAbsolute(std::string_view Name) {
    if (Name.size() < 2 || Name.front() != '/' || Name.back() == '/')
        return false;
    for (size_t I = 0; I < Name.size(); ++I) {
        if (Name[I] != '/')
            continue;
        std::string_view Rest = Name.substr(I + 1);
        if (Rest.empty() || Rest.front() == '/' || Rest == "." || Rest.starts_with("./") ||
            Rest == ".." || Rest.starts_with("../"))
            return false;
    }
    return true;
}

} // namespace

std::string NormalizeFileName(const std::string& FileName) {
    if (FileName.empty())
        return {};
    if (IsNormalAbsolute(FileName))
        return FileName;
    std::error_code Ec;
    std::filesystem::path Absolute = std::filesystem::absolute(FileName, Ec);
    if (Ec)
        Absolute = FileName;
    return Absolute.lexically_normal().string();
}

std::shared_ptr<TModule> FindDocModule(const std::string& FileName) {
    std::string Name = NormalizeFileName(FileName);
    auto& T = Table();
    std::scoped_lock Lock(T.Lock);
    auto It = T.Modules.find(Name);
    return It == T.Modules.end() ? nullptr : It->second;
}

std::vector<std::shared_ptr<TModule>> LoadedModules() {
    std::vector<std::shared_ptr<TModule>> Modules;
    auto& T = Table();
    std::scoped_lock Lock(T.Lock);
    Modules.reserve(T.Modules.size());
    for (const auto& [Name, Module] : T.Modules)
        Modules.push_back(Module);
    return Modules;
}

TResult<std::shared_ptr<TModule>> OpenModule(const std::string& FileName) {
    return TModule::Load(FileName, true, MakePlainModule);
}

void CloseModule(const std::string& FileName) {
    std::string Name = NormalizeFileName(FileName);
    std::shared_ptr<TModule> Closed; // released after the lock: it may be the last reference
    std::shared_ptr<TModule> Viewed;
    bool Deactivated = false;
    {
        auto& T = Table();
        std::scoped_lock Lock(T.Lock);
        auto It = T.Modules.find(Name);
        if (It == T.Modules.end())
            return;
        Closed = std::move(It->second);
        T.Modules.erase(It);
        if (T.Active == Closed) {
            T.Active.reset();
            Deactivated = true;
        }
        // Someone may still hold the module; it no longer stands for an open editor. Done
        // under the table lock so that a concurrent CallDefaultOpenProc cannot see it half
        // closed.
        if (Closed->HasView())
            Viewed = Closed;
        Closed->SetHasView(false);
    }
    RaiseViewRemoved(Viewed, Deactivated);
}

std::shared_ptr<TModule> ActiveModule() {
    auto& T = Table();
    std::scoped_lock Lock(T.Lock);
    return T.Active;
}

void SetActiveModule(std::shared_ptr<TModule> Module) {
    std::shared_ptr<TModule> Old; // released after the lock
    {
        auto& T = Table();
        std::scoped_lock Lock(T.Lock);
        if (T.Active == Module)
            return;
        Old = std::exchange(T.Active, Module);
    }
    EvModuleActivated().Raise(Module.get());
}

std::shared_ptr<TEditBuffer> FindEditBuffer(const std::string& FileName) {
    auto Module = FindDocModule(FileName);
    if (!Module || !Module->HasView())
        return nullptr;
    return Module->GetBuffer();
}

TStatus CallDefaultOpenProc(const std::string& FileName, bool Show) {
    auto Opened = OpenModule(FileName);
    if (!Opened)
        return Opened.Status();
    // Another thread may have closed the module since OpenModule returned it; the view then
    // goes to the module that is in the table now, putting ours back when there is none, so
    // that the active module is always one the table holds.
    auto Module = Opened.Value();
    std::shared_ptr<TModule> Viewed, Activated;
    {
        auto& T = Table();
        std::scoped_lock Lock(T.Lock);
        auto& Entry = T.Modules[Module->GetFileName()];
        if (!Entry)
            Entry = Module;
        if (!Entry->HasView()) {
            Entry->SetHasView(true);
            Viewed = Entry;
        }
        if (Show && T.Active != Entry) {
            T.Active = Entry;
            Activated = Entry;
        }
    }
    if (Viewed) {
        // Nothing watches a file outside the project's folders, and a watcher may have lost
        // events: an editor must not open on bytes the file no longer holds. A file deleted
        // since keeps its text; unsaved changes are never dropped here.
        const std::string Name = Viewed->GetFileName();
        const auto& Buffer = Viewed->GetBuffer();
        if (!Viewed->GetModified() && !Buffer->GetModified() && Buffer->ChangedOnDisk() &&
            FileExists(Name) && Buffer->Reload())
            NotifyModuleModified(Name);
        TEditView View(Viewed);
        EvViewNotification().Raise(&View, voInsert);
    }
    if (Activated)
        EvModuleActivated().Raise(Activated.get());
    return {};
}

void CloseEditorView(const std::string& FileName) {
    std::string Name = NormalizeFileName(FileName);
    std::shared_ptr<TModule> Viewed;
    bool Deactivated = false;
    {
        auto& T = Table();
        std::scoped_lock Lock(T.Lock);
        auto It = T.Modules.find(Name);
        if (It == T.Modules.end())
            return;
        if (It->second->HasView())
            Viewed = It->second;
        It->second->SetHasView(false);
        if (T.Active == It->second) {
            T.Active.reset();
            Deactivated = true;
        }
    }
    RaiseViewRemoved(Viewed, Deactivated);
}

bool FileExists(const std::string& FileName) {
    std::error_code Ec;
    return !FileName.empty() && std::filesystem::is_regular_file(FileName, Ec);
}
