#pragma once

#include "host/status.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

/// The application's settings: an INI file of sections holding string and binary values, UTF-8.
///
/// The text format, line by line (a line ends at LF; a CR before it is dropped, so CR LF files
/// read fine, and a UTF-8 byte order mark at the start is skipped):
///  - `[Name]`: starts a section. Blanks around the line and inside the brackets are ignored;
///    a line that starts with '[' but does not end with ']' is damaged.
///  - `Key=Value`: the key is the text before the first '=', trimmed of blanks (space, tab);
///    the value is the rest of the line as it is, blanks included. A key line before the first
///    section, or one with nothing before the '=', is damaged.
///  - blank lines, and comments: lines whose first non-blank character is ';' or '#'.
///  - anything else, and every line that is not valid UTF-8, is damaged: it is reported in
///    Problems(), ignored for reading, and written back unchanged when the file is saved.
/// Section and key names compare without regard to ASCII case; the first of two equal keys in a
/// section counts, and sections of the same name count as one.
///
/// String values are kept byte-exact. A value is written as it is unless it would not survive
/// a line: when it holds a control character other than tab (CR and LF included), is not valid
/// UTF-8, or starts with '"', it is written quoted: `"` + the value + `"`, where inside the
/// quotes `\\`, `\"`, `\n`, `\r`, `\t` and `\xHH` (two hex digits, any byte) stand for
/// themselves and every other byte is literal. On reading, a value that starts and ends with
/// '"' and is such a well-formed quoted text is decoded; any other value is taken as it is, so
/// hand-written values such as `C:\temp` or `"half` read as they look.
///
/// Binary values are written as upper-case hex digits, two per byte.
///
/// Names: a section name must not hold LF and must not start or end with a blank; a key name
/// must also be non-empty, hold no '=', and not start with '[', ';' or '#'. Both must be valid
/// UTF-8. Writes under a name the file could not hold change nothing (IsValidSection and
/// IsValidIdent tell beforehand); reads under such a name find nothing, as no file holds one.
///
/// Not thread-safe: one object is used by one thread at a time.
class TIniFile {
public:
    /// Loads FileName (a missing file, or an empty name, gives empty settings and no problem).
    /// Never throws on bad content or an unreadable file; see Problems().
    explicit TIniFile(std::string FileName);

    /// Settings parsed from Text as if it were the content of FileName on disk; UpdateFile then
    /// treats any other content found on disk as a change made by another program.
    static TIniFile FromText(std::string FileName, std::string_view Text);

    const std::string& FileName() const;

    /// The value, or Default when the key is absent.
    std::string ReadString(std::string_view Section, std::string_view Ident,
                           std::string_view Default) const;
    void WriteString(std::string_view Section, std::string_view Ident, std::string_view Value);

    /// A decimal integer with optional sign and surrounding blanks; Default when absent, not
    /// such a number, or outside the range of int.
    int ReadInteger(std::string_view Section, std::string_view Ident, int Default) const;
    /// Writes decimal text; no change when the value already reads as Value.
    void WriteInteger(std::string_view Section, std::string_view Ident, int Value);

    /// True for a non-zero integer or "true", false for zero or "false" (any ASCII case,
    /// surrounding blanks allowed); Default when absent or anything else.
    bool ReadBool(std::string_view Section, std::string_view Ident, bool Default) const;
    /// Writes "1" or "0"; no change when the value already reads as Value.
    void WriteBool(std::string_view Section, std::string_view Ident, bool Value);

    /// Binary value: its bytes replace the content of Stream. False, with Stream empty, when the
    /// key is absent or its value is not an even number of hex digits (either case, surrounding
    /// blanks allowed). An empty value is an empty stream and gives true.
    bool ReadBinaryStream(std::string_view Section, std::string_view Ident,
                          std::vector<unsigned char>& Stream) const;
    /// Writes Stream as upper-case hex; no change when the value already reads as Stream.
    void WriteBinaryStream(std::string_view Section, std::string_view Ident,
                           const std::vector<unsigned char>& Stream);

    bool ValueExists(std::string_view Section, std::string_view Ident) const;
    bool SectionExists(std::string_view Section) const;
    /// Removes the key (every line of it, should the file hold it twice).
    void DeleteKey(std::string_view Section, std::string_view Ident);
    /// Removes the section with its header, keys, comments and damaged lines.
    void EraseSection(std::string_view Section);

    /// Names of the keys of a section in file order, each once, spelled as in the file.
    std::vector<std::string> ReadSection(std::string_view Section) const;
    /// Names of the sections in file order, each once, spelled as in the file.
    std::vector<std::string> ReadSections() const;

    /// Problems found by the last load, one line each: "FILE:LINE: what" with a 1-based line, or
    /// "cannot read FILE: why" for a file that exists but cannot be read. Empty for a clean file.
    const std::vector<std::string>& Problems() const;

    /// True when a write changed something since the last load or save.
    bool Modified() const;

    /// The file content as UpdateFile would write it now. Settings loaded and not changed give
    /// back the loaded bytes exactly.
    std::string Text() const;

    /// Writes the file when Modified(); Ok when nothing needed writing. The file is replaced
    /// atomically (a temporary file in the same folder, then a rename), missing folders are
    /// created with mode 0700, an existing file keeps its permissions and a new one gets 0600,
    /// and a symbolic link is written through. When the file on disk differs from what was
    /// loaded or last saved (another process saved settings), it is loaded again and the keys
    /// and sections this object wrote or deleted since are applied on top, so changes to other
    /// keys are not lost. Refused, with the old file intact and Modified() still true, when the
    /// file exists but cannot be read, is read-only, or the folder cannot be created or written.
    TStatus UpdateFile();

    /// True when the names could be written to the file (see the class comment).
    static bool IsValidSection(std::string_view Section);
    static bool IsValidIdent(std::string_view Ident);

private:
    enum class TKind { Other, Section, Key };
    /// One line of the file, without its LF. Other lines (blank, comment, damaged) are only
    /// ever written back as they were read.
    struct TLine {
        TKind Kind = TKind::Other;
        std::string Text;  // the bytes of the line, CR and byte order mark included
        std::string Name;  // Section, Key: the name as spelled in the file
        std::string Value; // Key: the decoded value
    };
    /// A change made through this object, replayed on top of the file when another process
    /// saved it meanwhile.
    struct TChange {
        enum { Write, Delete, Erase } Op;
        std::string Section, Ident, Value;
    };

    void Load();
    void Parse(std::string_view Text);
    const TLine* Find(std::string_view Section, std::string_view Ident) const;
    /// Sets the value; true when that changed it.
    bool Put(std::string_view Section, std::string_view Ident, std::string_view Value);
    bool Remove(std::string_view Section, std::string_view Ident);
    bool RemoveSection(std::string_view Section);
    void Record(TChange Change);
    void Replay();
    std::string NewLine(std::string_view Text) const;
    /// Gives the last line its line break before lines are appended after it.
    void EndLastLine();

    std::string FFileName;
    std::vector<TLine> FLines;
    /// Whether the last line ended with LF; new lines always end with one.
    bool FFinalNewline = true;
    /// Whether lines this object adds end with CR LF (the style of the file's first line).
    bool FCrLf = false;
    std::vector<std::string> FProblems;
    bool FModified = false;
    /// The file existed but could not be read: it must not be overwritten blindly.
    bool FUnreadable = false;
    /// The bytes last read from or written to the file; empty for a missing file.
    std::string FDiskText;
    std::vector<TChange> FChanges;
};

/// Where the settings live: $TODOLIST_CONFIG when set and not empty, else
/// $XDG_CONFIG_HOME/todolist/todolist.ini when XDG_CONFIG_HOME is set, not empty and absolute,
/// else $HOME/.config/todolist/todolist.ini (the home folder from the user database when HOME
/// is unset or empty). Empty when no home folder can be found either.
std::string DefaultSettingsFileName();

/// The process-wide settings: loaded on first use from the name given to SetAppIniFileName or,
/// without one, from DefaultSettingsFileName(). After each load its Problems() are handed to the
/// problem reporter once. Main thread only. The reference stays valid for the whole program,
/// also across a reload.
TIniFile& AppIniFile();

/// The file AppIniFile loads; an empty name means DefaultSettingsFileName(). When the settings
/// were loaded already, the next AppIniFile() loads them again from the new name, dropping
/// changes not yet saved with UpdateFile. Main thread only.
void SetAppIniFileName(std::string FileName);

/// Receives each load problem of AppIniFile as one line. The default (also restored by an empty
/// function) prints "todolist: warning: PROBLEM" lines on stderr. Main thread only.
void SetSettingsProblemReporter(std::function<void(const std::string&)> Report);
/// Hands one problem with a stored setting to the reporter (standard error without one).
void ReportSettingsProblem(const std::string& Problem);
