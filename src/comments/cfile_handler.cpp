#include "comments/cfile_handler.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

namespace {

// Lock order: UnitLock before RegistryLock (FinalizeToDoUtils frees the registry).
std::mutex RegistryLock;
std::unique_ptr<std::vector<const TCFileHandlerClass*>> Registry; // absent until first use

std::mutex UnitLock;
int UnitCount = 0;

void FreeRegistry() {
    std::scoped_lock Guard(RegistryLock);
    Registry.reset();
}

} // namespace

void RegisterCFileHandler(const TCFileHandlerClass* AClass) {
    std::scoped_lock Guard(RegistryLock);
    if (!Registry)
        Registry = std::make_unique<std::vector<const TCFileHandlerClass*>>();
    Registry->push_back(AClass);
}

void UnregisterCFileHandler(const TCFileHandlerClass* AClass) {
    std::scoped_lock Guard(RegistryLock);
    if (!Registry)
        return;
    auto It = std::find(Registry->begin(), Registry->end(), AClass);
    if (It == Registry->end())
        return;
    Registry->erase(It);
    if (Registry->empty())
        Registry.reset();
}

const TCFileHandlerClass* GetCFileHandler(const std::string& FileName) {
    std::vector<const TCFileHandlerClass*> Classes;
    {
        std::scoped_lock Guard(RegistryLock);
        if (!Registry)
            return nullptr;
        Classes = *Registry;
    }
    for (const TCFileHandlerClass* C : Classes)
        if (C != nullptr && C->HandlesFile(FileName))
            return C;
    return nullptr;
}

void InitializeToDoUtils() {
    std::scoped_lock Guard(UnitLock);
    if (UnitCount++ > 0)
        return;
    RegisterCFileHandlerProc = &RegisterCFileHandler;
    UnregisterCFileHandlerProc = &UnregisterCFileHandler;
    GetCFileHandlerProc = &GetCFileHandler;
}

void FinalizeToDoUtils() {
    std::scoped_lock Guard(UnitLock);
    if (UnitCount == 0 || --UnitCount > 0)
        return;
    RegisterCFileHandlerProc = nullptr;
    UnregisterCFileHandlerProc = nullptr;
    GetCFileHandlerProc = nullptr;
    FreeRegistry();
}
