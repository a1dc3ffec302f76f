#pragma once

// Loading a project from disk. A project is named by a path: a file is the project file, a
// folder D stands for a project whose file is D/<name of D> (which need not exist). A Pascal
// program, library or package (.dpr .lpr .dpk) is a uses-clause project: its files are the
// project file and the files its uses (or contains) clause names with `in '...'`. Any other
// project holds every recognised source file (LanguageOfFile) under the project's folder,
// found by a folder walk that skips hidden folders, build output and dependency folders
// (IsSkippedFolderName), folders and files that the git work tree's ignore rules exclude, and
// symbolically linked folders. The to-do file (the project file with extension ".todo") joins
// the files, last, when it exists.

#include "host/file_project.h"
#include "host/status.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

/// Which files and folders belong to a loaded project, for a file watcher that sees paths
/// created or deleted after the load. Thread-safe (the git lookups take an internal lock).
class TProjectScope {
public:
    struct TImpl; // defined where projects are loaded
    explicit TProjectScope(std::unique_ptr<TImpl> Impl);
    ~TProjectScope();

    /// The project file (absolute, normal); it need not exist for a folder project.
    const std::string& ProjectFileName() const;
    /// The project's folder: the folder walked, or the project file's folder.
    const std::string& ProjectFolder() const;
    /// The project's to-do file name, whether or not it exists.
    const std::string& ToDoFileName() const;
    /// True when the project's units come from a uses clause: a change of the project file
    /// then means re-reading it (ReadUsesClause), and IsUnitFile is always false.
    bool UsesClauseProject() const;
    /// True when a file at FileName (existing or just deleted; the caller tells files from
    /// folders) is a unit of a walked project: a recognised source file under the project's
    /// folder that the walk would have found.
    bool IsUnitFile(const std::string& FileName) const;
    /// True when a watcher should watch the folder Folder: one the walk enters (the project's
    /// folder included), or for a uses-clause project one of Folders().
    bool ShouldWatchFolder(const std::string& Folder) const;
    /// The folders to watch as found at load time, sorted: every folder the walk entered, or
    /// for a uses-clause project the folders of the project file and of its existing units.
    std::vector<std::string> Folders() const;

private:
    std::unique_ptr<TImpl> FImpl;
};

/// A project as LoadProject found it.
struct TLoadedProject {
    std::shared_ptr<TProject> Project;
    std::shared_ptr<TProjectScope> Scope;
    /// Files a uses clause names that do not exist; they are not in the project. Clause order.
    std::vector<std::string> MissingUnits;
};

/// Loads the project that Path names (see the top of this header). Names are absolute and
/// normal; walked units are sorted by name, uses-clause units follow the project file in clause
/// order. Fails for an empty or missing path, something that is neither file nor folder, an
/// unreadable uses-clause project file, or an unreadable project folder (unreadable subfolders
/// are left out).
TResult<TLoadedProject> LoadProject(const std::string& Path);

/// True when FileName's extension (any letter case) makes it a uses-clause project file.
bool IsUsesClauseProjectFile(std::string_view FileName);

/// The file names, as written, that the uses and contains clauses of the Pascal project text
/// Text name with `in '...'`, in text order. Comments and strings are read as Pascal reads
/// them; the scan ends at the main block's `begin`.
std::vector<std::string> ParseUsesClause(std::string_view Text);

/// The files the project file's uses clause names: resolved against the project file's folder
/// (backslashes read as separators), absolute and normal, in clause order without repeats or
/// the project file itself. A named file that is missing but exists with other letter case
/// in its folder is given by its name on disk. Missing files are kept; fails only when the
/// project file cannot be read.
TResult<std::vector<std::string>> ReadUsesClause(const std::string& ProjectFileName);

/// True for a folder name the walk never enters: hidden (leading "."), or build output and
/// dependencies in any letter case: build, build-*, _build, cmake-build-*, out, dist, bin, obj,
/// target, CMakeFiles, DerivedData, __pycache__, venv, node_modules, bower_components,
/// vendor, Pods.
bool IsSkippedFolderName(std::string_view Name);
