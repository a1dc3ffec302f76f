#pragma once

#include "host/iinterface.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

class IProject;
class TCustomFileEntry;

/// Decides how the files of one kind show in the project tree; registered with the container
/// manager.
class IContainerCreator : public virtual IInterface {
public:
    /// The tree asks for the node below Entry of Project (Entry null: the node of the kind
    /// itself). Container receives the child container, null for a leaf; HasChildren whether
    /// the tree shows an expander (the creator may leave it as it is).
    virtual void GetContainer(IProject& Project, const std::shared_ptr<TCustomFileEntry>& Entry,
                              bool& HasChildren, TRef<IInterface>& Container) = 0;
    /// True when this creator handles FileName (decided from the name alone).
    virtual bool CanHandle(const std::string& FileName) = 0;
    /// Appends the extensions it handles (".ext") to Extensions and returns the index of the
    /// last one appended.
    virtual int AddExtensions(std::vector<std::string>& Extensions) = 0;
    /// The kind's name in the tree.
    virtual std::string GetName() = 0;
};

/// Offered by a container creator whose files follow their project's renames.
class IContainerRename : public virtual IInterface {
public:
    /// The project was renamed to NewProjectFileName: give Entry (a file this creator handles)
    /// the name that goes with it, moving the module or the file along. True when handled.
    virtual bool RenameFile(TCustomFileEntry& Entry, const std::string& NewProjectFileName) = 0;
};

/// The host's registry of container creators. Thread-safe.
class TContainerManager {
public:
    /// Adds Creator (nothing for null or one already registered); held until unregistered.
    void RegisterItemContainerCreator(TRef<IContainerCreator> Creator);
    /// Removes Creator (nothing when it is not registered).
    void UnregisterItemContainerCreator(const TRef<IContainerCreator>& Creator);
    /// The first registered creator that handles FileName, or null. Asked without the lock.
    TRef<IContainerCreator> FindContainerCreator(const std::string& FileName) const;

private:
    mutable std::mutex FLock; // guards FCreators
    std::vector<TRef<IContainerCreator>> FCreators;
};

/// The host's one container manager.
TContainerManager& ContainerManager();

/// Renames Project (IProject::Rename, which raises EvProjectRenamed), then lets every file of
/// the project (GetUsesList) whose container creator offers IContainerRename follow the new
/// project file name, and makes the project's module (which the rename may have replaced) an
/// owner of each loaded module of its files. Main thread; no lock is held while the project
/// or a creator is called.
void RenameProject(IProject& Project, const std::string& NewFileName);
