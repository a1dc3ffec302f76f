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

/// What the service holds of this package: it forwards to the manager. A fresh one is handed to
/// every service the manager joins, so that whether the service still holds it tells whether
/// the manager is in the list.
class TServiceLink : public IOTAToDoManager {
public:
    explicit TServiceLink(std::shared_ptr<TMarkdownTaskManager> Manager)
        : FManager(std::move(Manager)) {}
    int GetItemCount() override { return FManager->GetItemCount(); }
    TRef<INTAToDoItem> GetItem(int Index) override { return FManager->GetItem(Index); }

private:
    const std::shared_ptr<TMarkdownTaskManager> FManager;
};

/// What the package holds while it is registered. Main thread only, like the events it
/// handles. Created by IDERegister and destroyed by PackageFinalize, so nothing of it is left
/// for the library's own teardown.
///
/// It holds nothing of the to-do service between calls: the service is looked up each time.
/// A std::weak_ptr to it would keep the service's control block, whose code lives in the
/// To-Do package; releasing it after that package was unloaded (it unloads first when it was
/// loaded after this one) would call into unmapped code.
struct TPackageState {
    std::shared_ptr<TMarkdownTaskManager> Manager = std::make_shared<TMarkdownTaskManager>();
    /// The link the service holds, made in this library: expired once no service holds it
    /// (the service went, or it was never added).
    std::weak_ptr<TServiceLink> Link;
    /// The link's index in the service. The service's interface cannot find a manager by
    /// identity, and removing an earlier manager shifts this one: we rely on managers of other
    /// packages being removed only when their package unloads, which happens in reverse load
    /// order, i.e. after this one.
    int Index = -1;
    TEvent<TProjectGroup&>::TToken ProjectToken = 0;
    TEvent<TModule*, const std::string&>::TToken ModuleToken = 0;
    TEvent<>::TToken MainFormToken = 0;
};

std::unique_ptr<TPackageState> GState;

/// The to-do service, after adding the manager to it when no service holds it yet; null when
/// there is no service (yet).
TRef<IOTAToDoServices> Service() {
    auto Found = FindOTAService<IOTAToDoServices>();
    if (!Found)
        return nullptr;
    if (GState->Link.expired()) {
        auto Link = std::make_shared<TServiceLink>(GState->Manager);
        GState->Index = Found->AddManager(Link);
        GState->Link = Link;
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
    // The host calls it once per load; a second call (the library reached again under another
    // name) must not replace the state whose handlers are subscribed.
    if (GState)
        return;
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
    if (State->Link.expired())
        return; // no service holds the manager
    // Removing it makes the list let go of this library's items before it is unloaded.
    if (auto S = FindOTAService<IOTAToDoServices>())
        S->RemoveManager(State->Index);
}
