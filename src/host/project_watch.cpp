#include "host/project_watch.h"

#include "host/events.h"
#include "host/module.h"
#include "host/project.h"
#include "host/project_loader.h"

#include <algorithm>
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

} // namespace

TFileChangesOutcome ApplyFileChanges(IProject* Project, const TProjectScope* Scope,
                                     const std::vector<TFileChange>& Changes) {
    const bool Walked = Project && Scope && !Scope->UsesClauseProject();
    for (const TFileChange& C : Changes) {
        if (C.Kind == TFileChangeKind::Rescan)
            return Project ? TFileChangesOutcome::ReloadProject : TFileChangesOutcome::Applied;
        const std::string& Name = C.FileName;
        if (Project && Scope && Name == Scope->ToDoFileName() && !Project->Contains(Name) &&
            C.Kind != TFileChangeKind::Deleted)
            return TFileChangesOutcome::ReloadProject;
        if (Project && Scope && Scope->UsesClauseProject() && Name == Scope->ProjectFileName() &&
            C.Kind != TFileChangeKind::Deleted) {
            FollowUsesClause(*Project, *Scope);
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
