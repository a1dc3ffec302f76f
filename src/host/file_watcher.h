#pragma once

#include "host/status.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

/// What happened to a file between two batches.
enum class TFileChangeKind {
    Modified, ///< existed before and exists now (written, or replaced by a rename over it)
    Created,  ///< did not exist before the batch and exists now
    Deleted,  ///< existed before the batch and is gone now (removed, or moved away)
    Rescan,   ///< events were lost (the kernel queue overflowed): re-read every watched file
};

/// One changed file of a batch.
struct TFileChange {
    /// Absolute, lexically normal path of the file; empty for Rescan.
    std::string FileName;
    TFileChangeKind Kind = TFileChangeKind::Modified;
    bool operator==(const TFileChange&) const = default;
};

/// How a TFileWatcher gathers and filters changes.
struct TFileWatcherOptions {
    /// Quiet time: a batch is delivered once no change arrived for this long.
    std::chrono::milliseconds Debounce{100};
    /// Longest time from the first change of a batch to its delivery, so a never-ending stream of
    /// changes is still delivered.
    std::chrono::milliseconds MaxDelay{1000};
    /// Whether a subfolder (absolute path) is watched, with everything below it. Not asked about
    /// the folders given to AddTree. Null watches every folder. Called with the watcher's lock
    /// held, on the thread of AddTree or on the watcher's thread: it must not call the watcher.
    std::function<bool(const std::string& Folder)> FolderFilter;
    /// Whether changes of a file (absolute path) are reported. Null reports every file. Called
    /// like FolderFilter.
    std::function<bool(const std::string& FileName)> FileFilter;
    /// Called on the watcher's thread, without the lock, with a one-line message when a folder
    /// that appeared later cannot be watched (for instance the watch limit is reached). Null
    /// writes "todolist: error: <message>" to standard error.
    std::function<void(const std::string& Message)> OnError;
};

/// Watches folder trees for files that other programs change, on its own thread, and hands the
/// changes over in debounced batches. Within a batch each file appears once, in the order of its
/// first change, with the kind that compares its state before and after the batch: an editor's
/// save through a temporary file renamed over the original is a Modified of the original, and a
/// file created and deleted again is not reported.
///
/// Every member may be called from any thread, including from inside ChangesReady, except Stop
/// and the destructor, which must not run inside ChangesReady.
class TFileWatcher {
public:
    explicit TFileWatcher(TFileWatcherOptions Options = {});
    /// Stop().
    ~TFileWatcher();
    TFileWatcher(const TFileWatcher&) = delete;
    TFileWatcher& operator=(const TFileWatcher&) = delete;

    /// Watches Folder and its subfolders that pass the folder filter, without following symbolic
    /// links below Folder. Folders created later inside the tree are watched as they appear and
    /// the files already in them are reported as Created. Files present now are not reported.
    /// Before or after Start. On failure (missing folder, the inotify watch limit) nothing of
    /// this call stays watched.
    TStatus AddTree(const std::string& Folder);
    /// Stops watching Folder and everything below it (nothing when it is not watched). Changes
    /// already gathered stay; its files are not reported as deleted.
    void RemoveTree(const std::string& Folder);

    /// Starts the thread. ChangesReady is called on the watcher's thread, without any lock, once
    /// per delivered batch; it should only post a message to the front end's own thread, which
    /// then calls TakeChanges. Fails when already started or when inotify is unavailable.
    TStatus Start(std::function<void()> ChangesReady);
    /// Takes every change delivered so far and not yet taken (empty when none). Batches not taken
    /// in between are merged with the same rules as changes within a batch. A Rescan comes first.
    std::vector<TFileChange> TakeChanges();
    /// Ends the thread promptly and waits for it; changes still settling are dropped and
    /// ChangesReady is not called again. Idempotent.
    void Stop();

private:
    /// The files of one watched folder, by name, as the watcher knows them.
    struct TFolder {
        std::string Path;
        std::unordered_set<std::string> Files;
    };

    /// Changed files in order of their first change, each with its state before and after.
    class TBatch {
    public:
        /// Records that Path exists (or not) now; ExistedBefore counts only for a new entry.
        void Note(const std::string& Path, bool ExistedBefore, bool ExistsNow);
        /// Adds the changes of Later, which happened after this batch's.
        void Merge(const TBatch& Later);
        /// Whether Changes() would be non-empty.
        bool HasChanges() const;
        /// Number of Note calls ever made; Clear keeps it, so a change shows between two reads.
        size_t Notes() const { return FNotes; }
        void Clear();
        std::vector<TFileChange> Changes() const;
        bool FRescan = false;

    private:
        struct TEntry {
            std::string Path;
            bool ExistedBefore;
            bool ExistsNow;
        };
        std::vector<TEntry> FEntries;
        std::unordered_map<std::string, size_t> FIndex;
        size_t FNotes = 0;
    };

    // The members below up to Run are called with FLock held.

    /// Watches Root and the wanted folders below it; Report notes their files as created.
    /// Added (may be null) receives the new watch descriptors, so a failed call can be undone.
    TStatus AddFolderTree(const std::string& Root, bool IsRoot, bool Report,
                          std::vector<int>* Added);
    /// Fills Folder.Files from the disk and appends its wanted subfolders.
    void ListFolder(TFolder& Folder, bool Report, std::vector<std::string>& Subfolders);
    /// Stops watching Path and every folder below it.
    void DropTree(const std::string& Path, bool ReportDeleted);
    void DropFolder(int Wd, bool ReportDeleted);
    /// After lost events: re-reads every watched folder and asks the front end for a rescan.
    void Resync(std::vector<std::string>& Errors);
    void HandleEvent(int Wd, uint32_t Mask, const char* Name, std::vector<std::string>& Errors);
    bool WantFolder(const std::string& Path) const;
    bool WantFile(const std::string& Path) const;

    void Run();
    /// Reads and handles every queued event; takes FLock itself.
    void ReadEvents(std::vector<std::string>& Errors);
    void ReportError(const std::string& Message) const;

    const TFileWatcherOptions FOptions;
    const int FInotify;  // -1 when inotify_init1 failed
    const int FWake;     // eventfd that Stop writes to wake poll(); -1 when it failed
    TStatus FInitStatus; // why FInotify or FWake is -1

    // Lock order: FStopLock before FLock. FLock is never held while ChangesReady or OnError
    // runs; the filters run under it.
    std::mutex FStopLock;
    std::mutex FLock;
    std::unordered_map<int, TFolder> FFolders; // by watch descriptor
    std::map<std::string, int> FWdByPath;      // ordered, so a tree is a range of paths
    std::set<std::string> FRoots;
    TBatch FPending; // gathered, still settling
    TBatch FReady;   // delivered, not taken yet
    std::function<void()> FChangesReady;
    bool FStarted = false;
    std::thread FThread;
};
