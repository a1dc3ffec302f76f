#include "host/file_watcher.h"
#include "host/project_watch.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <fstream>
#include <functional>
#include <map>
#include <thread>

namespace fs = std::filesystem;

namespace {

constexpr std::chrono::seconds Patience{30}; // keeps a broken build from hanging, no speed bound

using TKind = TFileChangeKind;
using TChanges = std::vector<std::pair<std::string, TKind>>; // names relative to the folder

/// Counts ChangesReady calls and lets the test wait for them.
struct TRecorder {
    std::mutex Lock;
    std::condition_variable Called;
    int Calls = 0;

    std::function<void()> Callback() {
        return [this] {
            std::scoped_lock L(Lock);
            ++Calls;
            Called.notify_all();
        };
    }
    int Count() {
        std::scoped_lock L(Lock);
        return Calls;
    }
    bool WaitBeyond(int Seen) {
        std::unique_lock L(Lock);
        return Called.wait_for(L, Patience, [&] { return Calls > Seen; });
    }
};

/// Takes batches until one holds a change of Last (or patience runs out); returns them all.
TChanges CollectUntil(TFileWatcher& Watcher, TRecorder& Recorder, const TTempDir& Dir,
                      const std::string& Last) {
    const std::string Root = Dir.File("");
    TChanges Changes;
    for (int Seen = 0; Recorder.WaitBeyond(Seen);) {
        Seen = Recorder.Count();
        bool Done = false;
        for (const TFileChange& C : Watcher.TakeChanges()) {
            const bool Inside = C.FileName.rfind(Root, 0) == 0;
            Changes.emplace_back(Inside ? C.FileName.substr(Root.size()) : C.FileName, C.Kind);
            Done = Done || Changes.back().first == Last;
        }
        if (Done)
            break;
    }
    return Changes;
}

TFileWatcherOptions FilteringOptions() {
    TFileWatcherOptions Options;
    Options.FolderFilter = [](const std::string& F) { return !F.ends_with("/build"); };
    Options.FileFilter = [](const std::string& F) { return !F.ends_with(".o"); };
    return Options;
}

} // namespace

// Every action runs before the thread starts, so its events wait in one queue and form one batch.
TEST(FileWatcher, ABatchComparesEachFileBeforeAndAfter) {
    using D = const TTempDir&;
    struct TCase {
        const char* Name;
        std::vector<std::string> Before; // files present when the watch starts
        std::function<void(D)> Act;
        TChanges Expected; // followed by the "end" file, created last
        bool AnyOrder = false;
    };
    const TCase Cases[] = {
        {"modify", {"a"}, [](D T) { T.Write("a", "2"); }, {{"a", TKind::Modified}}},
        {"create in order of first change",
         {},
         [](D T) { T.Write("c", "1"), T.Write("b", "1"), T.Write("c", "2"); },
         {{"c", TKind::Created}, {"b", TKind::Created}}},
        {"delete", {"a"}, [](D T) { fs::remove(T.File("a")); }, {{"a", TKind::Deleted}}},
        {"atomic save renames over the original",
         {"a"},
         [](D T) { fs::rename(T.Write("a.tmp", "2"), T.File("a")); },
         {{"a", TKind::Modified}}},
        {"delete and create again",
         {"a"},
         [](D T) {
             fs::remove(T.File("a"));
             T.Write("a", "2");
         },
         {{"a", TKind::Modified}}},
        {"create and delete vanish", {}, [](D T) { fs::remove(T.Write("b", "1")); }, {}},
        {"folder moved away deletes its files",
         {"s/x", "s/t/y"},
         [](D T) { fs::rename(T.File("s"), T.File("build/s")); }, // build is not watched
         {{"s/t/y", TKind::Deleted}, {"s/x", TKind::Deleted}},
         true},
        {"files of a new folder are created once",
         {},
         [](D T) {
             fs::create_directories(T.File("n/m"));
             T.Write("n/m/f", "1");
         },
         {{"n/m/f", TKind::Created}}},
        {"filtered files and folders are ignored",
         {"build/x"},
         [](D T) {
             T.Write("build/x", "2"), T.Write("a.o", "1");
             fs::create_directory(T.File("s/build"));
             T.Write("s/build/y", "1");
         },
         {}},
    };
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        TTempDir Dir;
        fs::create_directories(Dir.File("s"));
        fs::create_directories(Dir.File("build"));
        fs::create_directory_symlink(Dir.File("build"), Dir.File("link")); // must not be followed
        for (const std::string& F : Case.Before) {
            fs::create_directories(fs::path(Dir.File(F)).parent_path());
            Dir.Write(F, "1");
        }
        TFileWatcher Watcher(FilteringOptions());
        ASSERT_TRUE(Watcher.AddTree(Dir.File("")).Ok());
        Case.Act(Dir);
        Dir.Write("end", "");
        TRecorder Recorder;
        ASSERT_TRUE(Watcher.Start(Recorder.Callback()).Ok());
        TChanges Expected = Case.Expected;
        Expected.emplace_back("end", TKind::Created);
        TChanges Actual = CollectUntil(Watcher, Recorder, Dir, "end");
        ASSERT_FALSE(Actual.empty());
        if (Case.AnyOrder) { // folders are walked in the disk's order
            std::sort(Actual.begin(), Actual.end() - 1);
            std::sort(Expected.begin(), Expected.end() - 1);
        }
        EXPECT_EQ(Actual, Expected);
    }
}

TEST(FileWatcher, FoldersCreatedWhileRunningAreWatchedUntilRemoved) {
    TTempDir Dir;
    TFileWatcher Watcher;
    TRecorder Recorder;
    ASSERT_TRUE(Watcher.AddTree(Dir.File("")).Ok());
    ASSERT_TRUE(Watcher.Start(Recorder.Callback()).Ok());
    fs::create_directories(Dir.File("d/e"));
    Dir.Write("d/e/f", "1");
    EXPECT_EQ(CollectUntil(Watcher, Recorder, Dir, "d/e/f"), (TChanges{{"d/e/f", TKind::Created}}));
    Dir.Write("d/e/f", "2"); // now through the new folder's own watch
    EXPECT_EQ(CollectUntil(Watcher, Recorder, Dir, "d/e/f"),
              (TChanges{{"d/e/f", TKind::Modified}}));
    fs::rename(Dir.File("d"), Dir.File("g")); // the old watches must not keep the old names
    EXPECT_EQ(CollectUntil(Watcher, Recorder, Dir, "g/e/f"),
              (TChanges{{"d/e/f", TKind::Deleted}, {"g/e/f", TKind::Created}}));
    Dir.Write("g/e/f", "3");
    EXPECT_EQ(CollectUntil(Watcher, Recorder, Dir, "g/e/f"),
              (TChanges{{"g/e/f", TKind::Modified}}));
    Watcher.RemoveTree(Dir.File("g"));
    Dir.Write("g/e/f", "4");
    Dir.Write("end", "");
    EXPECT_EQ(CollectUntil(Watcher, Recorder, Dir, "end"), (TChanges{{"end", TKind::Created}}));
}

TEST(FileWatcher, ABurstOfWritesComesInFewBatchesWithEachFileOnce) {
    TTempDir Dir;
    TFileWatcherOptions Options;
    Options.MaxDelay = std::chrono::minutes(1); // however slow the (sanitized) writer is
    TFileWatcher Watcher(Options);
    TRecorder Recorder;
    ASSERT_TRUE(Watcher.AddTree(Dir.File("")).Ok());
    ASSERT_TRUE(Watcher.Start(Recorder.Callback()).Ok());
    constexpr int Files = 10000;
    for (int I = 0; I < Files; ++I)
        Dir.Write(std::to_string(I), "x");
    Dir.Write("end", "");
    std::map<std::string, int> Seen;
    for (const auto& [Name, Kind] : CollectUntil(Watcher, Recorder, Dir, "end")) {
        EXPECT_EQ(Kind, TKind::Created) << Name;
        ++Seen[Name];
    }
    EXPECT_EQ(Seen.size(), size_t(Files + 1));
    EXPECT_TRUE(std::all_of(Seen.begin(), Seen.end(), [](const auto& S) { return S.second == 1; }));
    EXPECT_LE(Recorder.Count(), 3);
}

TEST(FileWatcher, LostEventsAskForARescanAndKeepTrackOfFiles) {
    int QueueSize = 16384;
    std::ifstream("/proc/sys/fs/inotify/max_queued_events") >> QueueSize;
    TTempDir Dir;
    TFileWatcher Watcher;
    TRecorder Recorder;
    ASSERT_TRUE(Watcher.AddTree(Dir.File("")).Ok());
    for (int I = 0; I < QueueSize / 2 + 1; ++I) // create, modify, close: well over the queue
        Dir.Write(std::to_string(I), "x");
    ASSERT_TRUE(Watcher.Start(Recorder.Callback()).Ok());
    ASSERT_TRUE(Recorder.WaitBeyond(0));
    const auto Changes = Watcher.TakeChanges();
    ASSERT_FALSE(Changes.empty());
    EXPECT_EQ(Changes[0], (TFileChange{"", TKind::Rescan}));
    Dir.Write("0", "y"); // known again after the rescan: not mistaken for a new file
    EXPECT_EQ(CollectUntil(Watcher, Recorder, Dir, "0"), (TChanges{{"0", TKind::Modified}}));
}

TEST(FileWatcher, StopEndsTheThreadWhileEventsArrive) {
    TTempDir Dir;
    TRecorder Recorder;
    std::atomic<bool> Writing{true};
    std::thread Writer;
    {
        TFileWatcherOptions Options;
        Options.Debounce = std::chrono::milliseconds(1);
        TFileWatcher Watcher(Options);
        ASSERT_TRUE(Watcher.AddTree(Dir.File("")).Ok());
        ASSERT_TRUE(Watcher.Start(Recorder.Callback()).Ok());
        Writer = std::thread([&] {
            for (int I = 0; Writing; ++I)
                Dir.Write(std::to_string(I % 100), "x");
        });
        EXPECT_TRUE(Recorder.WaitBeyond(0)); // no ASSERT: the writer must be joined
        Watcher.Stop();
        const int Calls = Recorder.Count();
        Watcher.Stop(); // idempotent
        EXPECT_EQ(Recorder.Count(), Calls);
        EXPECT_FALSE(Watcher.Start(Recorder.Callback()).Ok()); // no restart
    }                                                          // the destructor after Stop
    Writing = false;
    Writer.join();
}

TEST(FileWatcher, AddTreeReportsAMissingFolder) {
    TTempDir Dir;
    EXPECT_EQ(TFileWatcher().AddTree(Dir.File("missing")).Message(),
              "cannot watch " + Dir.File("missing") + ": No such file or directory");
}

TEST(TopFoldersTest, KeepsOnlyTheFoldersNoOtherContains) {
    using TFolders = std::vector<std::string>;
    const std::pair<TFolders, TFolders> Cases[] = {
        // folders, the top ones
        {{}, {}},
        {{"/p"}, {"/p"}},
        // A name that merely starts like another folder is not inside it.
        {{"/p/src", "/p", "/pa", "/p/src/deep"}, {"/p", "/pa"}},
        {{"/b/x", "/a", "/b/x", "/b/y"}, {"/a", "/b/x", "/b/y"}},
    };
    for (const auto& [Folders, Tops] : Cases)
        EXPECT_EQ(TopFolders(Folders), Tops);
}
