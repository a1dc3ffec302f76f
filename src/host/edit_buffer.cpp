#include "host/edit_buffer.h"

#include "host/file_io.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <filesystem>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

/// The largest text a buffer holds: offsets are int.
constexpr std::uintmax_t MaxTextSize = INT_MAX;

TDiskStamp StampOf(const struct stat& St) {
    TDiskStamp S;
    S.Exists = true;
    S.Size = static_cast<std::uintmax_t>(St.st_size);
    S.MTimeNs = static_cast<std::int64_t>(St.st_mtim.tv_sec) * 1000000000 + St.st_mtim.tv_nsec;
    S.Inode = static_cast<std::uintmax_t>(St.st_ino);
    return S;
}

/// Reads all of Fd (Size bytes expected, more or less tolerated) into Text.
bool ReadAll(int Fd, std::uintmax_t Size, std::string& Text, int& Error) {
    // Read straight into the text (files are usually as large as fstat said); a file that grows
    // meanwhile is read on in chunks, one that shrinks is cut to what was read.
    Text.resize(static_cast<size_t>(Size));
    size_t Got = 0;
    char Chunk[16384];
    for (;;) {
        const bool Full = Got == Text.size();
        char* To = Full ? Chunk : Text.data() + Got;
        const size_t Room = Full ? sizeof Chunk : Text.size() - Got;
        ssize_t N = ::read(Fd, To, Room);
        if (N < 0) {
            if (errno == EINTR)
                continue;
            Error = errno;
            return false;
        }
        if (N == 0) {
            Text.resize(Got);
            return true;
        }
        if (Got + static_cast<size_t>(N) > MaxTextSize) {
            Error = EFBIG;
            return false;
        }
        if (Full)
            Text.append(Chunk, static_cast<size_t>(N));
        Got += static_cast<size_t>(N);
    }
}

bool RangeOk(int StartPos, int EndPos, size_t Size) {
    return StartPos >= 0 && StartPos <= EndPos && static_cast<size_t>(EndPos) <= Size;
}

TStatus RangeError(int StartPos, int EndPos, size_t Size) {
    return TStatus::Error("range " + std::to_string(StartPos) + ".." + std::to_string(EndPos) +
                          " lies outside the text of " + std::to_string(Size) + " bytes");
}

} // namespace

TDiskStamp StampOfFile(const std::string& FileName) {
    struct stat St;
    if (::stat(FileName.c_str(), &St) != 0)
        return {};
    return StampOf(St);
}

TEditBuffer::TEditBuffer(std::string FileName, std::string Text, TDiskStamp Stamp)
    : FFileName(std::move(FileName)), FText(std::move(Text)), FStamp(Stamp) {}

TResult<std::string> TEditBuffer::ReadFile(const std::string& FileName, TDiskStamp* Stamp) {
    auto Fail = [&](const std::string& Why) {
        return TStatus::Error("cannot read " + FileName + ": " + Why);
    };
    // O_NONBLOCK: opening a FIFO must not hang; it is refused below like any non-regular file.
    TFd Fd(::open(FileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (Fd.Get() < 0)
        return Fail(ErrnoText(errno));
    // The stamp is taken before reading: a change made while we read then shows up as a
    // different stamp at save time, never as a stamp that matches mixed bytes.
    struct stat St;
    if (::fstat(Fd.Get(), &St) != 0)
        return Fail(ErrnoText(errno));
    if (S_ISDIR(St.st_mode))
        return Fail(ErrnoText(EISDIR));
    if (!S_ISREG(St.st_mode))
        return Fail("not a regular file");
    if (static_cast<std::uintmax_t>(St.st_size) > MaxTextSize)
        return Fail("file is 2 GiB or larger");
    std::string Text;
    int Error = 0;
    if (!ReadAll(Fd.Get(), static_cast<std::uintmax_t>(St.st_size), Text, Error))
        return Fail(Error == EFBIG ? "file is 2 GiB or larger" : ErrnoText(Error));
    if (Stamp)
        *Stamp = StampOf(St);
    return Text;
}

std::string TEditBuffer::GetFileName() const {
    std::scoped_lock Lock(FLock);
    return FFileName;
}

void TEditBuffer::SetFileName(std::string FileName) {
    std::scoped_lock Lock(FLock);
    FFileName = std::move(FileName);
}

std::string TEditBuffer::GetText() const {
    std::scoped_lock Lock(FLock);
    return FText;
}

void TEditBuffer::WithText(const std::function<void(std::string_view)>& Fn) const {
    std::scoped_lock Lock(FLock);
    Fn(FText);
}

int TEditBuffer::GetSize() const {
    std::scoped_lock Lock(FLock);
    return static_cast<int>(FText.size());
}

bool TEditBuffer::HoldsText(int Pos, std::string_view Text) const {
    std::scoped_lock Lock(FLock);
    if (Pos < 0 || static_cast<size_t>(Pos) > FText.size() ||
        Text.size() > FText.size() - static_cast<size_t>(Pos))
        return false;
    return std::string_view(FText).substr(static_cast<size_t>(Pos), Text.size()) == Text;
}

TStatus TEditBuffer::Delete(int StartPos, int EndPos) {
    return Replace(StartPos, EndPos, {});
}

TStatus TEditBuffer::Insert(int Pos, std::string_view Text) {
    return Replace(Pos, Pos, Text);
}

TStatus TEditBuffer::Replace(int StartPos, int EndPos, std::string_view Text) {
    std::scoped_lock Lock(FLock);
    if (!RangeOk(StartPos, EndPos, FText.size()))
        return RangeError(StartPos, EndPos, FText.size());
    size_t Removed = static_cast<size_t>(EndPos - StartPos);
    if (FText.size() - Removed + Text.size() > MaxTextSize)
        return TStatus::Error("the text of " + FFileName + " would reach 2 GiB");
    if (Removed == 0 && Text.empty())
        return {};
    if (!FDiskText)
        FDiskText = FText;
    FText.replace(static_cast<size_t>(StartPos), Removed, Text);
    FModified = true;
    return {};
}

bool TEditBuffer::GetModified() const {
    std::scoped_lock Lock(FLock);
    return FModified;
}

void TEditBuffer::SetModified(bool Value) {
    std::scoped_lock Lock(FLock);
    FModified = Value;
}

// Save holds the buffer's lock from the first check to the recorded stamp, so an edit cannot
// slip in between the bytes written and the Modified flag cleared; readers wait for one write.
TStatus TEditBuffer::Save() {
    std::scoped_lock Lock(FLock);
    const std::string& Name = FFileName;
    auto Fail = [&](const std::string& Why) {
        return TStatus::Error("cannot save " + Name + ": " + Why);
    };

    auto Followed = FollowSymlink(Name);
    if (!Followed)
        return Fail(Followed.Status().Message());
    const fs::path Target = Followed.Value();
    fs::path Folder = Target.parent_path();
    if (Folder.empty())
        Folder = ".";
    struct stat FolderSt;
    if (::stat(Folder.c_str(), &FolderSt) != 0) {
        int E = errno;
        return E == ENOENT ? Fail("folder " + Folder.string() + " does not exist")
                           : Fail("folder " + Folder.string() + ": " + ErrnoText(E));
    }
    if (!S_ISDIR(FolderSt.st_mode))
        return Fail(Folder.string() + " is not a folder");
    if (::access(Folder.c_str(), W_OK | X_OK) != 0)
        return Fail("folder " + Folder.string() + " is not writable");

    // What the file is now decides whether we may replace it and which mode the copy gets.
    struct stat St;
    const bool Exists = ::stat(Target.c_str(), &St) == 0;
    if (Exists) {
        if (S_ISDIR(St.st_mode))
            return Fail(ErrnoText(EISDIR));
        if (!S_ISREG(St.st_mode))
            return Fail("not a regular file");
        // The rename would succeed on a read-only file, but whoever took away its write bits
        // does not want it replaced. access() misses that for root, hence the mode test too.
        if (::access(Target.c_str(), W_OK) != 0 || (St.st_mode & 0222) == 0)
            return Fail("the file is read-only");
        if (StampOf(St) != FStamp) {
            TDiskStamp Now;
            auto OnDisk = ReadFile(Target.string(), &Now);
            if (!OnDisk)
                return OnDisk.Status();
            if (OnDisk.Value() != (FDiskText ? *FDiskText : FText))
                return TStatus::Error(Name + " changed on disk since it was read; not overwritten");
        }
    } else if (int E = errno; E != ENOENT) {
        return Fail(ErrnoText(E));
    }

    // A new file gets 0644 less the umask, as from any editor.
    TAtomicWriteOptions Options;
    Options.Existing = Exists ? &St : nullptr;
    // Writing and syncing the copy takes time: another program's save that lands meanwhile
    // must not be renamed over either.
    Options.StillSame = [&] {
        struct stat Now;
        const bool ExistsNow = ::stat(Target.c_str(), &Now) == 0;
        return ExistsNow == Exists && (!Exists || StampOf(Now) == StampOf(St));
    };
    bool Abandoned = false;
    struct stat Written;
    if (TStatus S = WriteFileAtomically(Target, FText, Options, &Abandoned, &Written); !S)
        return Fail(S.Message());
    if (Abandoned)
        return TStatus::Error(Name + " changed on disk while it was being saved; not overwritten");

    // rename keeps the inode and the modification time, so the copy's stamp is the file's.
    FStamp = StampOf(Written);
    FDiskText.reset();
    FModified = false;
    return {};
}

TStatus TEditBuffer::Reload() {
    std::string Name = GetFileName();
    TDiskStamp Stamp;
    auto Read = ReadFile(Name, &Stamp);
    if (!Read)
        return Read.Status();
    std::scoped_lock Lock(FLock);
    FText = std::move(Read.Value());
    FStamp = Stamp;
    FDiskText.reset();
    FModified = false;
    FCursorPos = std::min(FCursorPos, static_cast<int>(FText.size()));
    return {};
}

bool TEditBuffer::ChangedOnDisk() const {
    std::string Name;
    TDiskStamp Known;
    {
        std::scoped_lock Lock(FLock);
        Name = FFileName;
        Known = FStamp;
    }
    const TDiskStamp Now = StampOfFile(Name);
    if (Now.Exists != Known.Exists)
        return true;
    if (!Now.Exists || Now == Known)
        return false;
    auto OnDisk = ReadFile(Name, nullptr);
    if (!OnDisk)
        return true;
    std::scoped_lock Lock(FLock);
    return OnDisk.Value() != (FDiskText ? *FDiskText : FText);
}

void TEditBuffer::AdoptDiskState() {
    const std::string Name = GetFileName();
    TDiskStamp Stamp;
    auto OnDisk = ReadFile(Name, &Stamp);
    std::scoped_lock Lock(FLock);
    if (!OnDisk) {
        // Gone or unreadable: Save then writes a new file or reports why it cannot.
        FStamp = StampOfFile(Name);
        return;
    }
    FStamp = Stamp;
    if (OnDisk.Value() != FText)
        FDiskText = std::move(OnDisk.Value());
    else
        FDiskText.reset();
}

void TEditBuffer::ShowText(int Line, int Pos) {
    {
        std::scoped_lock Lock(FLock);
        size_t Offset = 0;
        if (Line < 1) {
            Offset = static_cast<size_t>(std::max(Pos, 0));
        } else {
            // Line is 1-based, Pos a 0-based byte column that does not leave the line.
            size_t LineStart = 0;
            for (int L = 1; L < Line && LineStart <= FText.size(); ++L) {
                size_t Break = FText.find('\n', LineStart);
                LineStart = Break == std::string::npos ? FText.size() + 1 : Break + 1;
            }
            LineStart = std::min(LineStart, FText.size());
            size_t LineEnd = FText.find('\n', LineStart);
            if (LineEnd == std::string::npos)
                LineEnd = FText.size();
            Offset = std::min(LineStart + static_cast<size_t>(std::max(Pos, 0)), LineEnd);
        }
        FCursorPos = static_cast<int>(std::min(Offset, FText.size()));
    }
    // Called without the lock: the front end reads the buffer to scroll the view.
    if (ShowTextProc)
        ShowTextProc(*this, Line, Pos);
}

int TEditBuffer::GetCursorPos() const {
    std::scoped_lock Lock(FLock);
    return FCursorPos;
}
