#pragma once

#include <memory>
#include <mutex>
#include <string>

/// A project of the host: a project file and the files that belong to it.
class IProject {
public:
    virtual ~IProject() = default;
    virtual std::string GetFileName() = 0;
    /// The project's name (the project file's name without folder and extension).
    virtual std::string GetName() = 0;
    /// True when FileName is one of the project's files (compared as file names).
    virtual bool Contains(const std::string& FileName) = 0;
};

/// The host's project group: holds at most one active project. Thread-safe: the parse thread
/// reads the active project while the main thread sets it.
class TProjectGroup {
public:
    std::shared_ptr<IProject> ActiveProject() const;
    void SetActiveProject(std::shared_ptr<IProject> Project);

private:
    mutable std::mutex FLock; // guards FActive
    std::shared_ptr<IProject> FActive;
};

/// The host's main project group (never null).
TProjectGroup& MainProjectGroup();
