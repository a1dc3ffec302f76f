#include "host/project.h"

#include "host/events.h"

#include <utility>

std::shared_ptr<IProject> TProjectGroup::ActiveProject() const {
    std::scoped_lock Lock(FLock);
    return FActive;
}

void TProjectGroup::SetActiveProject(std::shared_ptr<IProject> Project) {
    std::shared_ptr<IProject> Old;
    {
        std::scoped_lock Lock(FLock);
        Old = std::exchange(FActive, std::move(Project));
    }
    EvActiveProjectChanged().Raise(*this);
    // Old is released here, outside the lock, in case the project's destructor asks for it.
}

TProjectGroup& MainProjectGroup() {
    static TProjectGroup Group;
    return Group;
}
