// The package's entry points: it lists the task lines of the active project's Markdown files in
// the to-do list, working only through the host's interfaces.

#include "markdown_task_item.h"
#include "markdown_task_manager.h"

#include "host/events.h"
#include "host/module.h"
#include "host/project.h"

#include <memory>

#define MARKDOWN_TASKS_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

/// What the package holds while it is registered. Main thread only, like the events it
/// handles. Created by IDERegister and destroyed by PackageFinalize, so nothing of it is left
/// for the library's own teardown.
struct TPackageState {
    std::shared_ptr<TMarkdownTaskManager> Manager = std::make_shared<TMarkdownTaskManager>();
    /// The service the manager was added to; the To-Do package creates it once the main window
    /// exists, so it may appear (or be replaced) at any time.
    std::weak_ptr<IOTAToDoServices> Service;
    /// The manager's index in Service. The service's interface cannot find a manager by
    /// identity, and removing an earlier manager shifts this one: we rely on managers of other
    /// packages being removed only when their package unloads, which happens in reverse load
    /// order, i.e. after this one.
    int Index = -1;
    TEvent<TProjectGroup&>::TToken ProjectToken = 0;
    TEvent<TModule*, const std::string&>::TToken ModuleToken = 0;
    TEvent<>::TToken MainFormToken = 0;
};

std::unique_ptr<TPackageState> GState;

/// The to-do service, after adding the manager to it when it does not have it yet; null when
/// there is no service (yet).
TRef<IOTAToDoServices> Service() {
    auto Found = FindOTAService<IOTAToDoServices>();
    if (!Found)
        return nullptr;
    if (GState->Service.lock() != Found) {
        GState->Index = Found->AddManager(GState->Manager);
        GState->Service = Found;
    }
    return Found;
}

/// Shows the manager's current items in the list (when there is a list).
void UpdateList() {
    if (auto S = Service())
        S->UpdateList();
}

void RescanProject() {
    GState->Manager->Rescan(MainProjectGroup().ActiveProject());
    UpdateList();
}

} // namespace

MARKDOWN_TASKS_EXPORT void PackageInitialize() {
    // Nothing to start: everything waits for the host to be running (IDERegister).
}

MARKDOWN_TASKS_EXPORT void IDERegister() {
    GState = std::make_unique<TPackageState>();
    GState->MainFormToken = EvMainFormCreated().Add([] { RescanProject(); });
    GState->ProjectToken = EvActiveProjectChanged().Add([](TProjectGroup&) { RescanProject(); });
    GState->ModuleToken = EvModuleModified().Add([](TModule*, const std::string& FileName) {
        if (IsMarkdownFileName(FileName) && GState->Manager->RescanFile(FileName))
            UpdateList();
    });
    RescanProject(); // a project may be open already when the package is loaded late
}

MARKDOWN_TASKS_EXPORT void PackageFinalize() {
    if (!GState)
        return;
    auto State = std::move(GState);
    EvMainFormCreated().Remove(State->MainFormToken);
    EvActiveProjectChanged().Remove(State->ProjectToken);
    EvModuleModified().Remove(State->ModuleToken);
    if (auto S = State->Service.lock()) {
        // The list must drop its references to this library's items before it is unloaded.
        S->RemoveManager(State->Index);
        S->UpdateList();
    }
}
