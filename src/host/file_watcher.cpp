#include "host/file_watcher.h"

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <utility>

#include <dirent.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// IN_EXCL_UNLINK: a file deleted while a program still writes it reports nothing more.
constexpr uint32_t WatchMask = IN_CLOSE_WRITE | IN_MODIFY | IN_CREATE | IN_DELETE | IN_MOVED_FROM |
                               IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR |
                               IN_EXCL_UNLINK;

std::string Join(const std::string& Folder, const char* Name) {
    return Folder == "/" ? "/" + std::string(Name) : Folder + '/' + Name;
}

/// The absolute, lexically normal form of Folder, without a trailing separator.
std::string NormalFolder(const std::string& Folder) {
    std::error_code Ec;
    std::string Path = std::filesystem::absolute(Folder, Ec).lexically_normal().string();
    while (Path.size() > 1 && Path.back() == '/')
        Path.pop_back();
    return Path;
}

TStatus WatchError(const std::string& Path, int Error) {
    if (Error == ENOSPC)
        return TStatus::Error("cannot watch " + Path +
                              ": the inotify watch limit is reached (raise "
                              "/proc/sys/fs/inotify/max_user_watches)");
    return TStatus::Error("cannot watch " + Path + ": " + std::strerror(Error));
}

void ReportToStandardError(const std::string& Message) {
    std::cerr << "todolist: error: " << Message << '\n';
}

} // namespace

void TFileWatcher::TBatch::Note(const std::string& Path, bool ExistedBefore, bool ExistsNow) {
    auto [It, New] = FIndex.try_emplace(Path, FEntries.size());
    if (New)
        FEntries.push_back({Path, ExistedBefore, ExistsNow});
    else
        FEntries[It->second].ExistsNow = ExistsNow;
    ++FNotes;
}

void TFileWatcher::TBatch::Merge(const TBatch& Later) {
    FRescan = FRescan || Later.FRescan;
    for (const TEntry& E : Later.FEntries) {
        if (auto It = FIndex.find(E.Path); It != FIndex.end())
            FEntries[It->second].ExistsNow = E.ExistsNow;
        else if (E.ExistedBefore || E.ExistsNow)
            Note(E.Path, E.ExistedBefore, E.ExistsNow);
    }
}

bool TFileWatcher::TBatch::HasChanges() const {
    return FRescan || std::any_of(FEntries.begin(), FEntries.end(),
                                  [](const TEntry& E) { return E.ExistedBefore || E.ExistsNow; });
}

void TFileWatcher::TBatch::Clear() {
    FEntries.clear();
    FIndex.clear();
    FRescan = false;
}

std::vector<TFileChange> TFileWatcher::TBatch::Changes() const {
    std::vector<TFileChange> Changes;
    if (FRescan)
        Changes.push_back({"", TFileChangeKind::Rescan});
    for (const TEntry& E : FEntries) {
        if (E.ExistedBefore && E.ExistsNow)
            Changes.push_back({E.Path, TFileChangeKind::Modified});
        else if (E.ExistsNow)
            Changes.push_back({E.Path, TFileChangeKind::Created});
        else if (E.ExistedBefore)
            Changes.push_back({E.Path, TFileChangeKind::Deleted});
    }
    return Changes;
}

TFileWatcher::TFileWatcher(TFileWatcherOptions Options)
    : FOptions(std::move(Options)), FInotify(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)),
      FWake(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    if (FInotify < 0)
        FInitStatus =
            TStatus::Error(std::string("cannot watch files: inotify: ") + std::strerror(errno));
    else if (FWake < 0)
        FInitStatus =
            TStatus::Error(std::string("cannot watch files: eventfd: ") + std::strerror(errno));
}

TFileWatcher::~TFileWatcher() {
    Stop();
    if (FInotify >= 0)
        ::close(FInotify);
    if (FWake >= 0)
        ::close(FWake);
}

TStatus TFileWatcher::AddTree(const std::string& Folder) {
    if (!FInitStatus)
        return FInitStatus;
    const std::string Root = NormalFolder(Folder);
    // Holding the lock for the whole walk keeps the watcher's thread from seeing a half-added
    // tree; the kernel queues the events meanwhile.
    std::scoped_lock Lock(FLock);
    std::vector<int> Added;
    TStatus Status = AddFolderTree(Root, true, false, &Added);
    if (!Status) {
        for (int Wd : Added)
            DropFolder(Wd, false);
        return Status;
    }
    FRoots.insert(Root);
    return {};
}

void TFileWatcher::RemoveTree(const std::string& Folder) {
    const std::string Root = NormalFolder(Folder);
    std::scoped_lock Lock(FLock);
    DropTree(Root, false);
    FRoots.erase(Root);
}

TStatus TFileWatcher::Start(std::function<void()> ChangesReady) {
    if (!FInitStatus)
        return FInitStatus;
    std::scoped_lock StopLock(FStopLock);
    if (FStarted)
        return TStatus::Error("the file watcher was started already");
    FStarted = true;
    FChangesReady = std::move(ChangesReady);
    FThread = std::thread([this] { Run(); });
    return {};
}

std::vector<TFileChange> TFileWatcher::TakeChanges() {
    std::scoped_lock Lock(FLock);
    auto Changes = FReady.Changes();
    FReady.Clear();
    return Changes;
}

void TFileWatcher::Stop() {
    std::scoped_lock StopLock(FStopLock);
    if (!FThread.joinable())
        return;
    assert(std::this_thread::get_id() != FThread.get_id() && "Stop called from ChangesReady");
    const uint64_t One = 1;
    [[maybe_unused]] ssize_t Written = ::write(FWake, &One, sizeof One);
    FThread.join();
}

bool TFileWatcher::WantFolder(const std::string& Path) const {
    return !FOptions.FolderFilter || FOptions.FolderFilter(Path);
}

bool TFileWatcher::WantFile(const std::string& Path) const {
    return !FOptions.FileFilter || FOptions.FileFilter(Path);
}

TStatus TFileWatcher::AddFolderTree(const std::string& Root, bool IsRoot, bool Report,
                                    std::vector<int>* Added) {
    std::vector<std::string> Stack{Root};
    for (bool First = true; !Stack.empty(); First = false) {
        const std::string Path = std::move(Stack.back());
        Stack.pop_back();
        // The root may be a link the user named; links met below it are not followed.
        const bool Follow = First && IsRoot;
        const int Wd = inotify_add_watch(FInotify, Path.c_str(),
                                         WatchMask | (Follow ? 0 : uint32_t(IN_DONT_FOLLOW)));
        if (Wd < 0) {
            const int Error = errno;
            // A subfolder deleted or locked since it was listed is simply not watched.
            if (!Follow && Error != ENOSPC && Error != ENOMEM)
                continue;
            return WatchError(Path, Error);
        }
        auto [It, New] = FFolders.try_emplace(Wd);
        if (!New)
            continue; // watched already, with what lies below it
        It->second.Path = Path;
        FWdByPath[Path] = Wd;
        if (Added)
            Added->push_back(Wd);
        // Listed after the watch exists, so a file created meanwhile is either listed here or
        // reported by an event (or both: the batch keeps it once).
        ListFolder(It->second, Report, Stack);
    }
    return {};
}

void TFileWatcher::ListFolder(TFolder& Folder, bool Report, std::vector<std::string>& Subfolders) {
    DIR* Dir = ::opendir(Folder.Path.c_str());
    if (!Dir)
        return; // removed meanwhile: its own events follow
    while (const dirent* Entry = ::readdir(Dir)) {
        if (std::strcmp(Entry->d_name, ".") == 0 || std::strcmp(Entry->d_name, "..") == 0)
            continue;
        const std::string Path = Join(Folder.Path, Entry->d_name);
        bool IsFolder = Entry->d_type == DT_DIR;
        if (Entry->d_type == DT_UNKNOWN) {
            struct stat St;
            if (::lstat(Path.c_str(), &St) != 0)
                continue;
            IsFolder = S_ISDIR(St.st_mode);
        }
        if (IsFolder) {
            if (WantFolder(Path))
                Subfolders.push_back(Path);
        } else if (WantFile(Path)) {
            Folder.Files.insert(Entry->d_name);
            if (Report)
                FPending.Note(Path, false, true);
        }
    }
    ::closedir(Dir);
}

void TFileWatcher::DropTree(const std::string& Path, bool ReportDeleted) {
    std::vector<int> Wds;
    if (auto It = FWdByPath.find(Path); It != FWdByPath.end())
        Wds.push_back(It->second);
    // Every path below Path starts with Path + '/', and such paths sort together.
    const std::string Prefix = Path == "/" ? Path : Path + '/';
    for (auto It = FWdByPath.lower_bound(Prefix);
         It != FWdByPath.end() && It->first.compare(0, Prefix.size(), Prefix) == 0; ++It)
        Wds.push_back(It->second);
    for (int Wd : Wds)
        DropFolder(Wd, ReportDeleted);
}

void TFileWatcher::DropFolder(int Wd, bool ReportDeleted) {
    auto It = FFolders.find(Wd);
    if (It == FFolders.end())
        return;
    ::inotify_rm_watch(FInotify, Wd); // fails when the kernel dropped it already: fine
    const TFolder& Folder = It->second;
    if (ReportDeleted)
        for (const std::string& Name : Folder.Files)
            FPending.Note(Join(Folder.Path, Name.c_str()), true, false);
    if (auto P = FWdByPath.find(Folder.Path); P != FWdByPath.end() && P->second == Wd)
        FWdByPath.erase(P);
    FFolders.erase(It);
}

void TFileWatcher::Resync(std::vector<std::string>& Errors) {
    FPending.FRescan = true;
    // The front end re-reads everything, so only the watcher's own picture must be made right:
    // which files exist and which folders are watched.
    std::vector<std::pair<int, std::string>> Folders;
    for (const auto& [Wd, Folder] : FFolders)
        Folders.emplace_back(Wd, Folder.Path);
    std::vector<std::string> Subfolders;
    for (const auto& [Wd, Path] : Folders) {
        struct stat St;
        if (::lstat(Path.c_str(), &St) != 0 || !S_ISDIR(St.st_mode)) {
            DropFolder(Wd, false);
            continue;
        }
        TFolder& Folder = FFolders[Wd];
        Folder.Files.clear();
        ListFolder(Folder, false, Subfolders);
    }
    for (const std::string& Path : Subfolders)
        if (!FWdByPath.count(Path))
            if (TStatus Status = AddFolderTree(Path, false, false, nullptr); !Status)
                Errors.push_back(Status.Message());
}

void TFileWatcher::HandleEvent(int Wd, uint32_t Mask, const char* Name,
                               std::vector<std::string>& Errors) {
    if (Mask & IN_Q_OVERFLOW) {
        Resync(Errors);
        return;
    }
    auto It = FFolders.find(Wd);
    if (It == FFolders.end())
        return; // a watch removed since the event was queued
    TFolder& Folder = It->second;
    if (Mask & IN_IGNORED) { // the kernel dropped the watch: the folder is gone
        DropFolder(Wd, true);
        return;
    }
    if (Mask & (IN_DELETE_SELF | IN_MOVE_SELF)) {
        // A subfolder's parent reports it as a folder deleted or moved away; a root has none.
        if (FRoots.erase(Folder.Path))
            DropTree(std::string(Folder.Path), true);
        return;
    }
    if (!Name || !*Name)
        return;
    const std::string Path = Join(Folder.Path, Name);
    if (Mask & IN_ISDIR) {
        if (Mask & (IN_CREATE | IN_MOVED_TO)) {
            if (WantFolder(Path))
                if (TStatus Status = AddFolderTree(Path, false, true, nullptr); !Status)
                    Errors.push_back(Status.Message());
        } else if (Mask & (IN_DELETE | IN_MOVED_FROM)) {
            DropTree(Path, true);
        }
        return;
    }
    if (!WantFile(Path))
        return;
    const bool ExistsNow = !(Mask & (IN_DELETE | IN_MOVED_FROM));
    FPending.Note(Path, Folder.Files.count(Name) != 0, ExistsNow);
    if (ExistsNow)
        Folder.Files.insert(Name);
    else
        Folder.Files.erase(Name);
}

void TFileWatcher::ReadEvents(std::vector<std::string>& Errors) {
    alignas(inotify_event) char Buffer[64 * 1024];
    for (;;) {
        const ssize_t Size = ::read(FInotify, Buffer, sizeof Buffer);
        if (Size < 0 && errno == EINTR)
            continue;
        if (Size <= 0)
            return; // EAGAIN: the queue is empty
        std::scoped_lock Lock(FLock);
        for (ssize_t At = 0; At < Size;) {
            const auto* Event = reinterpret_cast<const inotify_event*>(Buffer + At);
            HandleEvent(Event->wd, Event->mask, Event->len ? Event->name : nullptr, Errors);
            At += sizeof(inotify_event) + Event->len;
        }
    }
}

void TFileWatcher::Run() {
    using TClock = std::chrono::steady_clock;
    pollfd Fds[2] = {{FInotify, POLLIN, 0}, {FWake, POLLIN, 0}};
    bool Settling = false; // FPending holds changes not delivered yet
    TClock::time_point First, Last;
    auto Deadline = [&] { return std::min(Last + FOptions.Debounce, First + FOptions.MaxDelay); };
    for (;;) {
        int Timeout = -1; // idle: sleep until something happens
        if (Settling) {
            const auto Left =
                std::chrono::ceil<std::chrono::milliseconds>(Deadline() - TClock::now());
            Timeout = int(std::max<std::chrono::milliseconds::rep>(Left.count(), 0));
        }
        Fds[0].revents = Fds[1].revents = 0;
        if (::poll(Fds, 2, Timeout) < 0 && errno != EINTR) {
            ReportError(std::string("file watcher stopped: poll: ") + std::strerror(errno));
            return;
        }
        if (Fds[1].revents)
            return; // Stop
        if (Fds[0].revents & POLLIN) {
            std::vector<std::string> Errors;
            size_t NotesBefore;
            {
                std::scoped_lock Lock(FLock);
                NotesBefore = FPending.Notes();
            }
            ReadEvents(Errors);
            for (const std::string& Message : Errors)
                ReportError(Message);
            bool Noted;
            {
                std::scoped_lock Lock(FLock);
                Noted = FPending.Notes() != NotesBefore || FPending.FRescan;
            }
            if (Noted) {
                Last = TClock::now();
                if (!Settling)
                    First = Last;
                Settling = true;
            }
        }
        if (Settling && TClock::now() >= Deadline()) {
            Settling = false;
            bool Deliver;
            {
                std::scoped_lock Lock(FLock);
                Deliver = FPending.HasChanges();
                FReady.Merge(FPending);
                FPending.Clear();
            }
            if (Deliver && FChangesReady)
                FChangesReady();
        }
    }
}

void TFileWatcher::ReportError(const std::string& Message) const {
    if (FOptions.OnError)
        FOptions.OnError(Message);
    else
        ReportToStandardError(Message);
}
