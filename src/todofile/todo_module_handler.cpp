#include "todofile/todo_module_handler.h"

#include "host/create_updaters.h"
#include "todofile/todo_file_name.h"

std::shared_ptr<TTodoCodeMgrModHandler> TTodoCodeMgrModHandler::Create(TModule& Module) {
    std::shared_ptr<TTodoCodeMgrModHandler> Handler(new TTodoCodeMgrModHandler(Module));
    // The updater is made before the handler is attached, so a query from another thread never
    // sees the handler without it.
    if (auto Creator = FindCreateUpdaters(Module.GetFileName()))
        Handler->FUpdater = Creator->CreateModuleUpdater(Module.GetModuleIntf());
    Module.AddModuleHandler(Handler);
    return Handler;
}

TRef<IInterface> TTodoCodeMgrModHandler::QueryInterface(const std::type_info& Type) {
    std::scoped_lock Lock(FModule->GetCriticalSection());
    if (FInQuery)
        return nullptr;
    FInQuery = true;
    struct TClear {
        bool& Flag;
        ~TClear() { Flag = false; }
    } Clear{FInQuery}; // also when the updater throws
    TRef<IInterface> Found;
    if (auto Provider = std::dynamic_pointer_cast<IInterfaceProvider>(FUpdater))
        Found = Provider->QueryInterface(Type);
    if (!Found)
        Found = OfferInterfaces<IOTANotifier, IInterfaceProvider>(shared_from_this(), Type);
    return Found;
}

void TTodoGauntletHandler::HandleModule(TModule& Module) {
    if (IsToDoFileName(Module.GetFileName()))
        TTodoCodeMgrModHandler::Create(Module);
}
