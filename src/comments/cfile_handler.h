#pragma once

#include "host/todo_intf.h"

#include <string>

/// Adds AClass to the C-file handler registry (no duplicate check: a class registered twice is
/// listed twice). AClass is not owned and must outlive its registration. Thread-safe.
void RegisterCFileHandler(const TCFileHandlerClass* AClass);

/// Removes one entry of AClass; nothing happens when it is not registered. The registry is
/// freed when its last entry goes. Thread-safe.
void UnregisterCFileHandler(const TCFileHandlerClass* AClass);

/// The first registered class, in registration order, whose HandlesFile answers true for
/// FileName; null when none does or nothing is registered. The classes are asked without the
/// registry's lock held, so a class may itself use the registry. Thread-safe.
const TCFileHandlerClass* GetCFileHandler(const std::string& FileName);

/// Start-up of the comments unit: stores the three registry routines in the host hooks
/// RegisterCFileHandlerProc, UnregisterCFileHandlerProc and GetCFileHandlerProc. Calls are
/// counted; only the first one acts.
void InitializeToDoUtils();

/// Shut-down of the comments unit: sets the three hooks to null and frees the registry. Acts
/// only on the call that balances the first InitializeToDoUtils; extra calls do nothing.
void FinalizeToDoUtils();
