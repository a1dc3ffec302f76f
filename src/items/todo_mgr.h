#pragma once

/// Start-up of the manager unit: stores the routine that makes source managers in the host hook
/// CreateSourceToDoManagerProc. Calls are counted; only the first one acts.
void InitializeToDoMgr();

/// Shut-down of the manager unit: empties the hook. Acts only on the call that balances the
/// first InitializeToDoMgr.
void FinalizeToDoMgr();
