#include "items/source_todo_manager.h"

#include "host/errors.h"
#include "host/module.h"
#include "host/parse_thread.h"
#include "host/project.h"
#include "host/todo_intf.h"
#include "host/utf8.h"

#include <cwctype>
#include <utility>

std::function<void(const TRef<IToDoManager>& Manager)> DeleteToDoManagerProc;
std::function<void(TRef<ISourceToDoManager> Manager)> SetProjectManagerProc;

bool SameFileNameText(std::string_view A, std::string_view B) {
    if (A == B)
        return true;
    const std::wstring WA = Utf8ToWide(A);
    const std::wstring WB = Utf8ToWide(B);
    if (WA.size() != WB.size())
        return false;
    for (size_t I = 0; I < WA.size(); ++I)
        if (std::towlower(static_cast<wint_t>(WA[I])) != std::towlower(static_cast<wint_t>(WB[I])))
            return false;
    return true;
}

TSourceToDoManager::TSourceToDoManager(std::string FileName, std::string SourceFileName)
    : FFileName(std::move(FileName)), FSourceFileName(std::move(SourceFileName)) {
    if (FSourceFileName.empty())
        FSourceFileName = FFileName;
}

std::shared_ptr<TSourceToDoManager> TSourceToDoManager::Create(std::string FileName,
                                                               std::string SourceFileName) {
    return std::make_shared<TSourceToDoManager>(std::move(FileName), std::move(SourceFileName));
}

std::shared_ptr<TSourceToDoItem> TSourceToDoManager::CreateItem(std::string S, int Pos,
                                                                const TToDoCommentFields& Fields) {
    return std::make_shared<TSourceToDoItem>(weak_from_this(), std::move(S), Pos, Fields);
}

std::string TSourceToDoManager::GetFileName() const {
    std::scoped_lock Lock(FLock);
    return FFileName;
}

std::string TSourceToDoManager::GetSourceFileName() const {
    std::scoped_lock Lock(FLock);
    return FSourceFileName;
}

bool TSourceToDoManager::GetIsParsed() {
    return FParsed.load();
}

void TSourceToDoManager::MarkChanged() {
    // Under the lock, so that a Parse finishing at the same time cannot set the flag back.
    std::scoped_lock Lock(FLock);
    ++FChangeCount;
    FParsed = false;
}

void TSourceToDoManager::SetIsParsed(bool Value) {
    if (Value) {
        FParsed = true;
        return;
    }
    MarkChanged();
    if (IParseThread* Thread = ParseThread())
        Thread->Modified();
}

bool TSourceToDoManager::IsManager(const std::string& FileName) {
    std::scoped_lock Lock(FLock);
    return SameFileNameText(FileName, FFileName) || SameFileNameText(FileName, FSourceFileName);
}

void TSourceToDoManager::Rename(const std::string& OldName, const std::string& NewName) {
    bool Changed = false;
    {
        std::scoped_lock Lock(FLock);
        for (std::string* Name : {&FFileName, &FSourceFileName})
            if (*Name == OldName && *Name != NewName) {
                *Name = NewName;
                Changed = true;
            }
    }
    if (Changed)
        if (IParseThread* Thread = ParseThread())
            Thread->Modified();
}

TRef<INTAToDoItem> TSourceToDoManager::GetItem(int Index) {
    std::scoped_lock Lock(FLock);
    if (Index < 0 || static_cast<size_t>(Index) >= FItems.size())
        throw EListError(Index);
    return FItems[static_cast<size_t>(Index)];
}

int TSourceToDoManager::GetItemCount() {
    std::scoped_lock Lock(FLock);
    return static_cast<int>(FItems.size());
}

bool TSourceToDoManager::HasView() {
    auto Module = FindDocModule(GetFileName());
    return Module && Module->HasView();
}

bool TSourceToDoManager::InProject() {
    auto Project = MainProjectGroup().ActiveProject();
    return Project && Project->Contains(GetFileName());
}

TRef<IToDoUpdater> TSourceToDoManager::GetUpdater() {
    std::string FileName, SourceFileName;
    {
        std::scoped_lock Lock(FLock);
        if (FUpdater)
            return FUpdater;
        FileName = FFileName;
        SourceFileName = FSourceFileName;
    }
    // Asked without the lock: the host and a handler class may take locks of their own.
    TRef<IToDoUpdater> Found;
    if (auto Module = FindDocModule(SourceFileName)) {
        Found = Module->QueryToDoUpdater();
    } else {
        Found = SourceUpdaterOf(FileName); // a unit of the project that is not loaded
    }
    std::scoped_lock Lock(FLock);
    if (!FUpdater) // another thread may have found one meanwhile; the first stays
        FUpdater = std::move(Found);
    return FUpdater;
}

void TSourceToDoManager::SetUpdater(TRef<IToDoUpdater> Updater) {
    {
        std::scoped_lock Lock(FLock);
        FUpdater.swap(Updater);
    }
    // The old updater is released here, outside the lock.
}

TStatus TSourceToDoManager::AddItem(int /*Pos*/, const std::string& /*Text*/) {
    return {};
}

TStatus TSourceToDoManager::NoUpdater() const {
    return TStatus::Error(GetSourceFileName() +
                          " has no updater; its to-do items cannot be changed");
}

TStatus TSourceToDoManager::Delete(int StartPos, int EndPos, int Section) {
    auto Updater = GetUpdater();
    if (!Updater)
        return NoUpdater();
    TStatus S = Updater->DeleteText(StartPos - 1, EndPos - 1, Section);
    if (S)
        MarkChanged(); // the editor reports the change to the parse thread itself
    return S;
}

TStatus TSourceToDoManager::Add(int Pos, std::string_view Text, int Section) {
    auto Updater = GetUpdater();
    if (!Updater)
        return NoUpdater();
    TStatus S = Updater->AddText(Pos - 1, Text, Section);
    if (S)
        MarkChanged();
    return S;
}

void TSourceToDoManager::ProjectChanged() {
    if ((HasView() || InProject()) && MainProjectGroup().ActiveProject())
        return;
    auto Self = weak_from_this().lock();
    if (Self && DeleteToDoManagerProc)
        DeleteToDoManagerProc(Self);
}

void TSourceToDoManager::Parse() {
    std::scoped_lock ParseLock(FParseLock);
    ++FParseSerial; // items of earlier parses are out of date from here on
    std::vector<TRef<INTAToDoItem>> Old;
    {
        std::scoped_lock Lock(FLock);
        Old.swap(FItems);
    }
    Old.clear(); // released outside the lock
    TRef<IToDoUpdater> Updater = GetUpdater();
    if (!Updater)
        return;
    const unsigned Changes = FChangeCount.load();
    FParsing.clear();
    Updater->ParseItems([this](std::string_view S, int Pos) { ParseComment(S, Pos); });
    bool Current;
    {
        std::scoped_lock Lock(FLock);
        FItems.swap(FParsing);
        // A rewrite that landed while the updater was enumerating may be missing from these
        // items; the flag then stays false and the parse thread is asked for another pass.
        Current = FChangeCount.load() == Changes;
        if (Current)
            FParsed = true;
    }
    FParsing.clear();
    if (!Current)
        if (IParseThread* Thread = ParseThread())
            Thread->Modified();
}

void TSourceToDoManager::ParseComment(std::string_view S, int Pos) {
    if (auto Fields = ParseToDoComment(S))
        FParsing.push_back(CreateItem(std::string(S), Pos, *Fields));
}
