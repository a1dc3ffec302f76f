#pragma once

#include "host/iinterface.h"

#include <memory>
#include <string>

class TEditBuffer;
class TModule;

/// The code manager's view of a source module: what updaters work on. It refers to its host
/// module weakly (TModule::GetModuleIntf), so every answer reflects the module as it is now and
/// goes empty once the module is gone. Thread-safe.
class IModule : public virtual IInterface {
public:
    /// The module's text (its edit buffer); null once the module is gone.
    virtual std::shared_ptr<TEditBuffer> GetSource() = 0;
    /// The module's current file name (it follows renames); empty once the module is gone.
    virtual std::string GetFileName() = 0;
    /// The host module; null once it is gone.
    virtual std::shared_ptr<TModule> GetDocModule() = 0;
};

/// What the code manager asks the updater of a module about the module as a whole.
class IModuleUpdater : public virtual IInterface {
public:
    /// True when the module's text may be changed through the updater.
    virtual bool GetIsEditable() = 0;
    /// True when the updater cannot change the text now.
    virtual bool GetReadOnly() = 0;
    /// The name the module is shown under (for a file module its file name without folder).
    virtual std::string GetModuleName() = 0;
    /// The caption of the module's editor tab.
    virtual std::string GetModuleTab() = 0;
};
