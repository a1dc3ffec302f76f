#pragma once
// The project tree of the main window, and the small edits of a Pascal project file's uses
// clause that the Project menu makes.

#include "host/events.h"

#include <QTreeWidget>

#include <optional>
#include <string>
#include <string_view>

class IProject;

/// The active project's files as a tree (objectName "ProjectTree"): the project node, under it
/// one node per container creator that handles some of the files (named by the creator's
/// GetName(), e.g. the to-do file's kind) holding those files, and the files no creator handles
/// directly under the project node. Files show by their path relative to the project's folder.
/// Follows the host: rebuilt (once per burst, from the event loop) on EvActiveProjectChanged,
/// EvProjectModuleAdded/Removed/Renamed and EvProjectRenamed. Activating a file (double-click,
/// Enter) opens it in an editor (CallDefaultOpenProc). Main thread only.
class TProjectTree : public QTreeWidget {
    Q_OBJECT
public:
    /// The role of a node's data holding its file's normalised name (QString; none for the
    /// project and group nodes).
    static constexpr int FileNameRole = Qt::UserRole + 1;

    explicit TProjectTree(QWidget* Parent = nullptr);
    ~TProjectTree() override;

    /// Rebuilds the tree from the active project now (the events only schedule it).
    void Rebuild();
    /// The normalised file name of the selected file node; "" when no file node is selected.
    std::string SelectedFile() const;

private:
    void ScheduleRebuild();

    bool FRebuildPending = false;
    TEvent<TProjectGroup&>::TToken FActiveToken = 0;
    TEvent<IProject&, TCustomFileEntry&>::TToken FAddedToken = 0;
    TEvent<IProject&, const std::string&>::TToken FRemovedToken = 0;
    TEvent<IProject&, const std::string&, const std::string&>::TToken FRenamedToken = 0;
    TEvent<IProject&, const std::string&, const std::string&>::TToken FProjectRenamedToken = 0;
};

/// Edits of the clause that lists a Pascal project's units: `uses` in a program or library
/// (.dpr, .lpr), `contains` in a package (.dpk). Entries look like `Name in 'path'` (or just
/// `Name` for a unit from the library path); comments and strings are read as Pascal reads
/// them. Every edit changes only the bytes of the clause it touches, so the rest of the file
/// stays byte-identical; new lines take the file's line ending (CR LF when it uses them).
namespace UsesClause {

/// The keyword of the clause that lists the units of ProjectFileName: "contains" for a .dpk,
/// else "uses".
std::string KeywordFor(std::string_view ProjectFileName);

/// Text with the entry `UnitName in 'Path'` appended to the clause (a clause is made after the
/// program header when there is none). Path is written as given. Nothing (nullopt) when the
/// text has no program, library or package header to put a new clause after.
std::optional<std::string> AddEntry(std::string_view Text, std::string_view Keyword,
                                    std::string_view UnitName, std::string_view Path);

/// Text without the entry whose `in '...'` path names FileName (an absolute, normalised name;
/// paths are resolved against ProjectFolder, backslashes read as separators). The only entry
/// takes the whole clause with it. Any other goes with exactly one comma (the one after it, or
/// for the final entry the one before it; one with no comment in between is preferred) and the
/// blank lines or blanks that would be left; the comments and compiler directives around it
/// stay, except plain comments on its line between it and its comma or semicolon (a form name,
/// a note on it). Nothing when no entry names the file.
std::optional<std::string> RemoveEntry(std::string_view Text, std::string_view Keyword,
                                       const std::string& ProjectFolder,
                                       const std::string& FileName);

/// Text with the entry that names OldFileName changed to name NewPath (written as given); the
/// unit name follows when it was the old file's base name (any letter case). Nothing when no
/// entry names the file.
std::optional<std::string> RenameEntry(std::string_view Text, std::string_view Keyword,
                                       const std::string& ProjectFolder,
                                       const std::string& OldFileName, std::string_view NewPath);

/// True when Name can be a unit name in a uses clause (an identifier, dotted parts allowed).
bool IsUnitName(std::string_view Name);

} // namespace UsesClause
