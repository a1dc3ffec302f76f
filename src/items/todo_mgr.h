#pragma once

#include "host/todo_intf.h"

#include <vector>

/// Start-up of the manager unit: registers the project manager's creator with the creator
/// registry and stores the routines that make source and project managers in the host hooks
/// CreateSourceToDoManagerProc and CreateProjectToDoManagerProc. Calls are counted; only the
/// first one acts.
void InitializeToDoMgr();

/// Shut-down of the manager unit: empties both hooks (the registered creator is freed with the
/// registry). Acts only on the call that balances the first InitializeToDoMgr.
void FinalizeToDoMgr();

/// The manager-creator registry of the to-do list. It comes into being on the first
/// registration, which may come before the list's unit has started (the manager unit registers
/// first). Register appends Creator unless it is already registered and takes it over;
/// Unregister removes it without freeing it. The list's start-up stores both in the host hooks.
void RegisterToDoManagerCreator(TToDoManagerCreator* Creator);
void UnRegisterToDoManagerCreator(TToDoManagerCreator* Creator);
/// The registered creators in registration order (not owned by the caller). Any thread.
std::vector<TToDoManagerCreator*> ToDoManagerCreators();
/// Frees every registered creator and the registry (the list's shut-down).
void FreeToDoManagerCreators();
