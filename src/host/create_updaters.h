#pragma once

#include "host/imodule.h"

#include <string>

/// Makes the updaters of the modules whose files it handles; a language package registers one
/// with the host (RegisterCreateUpdaters).
class ICreateUpdaters : public virtual IInterface {
public:
    /// A new updater working on Module, or null.
    virtual TRef<IModuleUpdater> CreateModuleUpdater(const TRef<IModule>& Module) = 0;
    /// True when this object makes updaters for FileName (decided from the name alone).
    virtual bool CanHandleFile(const std::string& FileName) = 0;
};

/// Base with the host's default answers: no updater, no file handled.
class TBaseCreateUpdaters : public ICreateUpdaters {
public:
    TRef<IModuleUpdater> CreateModuleUpdater(const TRef<IModule>& Module) override;
    bool CanHandleFile(const std::string& FileName) override;
};

/// Adds Creator to the host's registry (nothing for null or one already registered). The
/// registry holds it until it is unregistered. Thread-safe, like the two below.
void RegisterCreateUpdaters(TRef<ICreateUpdaters> Creator);
/// Removes Creator (nothing when it is not registered).
void UnRegisterCreateUpdaters(const TRef<ICreateUpdaters>& Creator);
/// The registered object that handles FileName, the most recently registered first (so a
/// package can take a file type over from an earlier one), or null. Asked without the
/// registry's lock.
TRef<ICreateUpdaters> FindCreateUpdaters(const std::string& FileName);
