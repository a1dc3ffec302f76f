#include "markdown_task_manager.h"

#include "markdown_task_item.h"

#include "host/edit_buffer.h"
#include "host/errors.h"
#include "host/module.h"
#include "host/project.h"
#include "host/project_loader.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

/// Larger files are not read: a Markdown file of this size is generated, not a task list.
constexpr std::uintmax_t MaxFileBytes = 16u << 20;

/// Adds the Markdown files under Folder to Files, depth-first, up to the manager's caps.
void Walk(const fs::path& Folder, int Depth, std::vector<std::string>& Files) {
    std::error_code Ec;
    fs::directory_iterator It(Folder, Ec), End;
    for (; !Ec && It != End && Files.size() < TMarkdownTaskManager::MaxFiles; It.increment(Ec)) {
        const fs::path& Path = It->path();
        std::error_code TypeEc;
        if (It->is_symlink(TypeEc) && It->is_directory(TypeEc))
            continue; // a linked folder may lead out of the project or round in a circle
        if (It->is_directory(TypeEc)) {
            if (Depth + 1 < TMarkdownTaskManager::MaxDepth &&
                !IsSkippedFolderName(Path.filename().string()))
                Walk(Path, Depth + 1, Files);
        } else if (IsMarkdownFileName(Path.filename().string()) && It->is_regular_file(TypeEc)) {
            Files.push_back(NormalizeFileName(Path.string()));
        }
    }
}

} // namespace

void TMarkdownTaskManager::Rescan(const std::shared_ptr<IProject>& Project) {
    FProject = Project;
    FFolder.clear();
    FItemsByFile.clear();
    if (Project) {
        std::vector<std::string> Files;
        for (const auto& Entry : Project->GetUsesList())
            if (std::string Name = Entry->GetFileName(); IsMarkdownFileName(Name))
                Files.push_back(NormalizeFileName(Name));
        const fs::path Folder = fs::path(NormalizeFileName(Project->GetFileName())).parent_path();
        if (!Folder.empty()) {
            FFolder = (Folder / "").string();
            Walk(Folder, 0, Files);
        }
        for (const auto& File : Files)
            if (!FItemsByFile.count(File))
                FItemsByFile.emplace(File, ReadItems(File));
    }
    Publish();
}

bool TMarkdownTaskManager::BelongsToProject(const std::string& FileName) const {
    if (FItemsByFile.count(FileName))
        return true;
    auto Project = FProject.lock();
    if (!Project || !IsMarkdownFileName(FileName))
        return false;
    if (Project->Contains(FileName))
        return true;
    if (FFolder.empty() || !FileName.starts_with(FFolder))
        return false;
    // A new file in the folder counts when the walk would have found it.
    const fs::path Relative = fs::path(FileName.substr(FFolder.size())).parent_path();
    int Depth = 0;
    for (const auto& Part : Relative) {
        if (++Depth >= MaxDepth || IsSkippedFolderName(Part.string()))
            return false;
    }
    return FItemsByFile.size() < MaxFiles;
}

bool TMarkdownTaskManager::RescanFile(const std::string& FileName) {
    const std::string Name = NormalizeFileName(FileName);
    if (!BelongsToProject(Name))
        return false;
    FItemsByFile[Name] = ReadItems(Name);
    Publish();
    return true;
}

TMarkdownTaskManager::TItems TMarkdownTaskManager::ReadItems(const std::string& FileName) {
    std::string Text;
    if (auto Module = FindDocModule(FileName)) {
        Text = Module->GetBuffer()->GetText(); // what the user sees, saved or not
    } else {
        std::error_code Ec;
        const auto Size = fs::file_size(FileName, Ec);
        if (Ec || Size > MaxFileBytes)
            return {};
        auto Read = TEditBuffer::ReadFile(FileName, nullptr);
        if (!Read)
            return {};
        Text = std::move(Read.Value());
    }
    TItems Items;
    for (auto& Task : ParseMarkdownTasks(Text))
        Items.push_back(std::make_shared<TMarkdownTaskItem>(FileName, std::move(Task)));
    return Items;
}

void TMarkdownTaskManager::Publish() {
    auto Snapshot = std::make_shared<TItems>();
    for (const auto& [File, Items] : FItemsByFile)
        Snapshot->insert(Snapshot->end(), Items.begin(), Items.end());
    std::shared_ptr<const TItems> Old;
    {
        std::scoped_lock Lock(FLock);
        Old = std::exchange(FCurrent, std::move(Snapshot));
    }
    // Old goes here, outside the lock.
}

int TMarkdownTaskManager::GetItemCount() {
    std::scoped_lock Lock(FLock);
    FCounted = FCurrent;
    return static_cast<int>(FCounted->size());
}

TRef<INTAToDoItem> TMarkdownTaskManager::GetItem(int Index) {
    std::scoped_lock Lock(FLock);
    if (Index < 0 || Index >= static_cast<int>(FCounted->size()))
        throw EListError(Index);
    return (*FCounted)[static_cast<size_t>(Index)];
}
