#include "host/ini_file.h"

#include "host/edit_buffer.h"
#include "host/file_io.h"
#include "host/utf8.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <unordered_set>
#include <utility>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

constexpr std::string_view Bom = "\xEF\xBB\xBF";
constexpr char HexDigits[] = "0123456789ABCDEF";

bool IsBlank(char C) {
    return C == ' ' || C == '\t';
}

std::string_view Trim(std::string_view S) {
    while (!S.empty() && IsBlank(S.front()))
        S.remove_prefix(1);
    while (!S.empty() && IsBlank(S.back()))
        S.remove_suffix(1);
    return S;
}

bool IsBlankLine(std::string_view Line) {
    if (!Line.empty() && Line.back() == '\r')
        Line.remove_suffix(1);
    return Trim(Line).empty();
}

char Lower(char C) {
    return C >= 'A' && C <= 'Z' ? static_cast<char>(C - 'A' + 'a') : C;
}

bool SameName(std::string_view A, std::string_view B) {
    return A.size() == B.size() && std::equal(A.begin(), A.end(), B.begin(),
                                              [](char X, char Y) { return Lower(X) == Lower(Y); });
}

std::string LowerName(std::string_view S) {
    std::string R(S);
    for (char& C : R)
        C = Lower(C);
    return R;
}

bool IsControl(unsigned char C) {
    return (C < 0x20 && C != '\t') || C == 0x7F;
}

bool NeedsQuotes(std::string_view Value) {
    if (!Value.empty() && Value.front() == '"')
        return true;
    if (std::any_of(Value.begin(), Value.end(),
                    [](char C) { return IsControl(static_cast<unsigned char>(C)); }))
        return true;
    return !IsValidUtf8(Value);
}

void AppendHexByte(std::string& Out, unsigned char B) {
    Out += HexDigits[B >> 4];
    Out += HexDigits[B & 0xF];
}

/// The value as it is written after the '='.
std::string EncodeValue(std::string_view Value) {
    if (!NeedsQuotes(Value))
        return std::string(Value);
    std::string Out = "\"";
    for (size_t At = 0; At < Value.size();) {
        const char C = Value[At];
        const size_t N = Utf8SequenceLength(Value, At);
        if (N > 1) { // a valid multi-byte character stays readable
            Out.append(Value.substr(At, N));
            At += N;
            continue;
        }
        ++At;
        switch (C) {
        case '\\':
            Out += "\\\\";
            break;
        case '"':
            Out += "\\\"";
            break;
        case '\n':
            Out += "\\n";
            break;
        case '\r':
            Out += "\\r";
            break;
        case '\t':
            Out += "\\t";
            break;
        default:
            if (N == 0 || IsControl(static_cast<unsigned char>(C))) {
                Out += "\\x";
                AppendHexByte(Out, static_cast<unsigned char>(C));
            } else {
                Out += C;
            }
        }
    }
    Out += '"';
    return Out;
}

int HexValue(char C) {
    if (C >= '0' && C <= '9')
        return C - '0';
    if (C >= 'A' && C <= 'F')
        return C - 'A' + 10;
    if (C >= 'a' && C <= 'f')
        return C - 'a' + 10;
    return -1;
}

/// The quoted form decoded, or nothing when Raw is not a well-formed quoted text.
std::optional<std::string> DecodeQuoted(std::string_view Raw) {
    if (Raw.size() < 2 || Raw.front() != '"' || Raw.back() != '"')
        return std::nullopt;
    const std::string_view In = Raw.substr(1, Raw.size() - 2);
    std::string Out;
    Out.reserve(In.size());
    for (size_t At = 0; At < In.size(); ++At) {
        const char C = In[At];
        if (C == '"')
            return std::nullopt;
        if (C != '\\') {
            Out += C;
            continue;
        }
        if (++At == In.size())
            return std::nullopt;
        switch (In[At]) {
        case '\\':
            Out += '\\';
            break;
        case '"':
            Out += '"';
            break;
        case 'n':
            Out += '\n';
            break;
        case 'r':
            Out += '\r';
            break;
        case 't':
            Out += '\t';
            break;
        case 'x': {
            if (In.size() - At < 3)
                return std::nullopt;
            const int Hi = HexValue(In[At + 1]), Lo = HexValue(In[At + 2]);
            if (Hi < 0 || Lo < 0)
                return std::nullopt;
            Out += static_cast<char>(Hi * 16 + Lo);
            At += 2;
            break;
        }
        default:
            return std::nullopt;
        }
    }
    return Out;
}

std::string DecodeValue(std::string_view Raw) {
    auto Quoted = DecodeQuoted(Raw);
    return Quoted ? std::move(*Quoted) : std::string(Raw);
}

std::optional<int> ParseInteger(std::string_view S) {
    S = Trim(S);
    // from_chars takes a '-' but no '+'; a sign after a '+' is not a number.
    if (!S.empty() && S.front() == '+') {
        S.remove_prefix(1);
        if (!S.empty() && S.front() == '-')
            return std::nullopt;
    }
    int Value = 0;
    const auto [End, Error] = std::from_chars(S.data(), S.data() + S.size(), Value);
    if (S.empty() || Error != std::errc() || End != S.data() + S.size())
        return std::nullopt;
    return Value;
}

std::optional<bool> ParseBool(std::string_view S) {
    if (auto Number = ParseInteger(S))
        return *Number != 0;
    S = Trim(S);
    if (SameName(S, "true"))
        return true;
    if (SameName(S, "false"))
        return false;
    return std::nullopt;
}

std::optional<std::vector<unsigned char>> ParseHex(std::string_view S) {
    S = Trim(S);
    if (S.size() % 2 != 0)
        return std::nullopt;
    std::vector<unsigned char> Bytes;
    Bytes.reserve(S.size() / 2);
    for (size_t At = 0; At < S.size(); At += 2) {
        const int Hi = HexValue(S[At]), Lo = HexValue(S[At + 1]);
        if (Hi < 0 || Lo < 0)
            return std::nullopt;
        Bytes.push_back(static_cast<unsigned char>(Hi * 16 + Lo));
    }
    return Bytes;
}

/// The file as it is on disk now: Exists false for a missing file, Error set when it exists
/// but cannot be read.
struct TOnDisk {
    bool Exists = false;
    std::string Text;
    TDiskStamp Stamp;
    std::string Error; // e.g. "permission denied"
};

TOnDisk ReadOnDisk(const std::string& Path) {
    TOnDisk D;
    struct stat St;
    // A path through a file is as missing as one through a missing folder; saving then says
    // which part is in the way.
    if (::stat(Path.c_str(), &St) != 0 && (errno == ENOENT || errno == ENOTDIR))
        return D;
    D.Exists = true;
    auto Read = TEditBuffer::ReadFile(Path, &D.Stamp);
    if (Read.Ok()) {
        D.Text = std::move(Read.Value());
    } else {
        // The message names the file already; callers put it in their own words.
        const std::string Prefix = "cannot read " + Path + ": ";
        const std::string& Message = Read.Status().Message();
        D.Error = Message.starts_with(Prefix) ? Message.substr(Prefix.size()) : Message;
    }
    return D;
}

/// Creates the missing folders of Folder, each with mode 0700: settings are nobody else's
/// business.
TStatus CreateFolders(const fs::path& Folder) {
    fs::path Path;
    for (const fs::path& Part : Folder) {
        Path /= Part;
        struct stat St;
        if (::stat(Path.c_str(), &St) == 0) {
            if (!S_ISDIR(St.st_mode))
                return TStatus::Error(Path.string() + " is not a folder");
            continue;
        }
        if (errno != ENOENT || (::mkdir(Path.c_str(), 0700) != 0 && errno != EEXIST))
            return TStatus::Error("cannot create folder " + Path.string() + ": " +
                                  ErrnoText(errno));
    }
    return {};
}

/// Puts Text in place of Target through a temporary file and a rename. Sets Raced, writing
/// nothing, when Target no longer matches Expected just before the rename.
TStatus WriteAtomically(const std::string& Target, std::string_view Text, const TOnDisk& Expected,
                        bool& Raced) {
    Raced = false;
    fs::path Folder = fs::path(Target).parent_path();
    if (Folder.empty())
        Folder = ".";
    if (TStatus S = CreateFolders(Folder); !S)
        return S;
    struct stat FolderSt;
    if (::stat(Folder.c_str(), &FolderSt) != 0)
        return TStatus::Error("folder " + Folder.string() + ": " + ErrnoText(errno));
    // access() lets root write anywhere; a folder without any write bit was meant to stay as
    // it is, for root too.
    if (::access(Folder.c_str(), W_OK | X_OK) != 0 || (FolderSt.st_mode & 0222) == 0)
        return TStatus::Error("folder " + Folder.string() + " is not writable");

    struct stat St;
    const bool Exists = ::stat(Target.c_str(), &St) == 0;
    if (Exists) {
        if (!S_ISREG(St.st_mode))
            return TStatus::Error("not a regular file");
        // The rename would succeed on a read-only file, but whoever took away its write bits
        // does not want it replaced.
        if (::access(Target.c_str(), W_OK) != 0 || (St.st_mode & 0222) == 0)
            return TStatus::Error("the file is read-only");
    }

    TAtomicWriteOptions Options;
    Options.Existing = Exists ? &St : nullptr;
    // Nobody else sees the settings, whatever the umask.
    Options.NewFileMode = 0600;
    Options.NewFileModeExact = true;
    // Another process may have saved since we read the file; the caller merges again.
    Options.StillSame = [&] {
        return StampOfFile(Target) == (Expected.Exists ? Expected.Stamp : TDiskStamp{});
    };
    return WriteFileAtomically(Target, Text, Options, &Raced);
}

} // namespace

TIniFile::TIniFile(std::string FileName) : FFileName(std::move(FileName)) {
    Load();
}

TIniFile TIniFile::FromText(std::string FileName, std::string_view Text) {
    TIniFile Ini("");
    Ini.FFileName = std::move(FileName);
    Ini.FDiskText = std::string(Text);
    Ini.Parse(Text);
    return Ini;
}

const std::string& TIniFile::FileName() const {
    return FFileName;
}

bool TIniFile::IsValidSection(std::string_view Section) {
    return Section.find('\n') == std::string_view::npos && Trim(Section).size() == Section.size() &&
           IsValidUtf8(Section);
}

bool TIniFile::IsValidIdent(std::string_view Ident) {
    return !Ident.empty() && Ident.find_first_of("=\n") == std::string_view::npos &&
           Ident.front() != '[' && Ident.front() != ';' && Ident.front() != '#' &&
           Trim(Ident).size() == Ident.size() && IsValidUtf8(Ident);
}

void TIniFile::Load() {
    FUnreadable = false;
    FDiskText.clear();
    if (FFileName.empty()) {
        Parse("");
        return;
    }
    TOnDisk D = ReadOnDisk(FFileName);
    if (!D.Error.empty()) {
        FUnreadable = true;
        Parse("");
        FProblems.push_back("cannot read " + FFileName + ": " + D.Error);
        return;
    }
    FDiskText = std::move(D.Text);
    Parse(FDiskText);
}

void TIniFile::Parse(std::string_view Text) {
    FLines.clear();
    FProblems.clear();
    FModified = false;
    if (Text.empty()) {
        FFinalNewline = true;
        FCrLf = false;
        return;
    }
    FFinalNewline = Text.back() == '\n';
    if (FFinalNewline)
        Text.remove_suffix(1); // the last line's LF, not the start of another line
    const size_t FirstBreak = Text.find('\n');
    FCrLf = FirstBreak != std::string_view::npos && FirstBreak > 0 && Text[FirstBreak - 1] == '\r';

    // Lower-case section and key names seen, to report a key that repeats an earlier one.
    std::unordered_set<std::string> Keys;
    std::optional<std::string> Section; // the current section's name, lower case
    int LineNo = 0;
    auto Problem = [&](const std::string& What) {
        FProblems.push_back(FFileName + ":" + std::to_string(LineNo) + ": " + What);
    };
    size_t Start = 0;
    while (Start <= Text.size()) {
        const size_t End = std::min(Text.find('\n', Start), Text.size());
        ++LineNo;
        TLine Line;
        Line.Text = std::string(Text.substr(Start, End - Start));
        Start = End + 1;

        std::string_view Body = Line.Text;
        if (LineNo == 1 && Body.starts_with(Bom))
            Body.remove_prefix(Bom.size());
        if (!Body.empty() && Body.back() == '\r')
            Body.remove_suffix(1);
        const std::string_view Trimmed = Trim(Body);
        const size_t Eq = Body.find('=');
        if (!IsValidUtf8(Body)) {
            Problem("not valid UTF-8; line ignored");
        } else if (Trimmed.empty() || Trimmed.front() == ';' || Trimmed.front() == '#') {
            // blank line or comment
        } else if (Trimmed.front() == '[') {
            if (Trimmed.size() >= 2 && Trimmed.back() == ']') {
                Line.Kind = TKind::Section;
                Line.Name = std::string(Trim(Trimmed.substr(1, Trimmed.size() - 2)));
                Section = LowerName(Line.Name);
            } else {
                Problem("section line does not end with ']'; line ignored");
            }
        } else if (Eq == std::string_view::npos) {
            Problem("neither a section, a key nor a comment; line ignored");
        } else if (Trim(Body.substr(0, Eq)).empty()) {
            Problem("no key name before '='; line ignored");
        } else if (!Section) {
            Problem("key before the first section; line ignored");
        } else {
            Line.Kind = TKind::Key;
            Line.Name = std::string(Trim(Body.substr(0, Eq)));
            Line.Value = DecodeValue(Body.substr(Eq + 1));
            if (!Keys.insert(*Section + '\n' + LowerName(Line.Name)).second)
                Problem("key '" + Line.Name + "' repeats an earlier one; line ignored");
        }
        FLines.push_back(std::move(Line));
    }
}

void TIniFile::EndLastLine() {
    // A file that did not end with a line break gets one before the new lines, in the file's
    // own style: the CR of a CR LF file is part of each line's text.
    if (!FFinalNewline && FCrLf && !FLines.empty()) {
        std::string& Last = FLines.back().Text;
        if (Last.empty() || Last.back() != '\r') // a file may end in the CR of its last break
            Last += '\r';
    }
    FFinalNewline = true;
}

std::string TIniFile::NewLine(std::string_view Text) const {
    std::string Line(Text);
    if (FCrLf)
        Line += '\r';
    return Line;
}

std::string TIniFile::Text() const {
    std::string Out;
    for (size_t I = 0; I < FLines.size(); ++I) {
        Out += FLines[I].Text;
        if (I + 1 < FLines.size() || FFinalNewline)
            Out += '\n';
    }
    return Out;
}

const TIniFile::TLine* TIniFile::Find(std::string_view Section, std::string_view Ident) const {
    bool InSection = false;
    for (const TLine& L : FLines) {
        if (L.Kind == TKind::Section)
            InSection = SameName(L.Name, Section);
        else if (InSection && L.Kind == TKind::Key && SameName(L.Name, Ident))
            return &L;
    }
    return nullptr;
}

bool TIniFile::Put(std::string_view Section, std::string_view Ident, std::string_view Value) {
    if (!IsValidSection(Section) || !IsValidIdent(Ident))
        return false;
    if (const TLine* Found = Find(Section, Ident)) {
        if (Found->Value == Value)
            return false;
        TLine& L = FLines[static_cast<size_t>(Found - FLines.data())];
        L.Value = std::string(Value);
        L.Text = NewLine(L.Name + "=" + EncodeValue(Value));
        return true;
    }
    TLine Key;
    Key.Kind = TKind::Key;
    Key.Name = std::string(Ident);
    Key.Value = std::string(Value);
    Key.Text = NewLine(Key.Name + "=" + EncodeValue(Value));

    // A new key goes after the last key of the section's first block, so that blank lines and
    // comments before the next section stay with it.
    const auto Header = std::find_if(FLines.begin(), FLines.end(), [&](const TLine& L) {
        return L.Kind == TKind::Section && SameName(L.Name, Section);
    });
    if (Header != FLines.end()) {
        auto At = Header + 1;
        for (auto I = At; I != FLines.end() && I->Kind != TKind::Section; ++I)
            if (I->Kind == TKind::Key)
                At = I + 1;
        if (At == FLines.end())
            EndLastLine();
        FLines.insert(At, std::move(Key));
        return true;
    }
    EndLastLine();
    if (!FLines.empty() && !IsBlankLine(FLines.back().Text))
        FLines.push_back({TKind::Other, NewLine(""), {}, {}});
    TLine NewHeader;
    NewHeader.Kind = TKind::Section;
    NewHeader.Name = std::string(Section);
    NewHeader.Text = NewLine("[" + NewHeader.Name + "]");
    FLines.push_back(std::move(NewHeader));
    FLines.push_back(std::move(Key));
    FFinalNewline = true;
    return true;
}

bool TIniFile::Remove(std::string_view Section, std::string_view Ident) {
    bool InSection = false;
    const auto Gone = std::remove_if(FLines.begin(), FLines.end(), [&](const TLine& L) {
        if (L.Kind == TKind::Section)
            InSection = SameName(L.Name, Section);
        return InSection && L.Kind == TKind::Key && SameName(L.Name, Ident);
    });
    const bool Removed = Gone != FLines.end();
    FLines.erase(Gone, FLines.end());
    return Removed;
}

bool TIniFile::RemoveSection(std::string_view Section) {
    bool InSection = false;
    const auto Gone = std::remove_if(FLines.begin(), FLines.end(), [&](const TLine& L) {
        if (L.Kind == TKind::Section)
            InSection = SameName(L.Name, Section);
        return InSection;
    });
    const bool Removed = Gone != FLines.end();
    FLines.erase(Gone, FLines.end());
    return Removed;
}

void TIniFile::Record(TChange Change) {
    // Only the last change of a key matters, and erasing a section overrides every earlier
    // change in it; dropping the overridden ones keeps the list as short as the settings.
    std::erase_if(FChanges, [&](const TChange& C) {
        return SameName(C.Section, Change.Section) &&
               (Change.Op == TChange::Erase ||
                (C.Op != TChange::Erase && SameName(C.Ident, Change.Ident)));
    });
    FChanges.push_back(std::move(Change));
    FModified = true;
}

void TIniFile::Replay() {
    for (const TChange& C : FChanges) {
        switch (C.Op) {
        case TChange::Write:
            Put(C.Section, C.Ident, C.Value);
            break;
        case TChange::Delete:
            Remove(C.Section, C.Ident);
            break;
        case TChange::Erase:
            RemoveSection(C.Section);
            break;
        }
    }
}

std::string TIniFile::ReadString(std::string_view Section, std::string_view Ident,
                                 std::string_view Default) const {
    const TLine* L = Find(Section, Ident);
    return L ? L->Value : std::string(Default);
}

void TIniFile::WriteString(std::string_view Section, std::string_view Ident,
                           std::string_view Value) {
    if (Put(Section, Ident, Value))
        Record({TChange::Write, std::string(Section), std::string(Ident), std::string(Value)});
}

int TIniFile::ReadInteger(std::string_view Section, std::string_view Ident, int Default) const {
    const TLine* L = Find(Section, Ident);
    return L ? ParseInteger(L->Value).value_or(Default) : Default;
}

void TIniFile::WriteInteger(std::string_view Section, std::string_view Ident, int Value) {
    const TLine* L = Find(Section, Ident);
    if (!L || ParseInteger(L->Value) != Value)
        WriteString(Section, Ident, std::to_string(Value));
}

bool TIniFile::ReadBool(std::string_view Section, std::string_view Ident, bool Default) const {
    const TLine* L = Find(Section, Ident);
    return L ? ParseBool(L->Value).value_or(Default) : Default;
}

void TIniFile::WriteBool(std::string_view Section, std::string_view Ident, bool Value) {
    const TLine* L = Find(Section, Ident);
    if (!L || ParseBool(L->Value) != Value)
        WriteString(Section, Ident, Value ? "1" : "0");
}

bool TIniFile::ReadBinaryStream(std::string_view Section, std::string_view Ident,
                                std::vector<unsigned char>& Stream) const {
    Stream.clear();
    const TLine* L = Find(Section, Ident);
    if (!L)
        return false;
    auto Bytes = ParseHex(L->Value);
    if (!Bytes)
        return false;
    Stream = std::move(*Bytes);
    return true;
}

void TIniFile::WriteBinaryStream(std::string_view Section, std::string_view Ident,
                                 const std::vector<unsigned char>& Stream) {
    const TLine* L = Find(Section, Ident);
    if (L && ParseHex(L->Value) == Stream)
        return;
    std::string Hex;
    Hex.reserve(Stream.size() * 2);
    for (unsigned char B : Stream)
        AppendHexByte(Hex, B);
    WriteString(Section, Ident, Hex);
}

bool TIniFile::ValueExists(std::string_view Section, std::string_view Ident) const {
    return Find(Section, Ident) != nullptr;
}

bool TIniFile::SectionExists(std::string_view Section) const {
    return std::any_of(FLines.begin(), FLines.end(), [&](const TLine& L) {
        return L.Kind == TKind::Section && SameName(L.Name, Section);
    });
}

void TIniFile::DeleteKey(std::string_view Section, std::string_view Ident) {
    if (Remove(Section, Ident))
        Record({TChange::Delete, std::string(Section), std::string(Ident), {}});
}

void TIniFile::EraseSection(std::string_view Section) {
    if (RemoveSection(Section))
        Record({TChange::Erase, std::string(Section), {}, {}});
}

std::vector<std::string> TIniFile::ReadSection(std::string_view Section) const {
    std::vector<std::string> Names;
    std::unordered_set<std::string> Seen;
    bool InSection = false;
    for (const TLine& L : FLines) {
        if (L.Kind == TKind::Section)
            InSection = SameName(L.Name, Section);
        else if (InSection && L.Kind == TKind::Key && Seen.insert(LowerName(L.Name)).second)
            Names.push_back(L.Name);
    }
    return Names;
}

std::vector<std::string> TIniFile::ReadSections() const {
    std::vector<std::string> Names;
    std::unordered_set<std::string> Seen;
    for (const TLine& L : FLines)
        if (L.Kind == TKind::Section && Seen.insert(LowerName(L.Name)).second)
            Names.push_back(L.Name);
    return Names;
}

const std::vector<std::string>& TIniFile::Problems() const {
    return FProblems;
}

bool TIniFile::Modified() const {
    return FModified;
}

TStatus TIniFile::UpdateFile() {
    if (!FModified)
        return {};
    if (FFileName.empty())
        return TStatus::Error("cannot save the settings: there is no settings file name (no home "
                              "folder was found)");
    auto Fail = [&](const std::string& Why) {
        return TStatus::Error("cannot save " + FFileName + ": " + Why);
    };

    auto Followed = FollowSymlink(FFileName);
    if (!Followed)
        return Fail(Followed.Status().Message());
    const std::string& Target = Followed.Value();

    // A few rounds at most: each one only repeats when another process saved in between.
    for (int Round = 0; Round < 5; ++Round) {
        TOnDisk D = ReadOnDisk(Target);
        if (!D.Error.empty())
            return Fail("the file cannot be read (" + D.Error + "), so it is not overwritten");
        if (FUnreadable || D.Text != FDiskText) {
            // The file is not what we based our settings on: take it as it is now and apply
            // our own changes on top.
            const bool WasModified = FModified;
            Parse(D.Text);
            Replay();
            FModified = WasModified;
            FUnreadable = false;
            FDiskText = D.Text;
        }
        std::string NewText = Text();
        if (NewText == D.Text) { // nothing left to write, e.g. the other process did the same
            FModified = false;
            FChanges.clear();
            return {};
        }
        bool Raced = false;
        if (TStatus S = WriteAtomically(Target, NewText, D, Raced); !S)
            return Fail(S.Message());
        if (!Raced) {
            FDiskText = std::move(NewText);
            FModified = false;
            FChanges.clear();
            return {};
        }
    }
    return Fail("the file kept changing while it was saved; try again");
}

// ---- the process-wide settings ----

namespace {

struct TAppSettings {
    std::string FileName;
    bool Loaded = false;
    std::optional<TIniFile> Store;
    std::function<void(const std::string&)> Report;
};

TAppSettings& App() {
    static TAppSettings Settings;
    return Settings;
}

std::string HomeFolder() {
    if (const char* Home = std::getenv("HOME"); Home && *Home)
        return Home;
    std::vector<char> Buffer(16384);
    struct passwd Entry;
    struct passwd* Found = nullptr;
    if (::getpwuid_r(::getuid(), &Entry, Buffer.data(), Buffer.size(), &Found) == 0 && Found &&
        Found->pw_dir && *Found->pw_dir)
        return Found->pw_dir;
    return {};
}

} // namespace

std::string DefaultSettingsFileName() {
    if (const char* Config = std::getenv("TODOLIST_CONFIG"); Config && *Config)
        return Config;
    // Relative values are ignored, as the base directory convention asks.
    if (const char* Xdg = std::getenv("XDG_CONFIG_HOME"); Xdg && *Xdg == '/')
        return (fs::path(Xdg) / "todolist" / "todolist.ini").string();
    const std::string Home = HomeFolder();
    if (Home.empty())
        return {};
    return (fs::path(Home) / ".config" / "todolist" / "todolist.ini").string();
}

TIniFile& AppIniFile() {
    TAppSettings& A = App();
    if (!A.Loaded) {
        const std::string Name = A.FileName.empty() ? DefaultSettingsFileName() : A.FileName;
        // Assigned in place, so references handed out before stay valid.
        if (A.Store)
            *A.Store = TIniFile(Name);
        else
            A.Store.emplace(Name);
        A.Loaded = true;
        for (const std::string& Problem : A.Store->Problems())
            ReportSettingsProblem(Problem);
    }
    return *A.Store;
}

void ReportSettingsProblem(const std::string& Problem) {
    TAppSettings& A = App();
    if (A.Report)
        A.Report(Problem);
    else
        std::cerr << "todolist: warning: " << Problem << '\n';
}

void SetAppIniFileName(std::string FileName) {
    TAppSettings& A = App();
    A.FileName = std::move(FileName);
    A.Loaded = false;
}

void SetSettingsProblemReporter(std::function<void(const std::string&)> Report) {
    App().Report = std::move(Report);
}
