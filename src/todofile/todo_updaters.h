#pragma once

/// Start-up of the to-do file unit, in this order: makes the gauntlet handler and the
/// create-updaters object, adds the handler to the module-handler gauntlet, makes the container
/// creator, registers the create-updaters, registers the container creator. From then on every
/// .todo module the host creates gets its updater. Calls are counted; only the first one acts.
void InitializeToDoUpdaters();

/// Shut-down, in this order: removes the gauntlet handler from the gauntlet, unregisters the
/// create-updaters, drops the gauntlet handler, unregisters the container creator, drops the
/// rest. Modules made meanwhile keep their handlers. Acts only on the call that balances the
/// first InitializeToDoUpdaters.
void FinalizeToDoUpdaters();
