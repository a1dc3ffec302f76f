#include "host/module_handlers.h"

#include <algorithm>

void TModuleHandlerGauntlet::Add(std::shared_ptr<TModuleHandlerGauntletMember> Member) {
    std::scoped_lock Lock(FLock);
    if (Member && std::find(FMembers.begin(), FMembers.end(), Member) == FMembers.end())
        FMembers.push_back(std::move(Member));
}

void TModuleHandlerGauntlet::Remove(const std::shared_ptr<TModuleHandlerGauntletMember>& Member) {
    std::shared_ptr<TModuleHandlerGauntletMember> Released; // freed after the lock
    std::scoped_lock Lock(FLock);
    auto It = std::find(FMembers.begin(), FMembers.end(), Member);
    if (It == FMembers.end())
        return;
    Released = std::move(*It);
    FMembers.erase(It);
}

int TModuleHandlerGauntlet::GetCount() const {
    std::scoped_lock Lock(FLock);
    return static_cast<int>(FMembers.size());
}

void TModuleHandlerGauntlet::Run(TModule& Module) const {
    std::vector<std::shared_ptr<TModuleHandlerGauntletMember>> Members;
    {
        std::scoped_lock Lock(FLock);
        Members = FMembers;
    }
    for (const auto& Member : Members)
        Member->HandleModule(Module);
}

TModuleHandlerGauntlet& ModuleHandlerGauntlet() {
    static TModuleHandlerGauntlet Gauntlet;
    return Gauntlet;
}
