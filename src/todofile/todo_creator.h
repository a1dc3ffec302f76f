#pragma once

#include "host/containers.h"

/// The container creator of .todo files: a to-do file is a leaf of the project tree named
/// "ToDo", and it follows its project's renames. Stateless, so thread-safe.
class TToDoCreator : public IContainerCreator, public IContainerRename {
public:
    /// Container becomes null; with a null Entry HasChildren becomes false too.
    void GetContainer(IProject& Project, const std::shared_ptr<TCustomFileEntry>& Entry,
                      bool& HasChildren, TRef<IInterface>& Container) override;
    /// True for a name whose extension is ".todo" in any letter case.
    bool CanHandle(const std::string& FileName) override;
    /// Appends ".todo" and returns its index.
    int AddExtensions(std::vector<std::string>& Extensions) override;
    /// "ToDo".
    std::string GetName() override;
    /// Gives Entry the name NewProjectFileName with the extension ".todo". A loaded module of
    /// the old name is renamed with it (TModule::Rename; the next save writes the new file);
    /// else the file on disk is renamed, unless a file of the new name exists (it is never
    /// replaced). Failures of either are not reported. Always true.
    bool RenameFile(TCustomFileEntry& Entry, const std::string& NewProjectFileName) override;
};
