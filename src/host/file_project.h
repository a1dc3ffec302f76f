#pragma once

#include "host/project.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

/// A project held in memory: a project file name and the project's files in project order.
/// Thread-safe: every operation takes the project's one lock, and the changing operations raise
/// their event after releasing it, so a handler may call back into the project. Lock order: the
/// project's lock, then an entry's own lock (never the other way round).
///
/// Contains and FindFileEntry are O(1) through a hash index by name. An entry renamed through
/// TCustomFileEntry::SetFileName (not through RenameFile) is still found by its new name: the
/// index is rebuilt, once, on the next lookup after such a rename.
class TProject : public IProject {
public:
    /// A project for ProjectFileName listing Files in the given order. Names are made absolute
    /// and normal; empty names and repeats are dropped.
    static std::shared_ptr<TProject> Create(const std::string& ProjectFileName,
                                            const std::vector<std::string>& Files);

    std::string GetFileName() override;
    std::string GetName() override;
    bool Contains(const std::string& FileName) override;
    std::shared_ptr<TCustomFileEntry> FindFileEntry(const std::string& FileName) override;
    std::vector<std::shared_ptr<TCustomFileEntry>> GetUsesList() override;
    /// Made with the project and not registered in the host's module table. Rename replaces it
    /// by a module of the new name that keeps the modified flag.
    std::shared_ptr<TModule> GetProjectModule() override;
    bool GetModified() override;
    void SetModified(bool Value) override;

    /// Appends FileName to the project; nothing (no event) for an empty name or one present.
    void AddFile(const std::string& FileName) override;
    /// Nothing (no event) when FileName is not in the project.
    void RemoveFile(const std::string& FileName) override;
    /// The entry of OldName takes NewName and keeps its place. Nothing when OldName is absent
    /// or both name the same file. When NewName is in the project already, the renamed file
    /// took its place on disk: OldName's entry is dropped and EvProjectModuleRemoved(OldName)
    /// is raised instead.
    void RenameFile(const std::string& OldName, const std::string& NewName) override;
    /// Nothing (no event) when NewFileName names the project file already or is empty.
    void Rename(const std::string& NewFileName) override;

    /// The number of files of the project.
    size_t FileCount();

private:
    TProject(std::string ProjectFileName, const std::vector<std::string>& Files);

    /// The entry of the normal name Name, or null. Caller holds FLock.
    std::shared_ptr<TCustomFileEntry> FindLocked(const std::string& Name);
    /// Rebuilds FIndex from the entries' current names. Caller holds FLock.
    void ReindexLocked();
    /// Removes Entry from the list and the index. Caller holds FLock.
    void EraseLocked(const std::shared_ptr<TCustomFileEntry>& Entry);

    std::mutex FLock; // guards every field below
    std::string FFileName;
    std::string FName;
    std::shared_ptr<TModule> FModule;
    std::vector<std::shared_ptr<TCustomFileEntry>> FEntries;                   // project order
    std::unordered_map<std::string, std::shared_ptr<TCustomFileEntry>> FIndex; // by normal name
    /// TCustomFileEntry::RenameCount() when FIndex was last known to match the entries' names.
    std::uint64_t FIndexedRenames = 0;
};
