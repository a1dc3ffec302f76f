#include "host/containers.h"

#include "host/module.h"
#include "host/project.h"

#include <algorithm>

void TContainerManager::RegisterItemContainerCreator(TRef<IContainerCreator> Creator) {
    std::scoped_lock Lock(FLock);
    if (Creator && std::find(FCreators.begin(), FCreators.end(), Creator) == FCreators.end())
        FCreators.push_back(std::move(Creator));
}

void TContainerManager::UnregisterItemContainerCreator(const TRef<IContainerCreator>& Creator) {
    TRef<IContainerCreator> Released; // freed after the lock
    std::scoped_lock Lock(FLock);
    auto It = std::find(FCreators.begin(), FCreators.end(), Creator);
    if (It == FCreators.end())
        return;
    Released = std::move(*It);
    FCreators.erase(It);
}

TRef<IContainerCreator> TContainerManager::FindContainerCreator(const std::string& FileName) const {
    std::vector<TRef<IContainerCreator>> Creators;
    {
        std::scoped_lock Lock(FLock);
        Creators = FCreators;
    }
    for (const auto& Creator : Creators)
        if (Creator->CanHandle(FileName))
            return Creator;
    return nullptr;
}

TContainerManager& ContainerManager() {
    static TContainerManager Manager;
    return Manager;
}

void RenameProject(IProject& Project, const std::string& NewFileName) {
    Project.Rename(NewFileName);
    // A project may stand for its new name with a new project module; the loaded modules of
    // its files belong to that one from now on.
    const auto Owner = Project.GetProjectModule();
    for (const auto& Entry : Project.GetUsesList()) {
        if (auto Rename = std::dynamic_pointer_cast<IContainerRename>(
                ContainerManager().FindContainerCreator(Entry->GetFileName())))
            Rename->RenameFile(*Entry, NewFileName);
        if (auto Module = FindDocModule(Entry->GetFileName()))
            Module->AddOwner(Owner);
    }
}
