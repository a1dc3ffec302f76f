#include "todofile/todo_creator.h"

#include "host/module.h"
#include "host/project.h"
#include "todofile/todo_file_name.h"

#include <filesystem>

void TToDoCreator::GetContainer(IProject& /*Project*/,
                                const std::shared_ptr<TCustomFileEntry>& Entry, bool& HasChildren,
                                TRef<IInterface>& Container) {
    Container = nullptr;
    if (!Entry)
        HasChildren = false;
}

bool TToDoCreator::CanHandle(const std::string& FileName) {
    return IsToDoFileName(FileName);
}

int TToDoCreator::AddExtensions(std::vector<std::string>& Extensions) {
    Extensions.emplace_back(ToDoFileExt);
    return static_cast<int>(Extensions.size()) - 1;
}

std::string TToDoCreator::GetName() {
    return "ToDo";
}

bool TToDoCreator::RenameFile(TCustomFileEntry& Entry, const std::string& NewProjectFileName) {
    const std::string OldName = Entry.GetFileName();
    const std::string NewName = ToDoFileNameOf(NewProjectFileName);
    Entry.SetFileName(NewName);
    if (auto Module = FindDocModule(OldName)) {
        (void)Module->Rename(NewName);
    } else {
        // exists() and rename() are two steps: a file another program makes in between would
        // be replaced. The host itself moves files only on the main thread.
        std::error_code Ec;
        if (!std::filesystem::exists(NewName, Ec) && !Ec)
            std::filesystem::rename(OldName, NewName, Ec);
    }
    return true;
}
