#include "todofile/todo_module.h"

#include "host/project.h"
#include "todofile/todo_file_name.h"

#include <utility>

namespace {

std::shared_ptr<TModule> MakeToDoModule(std::string FileName, std::shared_ptr<TEditBuffer> Buffer) {
    return std::make_shared<TToDoModule>(std::move(FileName), std::move(Buffer));
}

} // namespace

TToDoModule::TToDoModule(std::string FileName, std::shared_ptr<TEditBuffer> Buffer)
    : TModule(std::move(FileName), std::move(Buffer)) {}

TToDoModule::~TToDoModule() = default;

TResult<std::shared_ptr<TModule>> TToDoModule::Open(const std::string& FileName,
                                                    const std::string& /*CompanionFileName*/,
                                                    bool Existing) {
    return Load(FileName, Existing, MakeToDoModule);
}

TResult<std::shared_ptr<TModule>> TToDoModule::Create(const TRef<ISourceCreator>& Creator,
                                                      const std::shared_ptr<TModule>& Owner) {
    return TModule::Create(Creator, Owner, MakeToDoModule);
}

TStatus TToDoModule::Save(bool /*ChangeName*/, bool /*ForceSave*/) {
    return TModule::Save(false, true);
}

bool TToDoModule::MustPromptForSaveName() {
    return false;
}

void TToDoModule::Modified() {
    TModule::Modified();
    for (int I = 0, Count = GetOwnerCount(); I < Count; ++I)
        if (auto Owner = GetOwner(I))
            Owner->SetModified(true);
}

bool TToDoModule::CanAddClosedFile() {
    return false;
}

TRef<ISourceFile> TToDoFileCreator::GetSource() {
    return std::make_shared<TStringFile>(FFileName, "");
}

bool TToDoFileCreator::GetShowSource() {
    return false;
}

bool TToDoFileCreator::GetIncludeInProject() {
    return true;
}

TRef<IToDoUpdater> OpenProjectToDoUpdater(std::string& ToDoFileName) {
    ToDoFileName.clear();
    auto Project = MainProjectGroup().ActiveProject();
    if (!Project)
        return nullptr;
    ToDoFileName = ToDoFileNameOf(Project->GetFileName());
    std::shared_ptr<TModule> Module;
    if (auto Entry = Project->FindFileEntry(ToDoFileName)) {
        const std::string Name = Entry->GetFileName();
        Module = FindDocModule(Name);
        if (!Module) {
            // A file that cannot be loaded goes to the creator below, which makes it anew
            // only when it is missing (it vanished meanwhile) and never overwrites it.
            if (auto Opened = TToDoModule::Open(Name, "", true))
                Module = std::move(Opened.Value());
        }
    }
    if (!Module) {
        auto Created = TToDoModule::Create(std::make_shared<TToDoFileCreator>(ToDoFileName),
                                           Project->GetProjectModule());
        if (Created)
            Module = std::move(Created.Value());
    }
    if (!Module)
        return nullptr;
    return std::dynamic_pointer_cast<IToDoUpdater>(Module->QueryInterface(typeid(IToDoUpdater)));
}
