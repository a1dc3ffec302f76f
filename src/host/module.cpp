#include "host/module.h"

#include "host/comment_syntax.h"
#include "host/source_updater.h"
#include "host/todo_intf.h"

#include <filesystem>
#include <string_view>
#include <map>
#include <mutex>
#include <utility>

namespace {

/// The loaded modules keyed by normalized file name, and the active one. Worker threads of the
/// scan open and close modules at once, so one lock guards both; it is held only to look up or
/// change the table and a module's view flag, never while a file is read. Lock order: the
/// table, then a module's own lock; nothing takes them the other way round.
struct TModuleTable {
    std::mutex Lock;
    std::map<std::string, std::shared_ptr<TModule>> Modules;
    std::shared_ptr<TModule> Active;
};

TModuleTable& Table() {
    static TModuleTable T;
    return T;
}

} // namespace

TModule::TModule(std::string FileName, std::shared_ptr<TEditBuffer> Buffer)
    : FFileName(std::move(FileName)), FBuffer(std::move(Buffer)) {}

std::string TModule::GetFileName() const {
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

bool TModule::GetModified() const {
    std::scoped_lock Lock(FLock);
    return FModified;
}

void TModule::SetModified(bool Value) {
    std::scoped_lock Lock(FLock);
    FModified = Value;
}

TRef<IToDoUpdater> TModule::QueryToDoUpdater() {
    // A new updater per query: it finds this module again by name on each use, so nothing here
    // keeps a handler (or the module) alive after the caller drops it.
    if (LanguageOfFile(FFileName) == TLanguage::Pascal)
        return std::make_shared<TSourceUpdater>(FFileName, TLanguage::Pascal);
    auto GetHandler = GetCFileHandlerProc;
    if (!GetHandler)
        return nullptr;
    const TCFileHandlerClass* Class = GetHandler(FFileName);
    if (!Class)
        return nullptr;
    return std::dynamic_pointer_cast<IToDoUpdater>(Class->Create(FFileName));
}

TStatus TModule::Save() {
    return FBuffer->Save();
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

TResult<std::shared_ptr<TModule>> OpenModule(const std::string& FileName) {
    std::string Name = NormalizeFileName(FileName);
    if (Name.empty())
        return TStatus::Error("cannot read an empty file name");
    if (auto Module = FindDocModule(Name))
        return Module;
    // Read without the table lock; two threads opening the same file both read it, and the
    // first to insert wins.
    TDiskStamp Stamp;
    auto Text = TEditBuffer::ReadFile(Name, &Stamp);
    if (!Text)
        return Text.Status();
    auto Module = std::make_shared<TModule>(
        Name, std::make_shared<TEditBuffer>(Name, std::move(Text.Value()), Stamp));
    auto& T = Table();
    std::scoped_lock Lock(T.Lock);
    return T.Modules.try_emplace(Name, std::move(Module)).first->second;
}

void CloseModule(const std::string& FileName) {
    std::string Name = NormalizeFileName(FileName);
    std::shared_ptr<TModule> Closed; // released after the lock: it may be the last reference
    auto& T = Table();
    std::scoped_lock Lock(T.Lock);
    auto It = T.Modules.find(Name);
    if (It == T.Modules.end())
        return;
    Closed = std::move(It->second);
    T.Modules.erase(It);
    if (T.Active == Closed)
        T.Active.reset();
    // Someone may still hold the module; it no longer stands for an open editor. Done under
    // the table lock so that a concurrent CallDefaultOpenProc cannot see it half closed.
    Closed->SetHasView(false);
}

std::shared_ptr<TModule> ActiveModule() {
    auto& T = Table();
    std::scoped_lock Lock(T.Lock);
    return T.Active;
}

void SetActiveModule(std::shared_ptr<TModule> Module) {
    auto& T = Table();
    std::scoped_lock Lock(T.Lock);
    T.Active = std::move(Module);
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
    auto& T = Table();
    std::scoped_lock Lock(T.Lock);
    auto& Entry = T.Modules[Module->GetFileName()];
    if (!Entry)
        Entry = Module;
    Entry->SetHasView(true);
    if (Show)
        T.Active = Entry;
    return {};
}

void CloseEditorView(const std::string& FileName) {
    std::string Name = NormalizeFileName(FileName);
    auto& T = Table();
    std::scoped_lock Lock(T.Lock);
    auto It = T.Modules.find(Name);
    if (It == T.Modules.end())
        return;
    It->second->SetHasView(false);
    if (T.Active == It->second)
        T.Active.reset();
}

bool FileExists(const std::string& FileName) {
    std::error_code Ec;
    return !FileName.empty() && std::filesystem::is_regular_file(FileName, Ec);
}
