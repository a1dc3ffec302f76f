#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

class TModule;

/// One member of the chain the host runs over every module it creates, through which packages
/// attach module handlers to the modules they care about.
class TModuleHandlerGauntletMember {
public:
    virtual ~TModuleHandlerGauntletMember() = default;
    /// Called once for each module the host creates (OpenModule, TModule::Load, TModule::Create),
    /// after the module is in the host's table and without host locks held. May attach handlers
    /// (TModule::AddModuleHandler) and call back into the host.
    virtual void HandleModule(TModule& Module) = 0;
};

/// The host's module-handler gauntlet. Thread-safe.
class TModuleHandlerGauntlet {
public:
    /// Appends Member (nothing for null or a member already present).
    void Add(std::shared_ptr<TModuleHandlerGauntletMember> Member);
    /// Removes Member (nothing when absent). A run already under way may still call it.
    void Remove(const std::shared_ptr<TModuleHandlerGauntletMember>& Member);
    int GetCount() const;
    /// Calls every member on Module in the order they were added, without the gauntlet's lock.
    void Run(TModule& Module) const;

private:
    mutable std::mutex FLock; // guards FMembers
    std::vector<std::shared_ptr<TModuleHandlerGauntletMember>> FMembers;
};

/// The host's one gauntlet.
TModuleHandlerGauntlet& ModuleHandlerGauntlet();
