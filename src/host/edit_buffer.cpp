#include "host/edit_buffer.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <random>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

/// The largest text a buffer holds: offsets are int.
constexpr std::uintmax_t MaxTextSize = INT_MAX;

/// strerror in the lower case our messages use ("no such file or directory").
std::string Reason(int Error) {
    std::string S = std::strerror(Error);
    if (!S.empty() && std::isupper(static_cast<unsigned char>(S[0])) &&
        !(S.size() > 1 && std::isupper(static_cast<unsigned char>(S[1]))))
        S[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(S[0])));
    return S;
}

TDiskStamp StampOf(const struct stat& St) {
    TDiskStamp S;
    S.Exists = true;
    S.Size = static_cast<std::uintmax_t>(St.st_size);
    S.MTimeNs = static_cast<std::int64_t>(St.st_mtim.tv_sec) * 1000000000 + St.st_mtim.tv_nsec;
    S.Inode = static_cast<std::uintmax_t>(St.st_ino);
    return S;
}

/// Closes a file descriptor when it goes out of scope.
class TFd {
public:
    explicit TFd(int Fd = -1) : FFd(Fd) {}
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    ~TFd() {
        if (FFd >= 0)
            ::close(FFd);
    }
    int Get() const { return FFd; }
    void Reset(int Fd) {
        if (FFd >= 0)
            ::close(FFd);
        FFd = Fd;
    }
    /// Closes now and reports the close error, which for a written file may be the first sign
    /// of a failed write.
    int Close() {
        int R = ::close(FFd);
        FFd = -1;
        return R;
    }

private:
    int FFd;
};

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

bool WriteAll(int Fd, std::string_view Text, int& Error) {
    while (!Text.empty()) {
        size_t Part = std::min<size_t>(Text.size(), size_t(1) << 30);
        ssize_t N = ::write(Fd, Text.data(), Part);
        if (N < 0) {
            if (errno == EINTR)
                continue;
            Error = errno;
            return false;
        }
        Text.remove_prefix(static_cast<size_t>(N));
    }
    return true;
}

/// A name no other file in the folder has yet; the leading dot keeps it out of listings, and
/// the suffix tells where a stray one came from.
std::string TempName(const fs::path& Folder, const std::string& Base) {
    static const char Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 Random{std::random_device{}() ^
                                        std::hash<std::thread::id>{}(std::this_thread::get_id())};
    std::string Suffix(6, 'X');
    for (char& C : Suffix)
        C = Alphabet[Random() % (sizeof Alphabet - 1)];
    // Shortened so that a name close to the file system's limit still gets a temporary copy.
    return (Folder / ("." + Base.substr(0, 200) + ".todolist-" + Suffix)).string();
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
        return Fail(Reason(errno));
    // The stamp is taken before reading: a change made while we read then shows up as a
    // different stamp at save time, never as a stamp that matches mixed bytes.
    struct stat St;
    if (::fstat(Fd.Get(), &St) != 0)
        return Fail(Reason(errno));
    if (S_ISDIR(St.st_mode))
        return Fail(Reason(EISDIR));
    if (!S_ISREG(St.st_mode))
        return Fail("not a regular file");
    if (static_cast<std::uintmax_t>(St.st_size) > MaxTextSize)
        return Fail("file is 2 GiB or larger");
    std::string Text;
    int Error = 0;
    if (!ReadAll(Fd.Get(), static_cast<std::uintmax_t>(St.st_size), Text, Error))
        return Fail(Error == EFBIG ? "file is 2 GiB or larger" : Reason(Error));
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
    std::error_code Ec;

    // Write through a symbolic link to its target instead of replacing the link by a file.
    fs::path Target = Name;
    if (fs::is_symlink(Target, Ec)) {
        fs::path Resolved = fs::canonical(Target, Ec);
        if (Ec)
            return Fail("cannot follow the symbolic link: " + Reason(Ec.value()));
        Target = Resolved;
    }
    fs::path Folder = Target.parent_path();
    if (Folder.empty())
        Folder = ".";
    struct stat FolderSt;
    if (::stat(Folder.c_str(), &FolderSt) != 0) {
        int E = errno;
        return E == ENOENT ? Fail("folder " + Folder.string() + " does not exist")
                           : Fail("folder " + Folder.string() + ": " + Reason(E));
    }
    if (!S_ISDIR(FolderSt.st_mode))
        return Fail(Folder.string() + " is not a folder");
    if (::access(Folder.c_str(), W_OK | X_OK) != 0)
        return Fail("folder " + Folder.string() + " is not writable");

    // What the file is now decides whether we may replace it and which mode the copy gets.
    bool Exists = false;
    mode_t Mode = 0644; // a new file: the kernel takes the umask off at creation
    uid_t Owner = 0;
    gid_t Group = 0;
    struct stat St;
    if (::stat(Target.c_str(), &St) == 0) {
        Exists = true;
        if (S_ISDIR(St.st_mode))
            return Fail(Reason(EISDIR));
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
        Mode = St.st_mode & 07777;
        Owner = St.st_uid;
        Group = St.st_gid;
    } else if (int E = errno; E != ENOENT) {
        return Fail(Reason(E));
    }

    std::string Temp;
    TFd Fd;
    for (int Attempt = 0; Attempt < 100 && Fd.Get() < 0; ++Attempt) {
        Temp = TempName(Folder, Target.filename().string());
        // An existing file's mode is applied below; until then only we may read the copy.
        int NewFd =
            ::open(Temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, Exists ? 0600 : Mode);
        int E = errno;
        if (NewFd >= 0)
            Fd.Reset(NewFd);
        else if (E != EEXIST)
            return Fail("cannot create a temporary file in " + Folder.string() + ": " + Reason(E));
    }
    if (Fd.Get() < 0)
        return Fail("cannot create a temporary file in " + Folder.string());
    // From here on every failure removes the copy; the original has not been touched.
    auto FailTemp = [&](const std::string& Why) {
        ::unlink(Temp.c_str());
        return Fail(Why);
    };
    auto FailWrite = [&](int E) { return FailTemp("cannot write " + Temp + ": " + Reason(E)); };
    int Error = 0;
    if (!WriteAll(Fd.Get(), FText, Error))
        return FailWrite(Error);
    if (Exists) {
        // Keep the owner when we may (root saving someone else's file); a plain user cannot
        // give a file away, and then the copy stays ours, as with any editor.
        if (St.st_uid != ::geteuid() || St.st_gid != ::getegid()) {
            [[maybe_unused]] int Kept = ::fchown(Fd.Get(), Owner, Group);
        }
        if (::fchmod(Fd.Get(), Mode) != 0) {
            int E = errno;
            return FailTemp("cannot set the permissions of " + Temp + ": " + Reason(E));
        }
    }
    if (::fsync(Fd.Get()) != 0 && errno != EINVAL)
        return FailWrite(errno);
    struct stat Written;
    if (::fstat(Fd.Get(), &Written) != 0)
        return FailWrite(errno);
    if (Fd.Close() != 0)
        return FailWrite(errno);
    if (::rename(Temp.c_str(), Target.c_str()) != 0) {
        int E = errno;
        return FailTemp("cannot replace the file: " + Reason(E));
    }

    // Make the rename itself durable. The file is in place already; a folder that cannot be
    // synced (some file systems refuse) is no reason to report a failed save.
    TFd Dir(::open(Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (Dir.Get() >= 0)
        (void)::fsync(Dir.Get());

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
