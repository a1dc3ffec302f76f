#pragma once

#include "host/todo_intf.h"
#include "items/source_todo_item.h"
#include "items/source_todo_manager.h"

#include <memory>
#include <string>

/// The kind of a project item, also its origin in the origin filter.
inline constexpr const char* ProjectItemKind = "Project To-Do file";

/// One entry of the project's to-do file. It belongs to no source file: it is never shown in an
/// editor, is always editable and deletable, and double-clicking it edits it.
class TProjectToDoItem : public TSourceToDoItem {
public:
    using TSourceToDoItem::TSourceToDoItem;

    bool CanDelete() override { return true; }
    bool CanEdit() override { return true; }
    bool CanShow() override { return false; }
    /// Deletes the comment, then marks the manager out of date.
    TStatus Delete() override;
    void DrawImage(TCanvas& Canvas, const TRect& Rect) override;
    void DoubleClicked() override;
    std::string GetKind() override { return ProjectItemKind; }
    std::string GetModuleName() override { return {}; }
};

/// The manager of the active project's to-do file (the project file's name with the extension
/// ".todo"). It opens the file's module, or creates the file on the first added item, and reads
/// and writes it through the module's to-do file updater. At most one exists at a time; the
/// to-do list holds it besides its other managers and drops it at every project change.
class TProjectToDoManager : public TSourceToDoManager {
public:
    /// Use Create: the manager lives in a shared_ptr.
    TProjectToDoManager(std::string FileName, std::string SourceFileName);
    /// A manager whose updater is already looked for (CreateUpdater).
    static std::shared_ptr<TProjectToDoManager> Create(std::string FileName,
                                                       std::string SourceFileName = {});

    std::shared_ptr<TSourceToDoItem> CreateItem(std::string S, int Pos,
                                                const TToDoCommentFields& Fields) override;
    bool InProject() override { return true; }
    /// Clears the list's project manager and asks the list to drop this manager.
    void ProjectChanged() override;
    /// Wraps Text (a to-do comment body) as one entry and adds it to the file, creating the
    /// file first when the project has none. Pos is a 1-based file position; 0 or less appends
    /// the entry at the end of the file, on a line of its own. The change is in the module's
    /// buffer (the caller saves). Nothing without an active project.
    TStatus AddItem(int Pos, const std::string& Text) override;

    /// Opens the active project's to-do module, creating the file when the project has none,
    /// and takes its updater; the manager's file name becomes the project's to-do file name.
    /// Nothing without an active project.
    void CreateUpdater();
};

/// Makes source managers' sibling for ".todo" files: a project manager, which also becomes the
/// to-do list's project manager.
class TProjectManagerCreator : public TToDoManagerCreator {
public:
    TRef<IToDoManager> CreateManager(const std::string& FileName) override;
    /// True when the extension, lower-cased, is exactly ".todo".
    bool CanHandleFile(const std::string& FileName) override;
};

/// The routine behind TProjectManagerCreator::CreateManager and CreateProjectToDoManagerProc.
TRef<IToDoManager> CreateProjectToDoManager(const std::string& FileName);
