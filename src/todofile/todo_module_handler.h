#pragma once

#include "host/imodule.h"
#include "host/module.h"
#include "host/module_handlers.h"
#include "host/tools_api.h"

#include <memory>

/// The handler attached to every .todo module: it holds the module's updater (made by the
/// create-updaters object that handles the file) and lends it to interface queries on the
/// module, so that TModule::QueryToDoUpdater finds the same updater every time.
class TTodoCodeMgrModHandler : public IOTANotifier,
                               public IInterfaceProvider,
                               public std::enable_shared_from_this<TTodoCodeMgrModHandler> {
public:
    /// Makes the handler of Module and attaches it (the module holds it from then on). Its
    /// updater comes from FindCreateUpdaters(Module's file name); none when nothing handles the
    /// name, and then every query through the handler fails.
    static std::shared_ptr<TTodoCodeMgrModHandler> Create(TModule& Module);

    /// Under the module's critical section: the updater's answer, else the handler's own
    /// (IOTANotifier, IInterfaceProvider). A query that re-enters while one is being answered
    /// (the updater asking the module again) gets null instead of recursing.
    TRef<IInterface> QueryInterface(const std::type_info& Type) override;

    /// The updater, null when none was made.
    const TRef<IModuleUpdater>& GetUpdater() const { return FUpdater; }

private:
    explicit TTodoCodeMgrModHandler(TModule& Module) : FModule(&Module) {}

    TRef<IModuleUpdater> FUpdater; ///< set before the handler is attached, then constant
    TModule* FModule;              ///< not owned: the module holds this handler
    bool FInQuery = false;         ///< read and written under the module's critical section
};

/// The gauntlet member that gives every .todo module the handler above.
class TTodoGauntletHandler : public TModuleHandlerGauntletMember {
public:
    /// Attaches a TTodoCodeMgrModHandler when Module's file is a to-do file (".todo" in any
    /// letter case); nothing otherwise.
    void HandleModule(TModule& Module) override;
};
