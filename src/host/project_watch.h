#pragma once

// Files changed on disk by other programs, turned into the host events an IDE raises: a changed
// file is a modified module (an unmodified loaded buffer is read again first), a new source
// file of a walked project is a file added to the project, a deleted project file is a file
// removed from it, and a changed uses clause adds and removes the units it names or no longer
// names.

#include "host/file_watcher.h"

#include <string>
#include <vector>

class IProject;
class TProjectScope;

/// What the caller has to do after ApplyFileChanges.
enum class TFileChangesOutcome {
    Applied,       ///< every change became events
    ReloadProject, ///< events were lost, or the project's to-do file appeared: load it again
};

/// Raises the events for Changes (main thread). Project and Scope may be null (no project):
/// then only modified-module events are raised. A Rescan entry (events were lost) reads every
/// loaded file the watcher covers again (those with unsaved changes keep them) and raises
/// modified-module for each; the rest of the batch is then moot, and a project is to be loaded
/// again. A changed uses-clause project file is read again like any loaded file, then followed.
TFileChangesOutcome ApplyFileChanges(IProject* Project, const TProjectScope* Scope,
                                     const std::vector<TFileChange>& Changes);

/// The folders of Folders that no other of them contains, sorted: a watched tree covers its
/// subfolders, so only these need a watch of their own.
std::vector<std::string> TopFolders(std::vector<std::string> Folders);
