#include "host/project_watch.h"

#include "host/events.h"
#include "host/module.h"
#include "host/project.h"
#include "host/project_loader.h"

#include <algorithm>
#include <filesystem>
#include <set>

namespace {

/// A loaded buffer that the user has not changed takes the file's new bytes; one with unsaved
/// changes keeps them (its save will then refuse to overwrite the newer file).
void ReloadUnmodified(const std::string& FileName) {
    auto Module = FindDocModule(FileName);
    if (!Module)
        return;
    auto Buffer = Module->GetBuffer();
    if (Buffer && !Buffer->GetModified() && FileExists(FileName))
        (void)Buffer->Reload();
}

/// Makes the project's units those its uses clause names now.
void FollowUsesClause(IProject& Project, const TProjectScope& Scope) {
    auto Named = ReadUsesClause(Scope.ProjectFileName());
    if (!Named)
        return; // a project file being rewritten: the next change brings it back
    std::set<std::string> Wanted;
    for (const std::string& F : Named.Value())
        if (FileExists(F))
            Wanted.insert(F);
    for (const auto& Entry : Project.GetUsesList()) {
        std::string Name = Entry->GetFileName();
        if (Name != Scope.ProjectFileName() && Name != Scope.ToDoFileName() && !Wanted.count(Name))
            Project.RemoveFile(Name);
    }
    for (const std::string& F : Named.Value())
        if (Wanted.count(F) && !Project.Contains(F))
            Project.AddFile(F);
}

/// True for a file the watcher would have reported: a file of the project (its to-do file
/// included), or one in a folder it watches.
bool IsWatched(IProject* Project, const TProjectScope* Scope, const std::string& Name) {
    if (!Scope)
        return true; // nothing tells what is watched: every loaded file may have changed
    if (Name == Scope->ProjectFileName() || Name == Scope->ToDoFileName() ||
        (Project && Project->Contains(Name)))
        return true;
    const std::string Folder = std::filesystem::path(Name).parent_path().string();
    return Scope->ShouldWatchFolder(Folder);
}

/// Lost events: any loaded file may have changed. Each one the watcher covers is read again
/// unless it has unsaved changes, and announced, so the list and the editors follow.
void ReloadEveryLoadedFile(IProject* Project, const TProjectScope* Scope) {
    for (const auto& Module : LoadedModules()) {
        const std::string Name = Module->GetFileName();
        if (!IsWatched(Project, Scope, Name))
            continue;
        ReloadUnmodified(Name);
        NotifyModuleModified(Name);
    }
}

} // namespace

TFileChangesOutcome ApplyFileChanges(IProject* Project, const TProjectScope* Scope,
                                     const std::vector<TFileChange>& Changes) {
    const bool Walked = Project && Scope && !Scope->UsesClauseProject();
    for (const TFileChange& C : Changes) {
        if (C.Kind == TFileChangeKind::Rescan) {
            // Every named change is covered by reading everything again.
            ReloadEveryLoadedFile(Project, Scope);
            return Project ? TFileChangesOutcome::ReloadProject : TFileChangesOutcome::Applied;
        }
        const std::string& Name = C.FileName;
        if (Project && Scope && Name == Scope->ToDoFileName() && !Project->Contains(Name) &&
            C.Kind != TFileChangeKind::Deleted)
            return TFileChangesOutcome::ReloadProject;
        if (Project && Scope && Scope->UsesClauseProject() && Name == Scope->ProjectFileName() &&
            C.Kind != TFileChangeKind::Deleted) {
            // The project file is a source file too: its loaded buffer and its items follow.
            ReloadUnmodified(Name);
            FollowUsesClause(*Project, *Scope);
            NotifyModuleModified(Name);
            continue;
        }
        switch (C.Kind) {
        case TFileChangeKind::Created:
            if (Walked && !Project->Contains(Name) && Scope->IsUnitFile(Name)) {
                ReloadUnmodified(Name);
                Project->AddFile(Name);
                break;
            }
            [[fallthrough]];
        case TFileChangeKind::Modified:
            ReloadUnmodified(Name);
            NotifyModuleModified(Name);
            break;
        case TFileChangeKind::Deleted:
            if (Project && Project->Contains(Name))
                Project->RemoveFile(Name);
            else
                NotifyModuleModified(Name); // an open file's items go at the next parse
            break;
        case TFileChangeKind::Rescan:
            break;
        }
    }
    return TFileChangesOutcome::Applied;
}

std::vector<std::string> TopFolders(std::vector<std::string> Folders) {
    std::sort(Folders.begin(), Folders.end());
    std::vector<std::string> Tops;
    for (const std::string& F : Folders)
        if (Tops.empty() || !(F == Tops.back() || F.starts_with(Tops.back() + "/")))
            Tops.push_back(F);
    return Tops;
}
