#include "items/todo_mgr.h"

#include "host/todo_intf.h"
#include "items/source_todo_manager.h"

#include <mutex>

namespace {

std::mutex UnitLock; // guards UnitCount
int UnitCount = 0;

} // namespace

void InitializeToDoMgr() {
    std::scoped_lock Guard(UnitLock);
    if (UnitCount++ > 0)
        return;
    CreateSourceToDoManagerProc = [](const std::string& FileName,
                                     const std::string& SourceFileName) -> TRef<IToDoManager> {
        return TSourceToDoManager::Create(FileName, SourceFileName);
    };
}

void FinalizeToDoMgr() {
    std::scoped_lock Guard(UnitLock);
    if (UnitCount == 0 || --UnitCount > 0)
        return;
    CreateSourceToDoManagerProc = nullptr;
}
