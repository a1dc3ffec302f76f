#include "host/file_project.h"

#include "host/edit_buffer.h"
#include "host/events.h"
#include "host/module.h"

#include <algorithm>
#include <filesystem>
#include <utility>

namespace {

std::string NameOfProjectFile(const std::string& FileName) {
    return std::filesystem::path(FileName).stem().string();
}

std::shared_ptr<TModule> MakeProjectModule(const std::string& FileName) {
    return std::make_shared<TModule>(FileName,
                                     std::make_shared<TEditBuffer>(FileName, "", TDiskStamp{}));
}

} // namespace

std::shared_ptr<TProject> TProject::Create(const std::string& ProjectFileName,
                                           const std::vector<std::string>& Files) {
    return std::shared_ptr<TProject>(new TProject(NormalizeFileName(ProjectFileName), Files));
}

TProject::TProject(std::string ProjectFileName, const std::vector<std::string>& Files)
    : FFileName(std::move(ProjectFileName)), FName(NameOfProjectFile(FFileName)),
      FModule(MakeProjectModule(FFileName)), FIndexedRenames(TCustomFileEntry::RenameCount()) {
    FEntries.reserve(Files.size());
    FIndex.reserve(Files.size());
    for (const auto& File : Files) {
        std::string Name = NormalizeFileName(File);
        if (Name.empty() || FIndex.contains(Name))
            continue;
        auto Entry = std::make_shared<TCustomFileEntry>(Name);
        FIndex.emplace(std::move(Name), Entry);
        FEntries.push_back(std::move(Entry));
    }
}

std::string TProject::GetFileName() {
    std::scoped_lock Lock(FLock);
    return FFileName;
}

std::string TProject::GetName() {
    std::scoped_lock Lock(FLock);
    return FName;
}

bool TProject::Contains(const std::string& FileName) {
    return FindFileEntry(FileName) != nullptr;
}

std::shared_ptr<TCustomFileEntry> TProject::FindFileEntry(const std::string& FileName) {
    std::string Name = NormalizeFileName(FileName);
    std::scoped_lock Lock(FLock);
    return FindLocked(Name);
}

std::shared_ptr<TCustomFileEntry> TProject::FindLocked(const std::string& Name) {
    if (Name.empty())
        return nullptr;
    auto It = FIndex.find(Name);
    if (It != FIndex.end() && It->second->GetFileName() == Name)
        return It->second;
    // A miss (or a stale hit) is final unless some entry was renamed behind the index's back.
    if (TCustomFileEntry::RenameCount() == FIndexedRenames)
        return nullptr;
    ReindexLocked();
    It = FIndex.find(Name);
    return It == FIndex.end() ? nullptr : It->second;
}

void TProject::ReindexLocked() {
    // Read the count first: a rename finishing during the rebuild then leaves the count ahead
    // of FIndexedRenames, and the next miss rebuilds again.
    FIndexedRenames = TCustomFileEntry::RenameCount();
    FIndex.clear();
    for (const auto& Entry : FEntries)
        FIndex.try_emplace(NormalizeFileName(Entry->GetFileName()), Entry);
}

void TProject::EraseLocked(const std::shared_ptr<TCustomFileEntry>& Entry) {
    std::erase(FEntries, Entry);
    auto It = FIndex.find(NormalizeFileName(Entry->GetFileName()));
    if (It != FIndex.end() && It->second == Entry)
        FIndex.erase(It);
    else // indexed under a name it no longer has
        std::erase_if(FIndex, [&](const auto& Pair) { return Pair.second == Entry; });
}

std::vector<std::shared_ptr<TCustomFileEntry>> TProject::GetUsesList() {
    std::scoped_lock Lock(FLock);
    return FEntries;
}

std::shared_ptr<TModule> TProject::GetProjectModule() {
    std::scoped_lock Lock(FLock);
    return FModule;
}

bool TProject::GetModified() {
    return GetProjectModule()->GetModified();
}

void TProject::SetModified(bool Value) {
    GetProjectModule()->SetModified(Value);
}

size_t TProject::FileCount() {
    std::scoped_lock Lock(FLock);
    return FEntries.size();
}

void TProject::AddFile(const std::string& FileName) {
    std::string Name = NormalizeFileName(FileName);
    std::shared_ptr<TCustomFileEntry> Entry;
    {
        std::scoped_lock Lock(FLock);
        if (Name.empty() || FindLocked(Name))
            return;
        Entry = std::make_shared<TCustomFileEntry>(Name);
        FEntries.push_back(Entry);
        FIndex.insert_or_assign(std::move(Name), Entry);
    }
    EvProjectModuleAdded().Raise(*this, *Entry);
}

void TProject::RemoveFile(const std::string& FileName) {
    std::string Name = NormalizeFileName(FileName);
    {
        std::scoped_lock Lock(FLock);
        auto Entry = FindLocked(Name);
        if (!Entry)
            return;
        EraseLocked(Entry);
    }
    EvProjectModuleRemoved().Raise(*this, Name);
}

void TProject::RenameFile(const std::string& OldName, const std::string& NewName) {
    std::string Old = NormalizeFileName(OldName), New = NormalizeFileName(NewName);
    bool Replaced = false;
    {
        std::scoped_lock Lock(FLock);
        auto Entry = FindLocked(Old);
        if (!Entry || New.empty() || New == Old)
            return;
        if (FindLocked(New)) {
            EraseLocked(Entry);
            Replaced = true;
        } else {
            FIndex.erase(Old);
            Entry->SetFileName(New);
            FIndex.insert_or_assign(New, Entry);
        }
    }
    if (Replaced)
        EvProjectModuleRemoved().Raise(*this, Old);
    else
        EvProjectModuleRenamed().Raise(*this, Old, New);
}

void TProject::Rename(const std::string& NewFileName) {
    std::string New = NormalizeFileName(NewFileName), Old;
    std::shared_ptr<TModule> OldModule; // released outside the lock
    {
        std::scoped_lock Lock(FLock);
        if (New.empty() || New == FFileName)
            return;
        Old = std::exchange(FFileName, New);
        FName = NameOfProjectFile(New);
        // TModule's name is fixed, so the project module is replaced; the flag carries over.
        OldModule = std::exchange(FModule, MakeProjectModule(New));
        FModule->SetModified(OldModule->GetModified());
    }
    EvProjectRenamed().Raise(*this, Old, New);
}
