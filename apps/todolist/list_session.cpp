#include "list_session.h"

#include "cli_common.h"
#include "host/file_project.h"
#include "host/ini_file.h"
#include "host/module.h"
#include "host/project_loader.h"
#include "host/project_watch.h"
#include "host/source_creators.h"
#include "items/todo_mgr.h"
#include "list/todo_units.h"

#include <algorithm>
#include <chrono>
#include <filesystem>

namespace {

TProjectChoice GProjectChoice;

} // namespace

void SetProjectChoice(TProjectChoice Choice) {
    GProjectChoice = std::move(Choice);
}

TListSession::TListSession() {
    // The host's order: its parse thread exists before the package starts, the package's units
    // start, then the host registers its creators and the service is made.
    SetParseThread(&FThread);
    StartUnits(ToDoUnits());
    RegisterSourceManagerCreators();
    CreateToDoList();
    FDisplay.Handle = RegisterWindow(&FWindow);
    ToDoList->SetDisplayForm(&FDisplay);
}

TListSession::~TListSession() {
    if (ToDoList)
        ToDoList->SetDisplayForm(nullptr);
    UnregisterWindow(FDisplay.Handle);
    FreeToDoList(); // writes the filters into the settings store
    MainProjectGroup().SetActiveProject(nullptr);
    StopUnits(ToDoUnits());
    SetParseThread(nullptr);
    FThread.Stop();
    // Nothing is saved here: the commands that change a setting save it themselves and report
    // a failure, and the filters the service writes back on its way out are the ones it read.
}

TStatus TListSession::OpenProject() {
    if (GProjectChoice.None)
        return {};
    std::string Path = GProjectChoice.Path.value_or(".");
    auto Loaded = LoadProject(Path);
    if (!Loaded)
        return Loaded.Status();
    FProjectPath = Path;
    FProject = Loaded.Value().Project;
    FScope = Loaded.Value().Scope;
    MainProjectGroup().SetActiveProject(FProject); // the service makes the units' managers
    return {};
}

TStatus TListSession::ReloadProject() {
    if (!FProject)
        return {};
    auto Loaded = LoadProject(FProjectPath);
    if (!Loaded)
        return Loaded.Status();
    FProject = Loaded.Value().Project;
    FScope = Loaded.Value().Scope;
    MainProjectGroup().SetActiveProject(FProject);
    return {};
}

bool TListSession::OpenFiles(const std::vector<std::string>& Paths) {
    auto Handled = [](const std::string& Name) {
        for (TToDoManagerCreator* Creator : ToDoManagerCreators())
            if (Creator->CanHandleFile(Name))
                return true;
        return false;
    };
    bool Ok = true;
    auto Open = [&](const std::string& File, bool) {
        const std::string Name = NormalizeFileName(File);
        if (ToDoList->FindManager(Name))
            return;
        if (!Handled(Name)) {
            Warn(NotASourceFile(File));
            Ok = false;
        } else if (TStatus S = CallDefaultOpenProc(Name, false); !S) {
            Warn(S.Message());
            Ok = false;
        } else {
            // Opening the view made the manager already (the view event); a file no creator
            // took through the event still gets one here.
            if (!ToDoList->FindManager(Name))
                ToDoList->CreateManager(Name, false);
            std::string Folder = std::filesystem::path(Name).parent_path().string();
            auto At = std::lower_bound(FOpenedFolders.begin(), FOpenedFolders.end(), Folder);
            if (At == FOpenedFolders.end() || *At != Folder)
                FOpenedFolders.insert(At, Folder);
        }
    };
    if (!CollectFiles(Paths, Open))
        Ok = false;
    return Ok;
}

void TListSession::ParseAndWait() {
    FThread.Modified();
    // Generous: the wait only ends early when a pass is done; it never cuts a parse short.
    FThread.WaitIdle(std::chrono::hours(24));
    FWindow.TakeMessages();
}

bool TListSession::SaveSettings() {
    if (TStatus S = AppIniFile().UpdateFile(); !S) {
        Fail(ecFailed, S.Message());
        return false;
    }
    return true;
}

std::vector<std::string> TListSession::WatchedFolders() const {
    std::vector<std::string> Folders = FScope ? FScope->Folders() : std::vector<std::string>{};
    for (const std::string& F : FOpenedFolders) {
        // An open file's folder inside a watched project folder is watched already.
        bool Covered = FScope && FScope->ShouldWatchFolder(F);
        if (!Covered)
            Folders.push_back(F);
    }
    // A watched tree covers its subfolders (the filter decides which): keep the tops only.
    return TopFolders(std::move(Folders));
}

TFileWatcherOptions TListSession::WatcherOptions() const {
    TFileWatcherOptions Options;
    // Subfolders of an open file's folder outside the project are not the user's concern;
    // inside the project its own rules decide.
    std::shared_ptr<TProjectScope> Scope = FScope;
    Options.FolderFilter = [Scope](const std::string& Folder) {
        return Scope && Scope->ShouldWatchFolder(Folder);
    };
    return Options;
}

void TListSession::ApplyFileChanges(const std::vector<TFileChange>& Changes) {
    if (::ApplyFileChanges(FProject.get(), FScope.get(), Changes) ==
        TFileChangesOutcome::ReloadProject)
        if (TStatus S = ReloadProject(); !S)
            Warn(S.Message());
}
