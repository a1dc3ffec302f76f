#include "host/events.h"

#include "host/module.h"

std::shared_ptr<TEditBuffer> TEditView::GetBuffer() const {
    return FModule ? FModule->GetBuffer() : nullptr;
}

TEvent<TProjectGroup&>& EvActiveProjectChanged() {
    static TEvent<TProjectGroup&> E;
    return E;
}

TEvent<TModule*, const std::string&>& EvModuleModified() {
    static TEvent<TModule*, const std::string&> E;
    return E;
}

TEvent<IProject&, const std::string&>& EvProjectModuleRemoved() {
    static TEvent<IProject&, const std::string&> E;
    return E;
}

TEvent<IProject&, TCustomFileEntry&>& EvProjectModuleAdded() {
    static TEvent<IProject&, TCustomFileEntry&> E;
    return E;
}

TEvent<IProject&, const std::string&, const std::string&>& EvProjectModuleRenamed() {
    static TEvent<IProject&, const std::string&, const std::string&> E;
    return E;
}

TEvent<IProject&, const std::string&, const std::string&>& EvProjectRenamed() {
    static TEvent<IProject&, const std::string&, const std::string&> E;
    return E;
}

TEvent<TEditView*, TViewOperation>& EvViewNotification() {
    static TEvent<TEditView*, TViewOperation> E;
    return E;
}

TEvent<TModule*>& EvModuleActivated() {
    static TEvent<TModule*> E;
    return E;
}

TEvent<>& EvMainFormCreated() {
    static TEvent<> E;
    return E;
}

void NotifyModuleModified(const std::string& FileName) {
    auto Module = FindDocModule(FileName);
    EvModuleModified().Raise(Module.get(), Module ? Module->GetFileName() : FileName);
}
