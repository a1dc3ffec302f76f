#pragma once

#include "host/status.h"

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include <sys/stat.h>
#include <sys/types.h>

/// strerror(Error) in the lower case our messages use ("no such file or directory"); a text
/// that starts with an abbreviation ("RPC struct is bad") keeps its capitals.
std::string ErrnoText(int Error);

/// Owns a file descriptor and closes it when it goes out of scope; -1 holds none. Not copyable.
class TFd {
public:
    explicit TFd(int Fd = -1) : FFd(Fd) {}
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    ~TFd();
    /// The descriptor, still owned; -1 when none.
    int Get() const { return FFd; }
    /// Closes the descriptor held (if any) and takes ownership of Fd.
    void Reset(int Fd);
    /// Closes now and returns close()'s result (errno set on -1), which for a written file may
    /// be the first sign of a failed write. Holds none afterwards.
    int Close();

private:
    int FFd;
};

/// Writes all of Text to Fd, in parts of at most 1 GiB, going on after EINTR. False with Error
/// set to errno when a write fails; part of Text may have been written then.
bool WriteAll(int Fd, std::string_view Text, int& Error);

/// A path in Folder for a temporary copy of the file named Base (a name without folder): a
/// leading dot keeps it out of listings, Base is cut to 200 bytes so a name near the file
/// system's limit still fits, and ".todolist-" plus 6 random letters or digits tells where a
/// stray one came from. The file is not created: create it with O_EXCL and try another name on
/// EEXIST. Thread-safe.
std::string TempFileName(const std::filesystem::path& Folder, const std::string& Base);

/// FileName with a symbolic link followed to its final target, so that a save writes through
/// the link instead of replacing it by a file; FileName as it is when it is no link. Fails with
/// "cannot follow the symbolic link: WHY" for a dangling or looping link.
TResult<std::string> FollowSymlink(const std::string& FileName);

/// How WriteFileAtomically sets up the new file and when it gives up.
struct TAtomicWriteOptions {
    /// The file as it is now (from stat), or null when there is none. Its permission bits are
    /// copied exactly and its owner kept when the process may (root saving someone else's file;
    /// a plain user cannot give a file away and then owns the copy). Not owned.
    const struct stat* Existing = nullptr;
    /// The permission bits of a file that does not exist yet.
    mode_t NewFileMode = 0644;
    /// False: the umask applies to NewFileMode, as for any file a program creates. True: the new
    /// file gets exactly NewFileMode and is readable by nobody else before that.
    bool NewFileModeExact = false;
    /// Called after the copy is written and synced, just before the rename. Returning false
    /// abandons the write: the copy is removed, the file is untouched and the result is Ok with
    /// *Abandoned set. Empty: always go on.
    std::function<bool()> StillSame;
};

/// Test seam: when set, WriteFileAtomically calls Hook with the target once the copy is written
/// and synced, before it asks StillSame, as if another program saved the file just then. Lets
/// tests prove that every caller refuses to rename over such a save. Never set in the programs;
/// set or cleared only while no write is under way.
void SetBeforeReplaceHookForTesting(std::function<void(const std::filesystem::path& Target)> Hook);

/// Puts Text in place of the file Target through a temporary copy in the same folder (written,
/// given its permissions, synced, then renamed over Target), so that Target is never
/// half-written; the rename is synced too where the file system allows. Every failure removes
/// the copy and leaves Target untouched. Target must not be a symbolic link (see FollowSymlink);
/// checking that the folder exists and is writable and that Target may be replaced is the
/// caller's. Messages name the step ("cannot write TEMP: WHY", "cannot replace the file: WHY")
/// but not Target, so a caller puts them after its own prefix. Abandoned (may be null) tells
/// whether StillSame stopped the write. Written (may be null) receives the copy's stat, which
/// the renamed file keeps (inode, size, modification time).
TStatus WriteFileAtomically(const std::filesystem::path& Target, std::string_view Text,
                            const TAtomicWriteOptions& Options, bool* Abandoned = nullptr,
                            struct stat* Written = nullptr);
