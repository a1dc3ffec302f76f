#include "items/todo_mgr.h"

#include "items/project_todo_manager.h"
#include "items/source_todo_manager.h"

#include <algorithm>
#include <mutex>

namespace {

std::mutex UnitLock; // guards UnitCount
int UnitCount = 0;

std::mutex CreatorsLock;                               // guards Creators
std::vector<TToDoManagerCreator*>* Creators = nullptr; // owned creators; made on first use

} // namespace

void InitializeToDoMgr() {
    std::scoped_lock Guard(UnitLock);
    if (UnitCount++ > 0)
        return;
    RegisterToDoManagerCreator(new TProjectManagerCreator);
    CreateSourceToDoManagerProc = [](const std::string& FileName,
                                     const std::string& SourceFileName) -> TRef<IToDoManager> {
        return TSourceToDoManager::Create(FileName, SourceFileName);
    };
    CreateProjectToDoManagerProc = &CreateProjectToDoManager;
}

void FinalizeToDoMgr() {
    std::scoped_lock Guard(UnitLock);
    if (UnitCount == 0 || --UnitCount > 0)
        return;
    CreateSourceToDoManagerProc = nullptr;
    CreateProjectToDoManagerProc = nullptr;
}

void RegisterToDoManagerCreator(TToDoManagerCreator* Creator) {
    std::scoped_lock Lock(CreatorsLock);
    if (!Creators)
        Creators = new std::vector<TToDoManagerCreator*>;
    if (std::find(Creators->begin(), Creators->end(), Creator) == Creators->end())
        Creators->push_back(Creator);
}

void UnRegisterToDoManagerCreator(TToDoManagerCreator* Creator) {
    std::scoped_lock Lock(CreatorsLock);
    if (Creators)
        std::erase(*Creators, Creator);
}

std::vector<TToDoManagerCreator*> ToDoManagerCreators() {
    std::scoped_lock Lock(CreatorsLock);
    return Creators ? *Creators : std::vector<TToDoManagerCreator*>{};
}

void FreeToDoManagerCreators() {
    std::vector<TToDoManagerCreator*>* Freed = nullptr;
    {
        std::scoped_lock Lock(CreatorsLock);
        std::swap(Freed, Creators);
    }
    if (Freed) {
        for (TToDoManagerCreator* C : *Freed)
            delete C;
        delete Freed;
    }
}
