#pragma once

#include "host/tools_api.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class IProject;

/// The to-do manager this package adds to the to-do service: the tasks of the active project's
/// Markdown files, in file name order and then line order.
///
/// Threads: Rescan and RescanFile run on the main thread; the service's parse thread reads
/// GetItemCount and GetItem meanwhile. The items are published as an immutable snapshot that
/// is swapped under FLock, so a reader never sees a half-built list.
class TMarkdownTaskManager : public IOTAToDoManager {
public:
    /// Reads the Markdown files of Project (none for null): its entries named *.md or
    /// *.markdown, and those found under the project file's folder (hidden and build output
    /// folders skipped, symbolic links to folders not followed, at most MaxDepth folders deep
    /// and MaxFiles files). A loaded module's buffer is read instead of its file.
    void Rescan(const std::shared_ptr<IProject>& Project);
    /// Reads FileName again when it is one of the current project's Markdown files (a new file
    /// in the project's folder included); false, changing nothing, for any other file. A file
    /// that cannot be read any more has no tasks.
    bool RescanFile(const std::string& FileName);

    /// The number of items of the current snapshot; later GetItem calls answer from the same
    /// snapshot, so a count-then-items walk stays consistent while a rescan publishes a new one
    /// (the service serialises its walks).
    int GetItemCount() override;
    /// Throws EListError for an index outside the snapshot the last GetItemCount saw.
    TRef<INTAToDoItem> GetItem(int Index) override;

    static constexpr int MaxDepth = 16;
    static constexpr size_t MaxFiles = 2000;

private:
    using TItems = std::vector<TRef<INTAToDoItem>>;

    /// Whether FileName (normal) is one the current project would list.
    bool BelongsToProject(const std::string& FileName) const;
    /// The items of FileName as they read now.
    static TItems ReadItems(const std::string& FileName);
    /// Publishes FItemsByFile as the new snapshot.
    void Publish();

    // Main thread only.
    std::weak_ptr<IProject> FProject;
    std::string FFolder; // the project file's folder with a trailing separator, "" for none
    std::map<std::string, TItems> FItemsByFile; // every Markdown file read, by name

    std::mutex FLock;                                   // guards the two snapshots
    std::shared_ptr<const TItems> FCurrent{new TItems}; // the latest published
    std::shared_ptr<const TItems> FCounted{FCurrent};   // the one the last GetItemCount saw
};
