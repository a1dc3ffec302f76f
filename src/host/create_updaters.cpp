#include "host/create_updaters.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace {

std::mutex RegistryLock; // guards Registry
std::vector<TRef<ICreateUpdaters>> Registry;

} // namespace

TRef<IModuleUpdater> TBaseCreateUpdaters::CreateModuleUpdater(const TRef<IModule>& /*Module*/) {
    return nullptr;
}

bool TBaseCreateUpdaters::CanHandleFile(const std::string& /*FileName*/) {
    return false;
}

void RegisterCreateUpdaters(TRef<ICreateUpdaters> Creator) {
    std::scoped_lock Lock(RegistryLock);
    if (Creator && std::find(Registry.begin(), Registry.end(), Creator) == Registry.end())
        Registry.push_back(std::move(Creator));
}

void UnRegisterCreateUpdaters(const TRef<ICreateUpdaters>& Creator) {
    TRef<ICreateUpdaters> Released; // freed after the lock
    std::scoped_lock Lock(RegistryLock);
    auto It = std::find(Registry.begin(), Registry.end(), Creator);
    if (It == Registry.end())
        return;
    Released = std::move(*It);
    Registry.erase(It);
}

TRef<ICreateUpdaters> FindCreateUpdaters(const std::string& FileName) {
    std::vector<TRef<ICreateUpdaters>> Creators;
    {
        std::scoped_lock Lock(RegistryLock);
        Creators = Registry;
    }
    for (auto It = Creators.rbegin(); It != Creators.rend(); ++It)
        if ((*It)->CanHandleFile(FileName))
            return *It;
    return nullptr;
}
