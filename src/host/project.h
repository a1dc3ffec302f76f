#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class TModule;

/// One file of a project as the project lists it. The name can change while the entry lives
/// (a rename), so it is read and written under the entry's own lock.
class TCustomFileEntry {
public:
    explicit TCustomFileEntry(std::string FileName) : FFileName(std::move(FileName)) {}
    std::string GetFileName() const {
        std::scoped_lock Lock(FLock);
        return FFileName;
    }
    void SetFileName(std::string FileName) {
        {
            std::scoped_lock Lock(FLock);
            FFileName = std::move(FileName);
        }
        RenameCounter().fetch_add(1, std::memory_order_release);
    }
    /// How many renames any entry of this process has seen so far (counted after the new name
    /// is set). An index of entries by name compares it with the count it last indexed at to
    /// notice a rename made through an entry, without a hook on every entry.
    static std::uint64_t RenameCount() { return RenameCounter().load(std::memory_order_acquire); }

private:
    static std::atomic<std::uint64_t>& RenameCounter() {
        static std::atomic<std::uint64_t> Counter{0};
        return Counter;
    }
    mutable std::mutex FLock;
    std::string FFileName;
};

/// A project of the host: a project file and the files that belong to it. File names are
/// absolute and normal (NormalizeFileName). Changing operations run on the main thread and
/// raise the project events (host/events.h) after the change, outside any lock; the queries
/// may be called from any thread.
class IProject {
public:
    virtual ~IProject() = default;
    virtual std::string GetFileName() = 0;
    /// The project's name (the project file's name without folder and extension).
    virtual std::string GetName() = 0;
    /// True when FileName is one of the project's files (compared as file names).
    virtual bool Contains(const std::string& FileName) = 0;
    /// The entry of FileName, or null when the project has no such file.
    virtual std::shared_ptr<TCustomFileEntry> FindFileEntry(const std::string& FileName) = 0;
    /// The project's units in project order, the project's own file entries, so that a rename
    /// through one is seen by the project.
    virtual std::vector<std::shared_ptr<TCustomFileEntry>> GetUsesList() = 0;
    /// The module that stands for the project file: the owner of the modules the project
    /// creates, and the holder of the project's modified flag. Never null.
    virtual std::shared_ptr<TModule> GetProjectModule() = 0;
    /// True when a module of the project was changed since the project was last saved.
    virtual bool GetModified() = 0;
    virtual void SetModified(bool Value) = 0;

    /// Adds FileName (no-op when present) and raises EvProjectModuleAdded.
    virtual void AddFile(const std::string& FileName) = 0;
    /// Removes FileName (no-op when absent) and raises EvProjectModuleRemoved.
    virtual void RemoveFile(const std::string& FileName) = 0;
    /// Renames a file of the project and raises EvProjectModuleRenamed; the file on disk is
    /// the caller's business.
    virtual void RenameFile(const std::string& OldName, const std::string& NewName) = 0;
    /// Gives the project a new project file name (its name follows) and raises
    /// EvProjectRenamed.
    virtual void Rename(const std::string& NewFileName) = 0;
};

/// The host's project group: holds at most one active project. Thread-safe: the parse thread
/// reads the active project while the main thread sets it.
class TProjectGroup {
public:
    std::shared_ptr<IProject> ActiveProject() const;
    /// Makes Project the active one (null for none) and raises EvActiveProjectChanged, even
    /// when it was active already (a reload).
    void SetActiveProject(std::shared_ptr<IProject> Project);

private:
    mutable std::mutex FLock; // guards FActive
    std::shared_ptr<IProject> FActive;
};

/// The host's main project group (never null).
TProjectGroup& MainProjectGroup();
