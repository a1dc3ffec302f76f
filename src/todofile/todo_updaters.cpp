#include "todofile/todo_updaters.h"

#include "host/containers.h"
#include "host/create_updaters.h"
#include "host/module_handlers.h"
#include "todofile/todo_creator.h"
#include "todofile/todo_file_updater.h"
#include "todofile/todo_module_handler.h"

#include <mutex>

namespace {

std::mutex UnitLock; // guards everything below
int UnitCount = 0;
std::shared_ptr<TTodoGauntletHandler> GauntletHandler;
TRef<ICreateUpdaters> CreateUpdaters;
TRef<IContainerCreator> ContainerCreator;

} // namespace

void InitializeToDoUpdaters() {
    std::scoped_lock Guard(UnitLock);
    if (UnitCount++ > 0)
        return;
    GauntletHandler = std::make_shared<TTodoGauntletHandler>();
    CreateUpdaters = std::make_shared<TToDoCreateUpdaters>();
    ModuleHandlerGauntlet().Add(GauntletHandler);
    ContainerCreator = std::make_shared<TToDoCreator>();
    RegisterCreateUpdaters(CreateUpdaters);
    ContainerManager().RegisterItemContainerCreator(ContainerCreator);
}

void FinalizeToDoUpdaters() {
    std::scoped_lock Guard(UnitLock);
    if (UnitCount == 0 || --UnitCount > 0)
        return;
    ModuleHandlerGauntlet().Remove(GauntletHandler);
    UnRegisterCreateUpdaters(CreateUpdaters);
    GauntletHandler.reset();
    ContainerManager().UnregisterItemContainerCreator(ContainerCreator);
    CreateUpdaters.reset();
    ContainerCreator.reset();
}
