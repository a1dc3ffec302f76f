#pragma once

#include "host/status.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

/// What a file looked like on disk when it was last read or written; used to refuse overwriting
/// a file that another program changed in between.
struct TDiskStamp {
    bool Exists = false;
    std::uintmax_t Size = 0;
    std::int64_t MTimeNs = 0;
    std::uintmax_t Inode = 0;
    bool operator==(const TDiskStamp&) const = default;
};

/// The bytes of one file as an editor holds them: 0-based byte offsets, insert and delete, a
/// modified flag, and a safe save. Line endings and any bytes (invalid UTF-8, NUL) are kept as
/// they are. Every operation is thread-safe (one internal lock), so the parse thread may read a
/// buffer while the main thread edits another one or the same one.
class TEditBuffer {
public:
    /// A buffer for FileName holding Text as read from disk with Stamp.
    TEditBuffer(std::string FileName, std::string Text, TDiskStamp Stamp);

    /// Reads FileName from disk. Fails with a clear message for a missing, unreadable or
    /// over-large (2 GiB or more) file, or a folder.
    static TResult<std::string> ReadFile(const std::string& FileName, TDiskStamp* Stamp);

    std::string GetFileName() const;
    /// Used when the file is renamed; the disk stamp is kept.
    void SetFileName(std::string FileName);

    /// A copy of the whole text.
    std::string GetText() const;
    /// Calls Fn with the text while holding the buffer's lock; Fn must not call back into it.
    void WithText(const std::function<void(std::string_view)>& Fn) const;
    int GetSize() const;
    /// True when the bytes at Pos are exactly Text.
    bool HoldsText(int Pos, std::string_view Text) const;

    /// Removes bytes [StartPos, EndPos). Fails (changing nothing) for a range outside the text.
    TStatus Delete(int StartPos, int EndPos);
    /// Inserts Text before the byte at Pos, 0 <= Pos <= size. Fails for a Pos outside.
    TStatus Insert(int Pos, std::string_view Text);
    /// Replaces bytes [StartPos, EndPos) by Text in one step, so no reader sees the text with
    /// the old bytes gone and the new ones not yet there. Fails (changing nothing) like Delete.
    TStatus Replace(int StartPos, int EndPos, std::string_view Text);

    bool GetModified() const;
    void SetModified(bool Value);

    /// Writes the text to the file: a temporary file in the same folder with the original
    /// file's permissions, then a rename over it, so the file is never half-written. Refused,
    /// file untouched, when the file changed on disk since it was read or last saved, when the
    /// folder is missing, or when the file or folder is not writable.
    TStatus Save();
    /// Re-reads the file from disk, dropping unsaved changes.
    TStatus Reload();

    /// True when the file on disk is no longer the one last read or saved: it is gone, it
    /// appeared, or both its stamp and its bytes differ (a file merely touched, or one holding
    /// the same bytes again, is unchanged). This is the test Save refuses on, made beforehand.
    /// Reads the file without holding the buffer's lock.
    bool ChangedOnDisk() const;
    /// Takes the file as it is on disk now (its stamp and bytes) for the one last read, so that
    /// the next Save writes over it although another program changed it: how an editor
    /// overwrites after the user said so. The text and the modified flag are kept.
    void AdoptDiskState();

    /// The editor cursor as a 0-based byte offset; ShowText moves it there and scrolls it into
    /// view (through ShowTextProc when a front end installed one). With Line < 1, Pos is a
    /// 0-based byte offset; else Line is 1-based and Pos a 0-based byte column within it. The
    /// cursor is clamped to the text.
    void ShowText(int Line, int Pos);
    int GetCursorPos() const;

    /// Installed by a front end with an editor widget; called by ShowText on the main thread.
    static inline std::function<void(TEditBuffer&, int Line, int Pos)> ShowTextProc;

private:
    mutable std::mutex FLock;
    std::string FFileName;
    std::string FText;
    TDiskStamp FStamp;
    /// The bytes last read or saved, kept only once an edit makes them differ from FText, so
    /// that Save can tell a touched file from a changed one without doubling every buffer.
    std::optional<std::string> FDiskText;
    bool FModified = false;
    int FCursorPos = 0;
};

/// Reads the stamp of FileName now (Exists false when it is missing).
TDiskStamp StampOfFile(const std::string& FileName);
