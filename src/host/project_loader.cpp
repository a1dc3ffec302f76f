#include "host/project_loader.h"

#include "host/comment_syntax.h"
#include "host/edit_buffer.h"
#include "host/file_io.h"
#include "host/module.h"

#include <git2.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <mutex>
#include <set>
#include <utility>

#include <dirent.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

bool SameText(std::string_view A, std::string_view B) {
    return std::ranges::equal(A, B, [](char X, char Y) {
        return (X >= 'A' && X <= 'Z' ? X + 32 : X) == (Y >= 'A' && Y <= 'Z' ? Y + 32 : Y);
    });
}

bool StartsWithText(std::string_view Text, std::string_view Prefix) {
    return Text.size() >= Prefix.size() && SameText(Text.substr(0, Prefix.size()), Prefix);
}

bool IsLetter(char C) {
    return (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z') || C == '_';
}

bool IsDigit(char C) {
    return C >= '0' && C <= '9';
}

/// The folder part of a normal absolute name ("/" for a name in the root).
std::string FolderOf(const std::string& Name) {
    size_t Slash = Name.rfind('/');
    return Slash == 0 || Slash == std::string::npos ? "/" : Name.substr(0, Slash);
}

/// Child within the normal folder Folder.
std::string Join(const std::string& Folder, std::string_view Child) {
    std::string Name = Folder;
    if (Name.empty() || Name.back() != '/')
        Name += '/';
    Name += Child;
    return Name;
}

/// NormalizeFileName without the final slash that a folder name may carry.
std::string NormalName(const std::string& Path) {
    std::string Name = NormalizeFileName(Path);
    while (Name.size() > 1 && Name.back() == '/')
        Name.pop_back();
    return Name;
}

bool IsSymlink(const std::string& Name) {
    struct stat St;
    return ::lstat(Name.c_str(), &St) == 0 && S_ISLNK(St.st_mode);
}

bool IsRegularFile(const std::string& Name) {
    std::error_code Ec;
    return fs::is_regular_file(Name, Ec);
}

// ---- Pascal project text ------------------------------------------------------------------

/// The tokens of Pascal text that a uses clause needs: words, string literals (their value)
/// and single-character symbols; comments and white space are skipped.
class TPascalTokens {
public:
    enum TKind { Word, String, Symbol, End };

    explicit TPascalTokens(std::string_view Text) : FText(Text) {}

    TKind Next(std::string& Value) {
        Value.clear();
        SkipBlanksAndComments();
        if (FPos >= FText.size())
            return End;
        const char C = FText[FPos];
        if (C == '\'' || C == '#') {
            ReadString(Value);
            return String;
        }
        if (IsLetter(C) || C == '&') {
            // Dotted names (System.SysUtils) are one word; '&' escapes a reserved word.
            size_t Start = FPos++;
            while (FPos < FText.size() &&
                   (IsLetter(FText[FPos]) || IsDigit(FText[FPos]) || FText[FPos] == '.'))
                ++FPos;
            Value = FText.substr(Start, FPos - Start);
            return Word;
        }
        Value = C;
        ++FPos;
        return Symbol;
    }

private:
    void SkipBlanksAndComments() {
        while (FPos < FText.size()) {
            const char C = FText[FPos];
            if (C == ' ' || C == '\t' || C == '\r' || C == '\n' || C == '\f' || C == '\0')
                ++FPos;
            else if (C == '{')
                SkipPast("}", 1);
            else if (FText.substr(FPos, 2) == "(*")
                SkipPast("*)", 2);
            else if (FText.substr(FPos, 2) == "//")
                SkipPast("\n", 2);
            else
                return;
        }
    }

    void SkipPast(std::string_view Closer, size_t OpenerSize) {
        size_t At = FText.find(Closer, FPos + OpenerSize);
        FPos = At == std::string_view::npos ? FText.size() : At + Closer.size();
    }

    /// A string literal: quoted parts ('' is a quote) and #n character codes written next to
    /// each other. A quoted part ends at the end of its line if it is left open.
    void ReadString(std::string& Value) {
        while (FPos < FText.size()) {
            if (FText[FPos] == '\'') {
                for (++FPos; FPos < FText.size() && FText[FPos] != '\n'; ++FPos) {
                    if (FText[FPos] != '\'')
                        Value += FText[FPos];
                    else if (FPos + 1 < FText.size() && FText[FPos + 1] == '\'')
                        Value += FText[++FPos];
                    else
                        break;
                }
                ++FPos;
            } else if (FText[FPos] == '#') {
                unsigned Code = 0;
                for (++FPos; FPos < FText.size() && IsDigit(FText[FPos]); ++FPos)
                    Code = std::min(Code * 10 + unsigned(FText[FPos] - '0'), 255u);
                Value += static_cast<char>(Code);
            } else {
                return;
            }
        }
    }

    std::string_view FText;
    size_t FPos = 0;
};

/// Name on disk of the missing file Name when its folder holds it in other letter case (a
/// project written where file names ignore case), else Name.
std::string MatchLetterCase(const std::string& Name) {
    std::error_code Ec;
    if (fs::exists(fs::symlink_status(Name, Ec)))
        return Name;
    const std::string Folder = FolderOf(Name), Base = Name.substr(Name.rfind('/') + 1);
    for (fs::directory_iterator It(Folder, Ec), EndIt; !Ec && It != EndIt; It.increment(Ec))
        if (SameText(It->path().filename().native(), Base))
            return Join(Folder, It->path().filename().native());
    return Name;
}

// ---- git ignore rules -----------------------------------------------------------------------

/// Keeps libgit2 initialised from the first use to the end of the program.
void EnsureGitLibrary() {
    static const struct TGuard {
        TGuard() {
            git_libgit2_init();
            // Only ignore rules are read from a repository and nothing in it is run, so the rules
            // of a work tree owned by another user (a checkout mounted into a container) count.
            git_libgit2_opts(GIT_OPT_SET_OWNER_VALIDATION, 0);
        }
        ~TGuard() { git_libgit2_shutdown(); }
    } Guard;
}

/// The ignore rules of the git work tree holding a project's folder, asked by our names for
/// paths under that folder. Not thread-safe (one repository handle).
class TGitIgnore {
public:
    explicit TGitIgnore(const std::string& Root) : FRoot(Root) {
        EnsureGitLibrary();
        // Each handle holds its own reference, so one that outlives the guard's end of program
        // is still freed by a live library.
        git_libgit2_init();
        if (git_repository_open_ext(&FRepo, Root.c_str(), 0, nullptr) != 0 ||
            git_repository_is_bare(FRepo)) {
            Close();
            return;
        }
        // libgit2 names the work tree by its real path; ours may pass through a linked folder.
        std::error_code Ec;
        const std::string Real = fs::canonical(Root, Ec).string() + "/";
        const std::string WorkDir = git_repository_workdir(FRepo);
        if (Ec || !Real.starts_with(WorkDir)) {
            Close();
            return;
        }
        FPrefix = Real.substr(WorkDir.size());
    }
    TGitIgnore(const TGitIgnore&) = delete;
    TGitIgnore& operator=(const TGitIgnore&) = delete;
    ~TGitIgnore() {
        Close();
        git_libgit2_shutdown();
    }

    /// True when the rules exclude the file or folder Name, a normal name below the root.
    /// libgit2 tells folders from files by looking at the disk; a deleted path reads as a file.
    bool IsIgnored(std::string_view Name) {
        if (!FRepo || Name.size() <= FRoot.size() + 1)
            return false;
        FRelative.assign(FPrefix).append(Name.substr(FRoot.size() + 1));
        int Ignored = 0;
        return git_ignore_path_is_ignored(&Ignored, FRepo, FRelative.c_str()) == 0 && Ignored;
    }

private:
    void Close() {
        git_repository_free(FRepo);
        FRepo = nullptr;
    }

    std::string FRoot;
    std::string FPrefix; // the root relative to the work tree, "" or ending in "/"
    std::string FRelative;
    git_repository* FRepo = nullptr;
};

// ---- the folder walk ------------------------------------------------------------------------

struct TWalk {
    std::vector<std::string> Files;
    std::vector<std::string> Folders;
};

/// Every unit under Root and every folder entered, both sorted. Symbolic links to folders are
/// not followed; a link to a file counts under the link's name. Root must be normal.
TResult<TWalk> WalkFolder(const std::string& Root, TGitIgnore& Git) {
    // readdir rather than std::filesystem: the listing tells each entry's type, so a folder of
    // plain files costs no stat per file.
    TWalk Walk;
    std::vector<std::string> Pending{Root};
    std::string Child;
    while (!Pending.empty()) {
        std::string Folder = std::move(Pending.back());
        Pending.pop_back();
        std::unique_ptr<DIR, int (*)(DIR*)> Dir(::opendir(Folder.c_str()), ::closedir);
        if (!Dir) {
            if (Folder == Root)
                return TStatus::Error("cannot read folder " + Root + ": " + ErrnoText(errno));
            continue; // an unreadable subfolder is left out, like one we may not enter
        }
        while (const dirent* Entry = ::readdir(Dir.get())) {
            const std::string_view Base = Entry->d_name;
            if (Base == "." || Base == "..")
                continue;
            Child = Join(Folder, Base);
            unsigned char Type = Entry->d_type;
            if (Type == DT_UNKNOWN) { // file systems that do not say
                struct stat St;
                Type = ::lstat(Child.c_str(), &St) != 0 ? DT_UNKNOWN
                       : S_ISDIR(St.st_mode)            ? DT_DIR
                       : S_ISREG(St.st_mode)            ? DT_REG
                       : S_ISLNK(St.st_mode)            ? DT_LNK
                                                        : DT_UNKNOWN;
            }
            if (Type == DT_DIR) {
                if (!IsSkippedFolderName(Base) && !Git.IsIgnored(Child))
                    Pending.push_back(Child);
            } else if ((Type == DT_REG || (Type == DT_LNK && IsRegularFile(Child))) &&
                       LanguageOfFile(Base) != TLanguage::None && !Git.IsIgnored(Child)) {
                Walk.Files.push_back(Child);
            }
        }
        Walk.Folders.push_back(std::move(Folder));
    }
    std::sort(Walk.Files.begin(), Walk.Files.end());
    std::sort(Walk.Folders.begin(), Walk.Folders.end());
    return Walk;
}

/// Folder's components below Root (Folder itself included when AndLast) are all folders the
/// walk enters by name and none is a symbolic link. Root is a prefix of Folder.
bool WalkEnters(const std::string& Root, const std::string& Name, bool AndLast) {
    size_t Start = Root.size() + 1;
    for (size_t Slash; Start < Name.size(); Start = Slash + 1) {
        Slash = Name.find('/', Start);
        if (Slash == std::string::npos) {
            if (!AndLast)
                return true;
            Slash = Name.size();
        }
        const std::string Prefix = Name.substr(0, Slash);
        if (IsSkippedFolderName(std::string_view(Name).substr(Start, Slash - Start)) ||
            IsSymlink(Prefix))
            return false;
    }
    return true;
}

bool IsBelow(const std::string& Name, const std::string& Folder) {
    return Name.size() > Folder.size() + 1 && Name.starts_with(Folder) &&
           (Folder == "/" || Name[Folder.size()] == '/');
}

} // namespace

// ---- TProjectScope --------------------------------------------------------------------------

struct TProjectScope::TImpl {
    std::string ProjectFileName, Folder, ToDoFileName;
    bool UsesClause = false;
    std::vector<std::string> Folders; // sorted
    mutable std::mutex GitLock;       // guards Git, whose handle is one thread's at a time
    std::unique_ptr<TGitIgnore> Git;  // null for a uses-clause project
};

TProjectScope::TProjectScope(std::unique_ptr<TImpl> Impl) : FImpl(std::move(Impl)) {}

TProjectScope::~TProjectScope() = default;

const std::string& TProjectScope::ProjectFileName() const {
    return FImpl->ProjectFileName;
}

const std::string& TProjectScope::ProjectFolder() const {
    return FImpl->Folder;
}

const std::string& TProjectScope::ToDoFileName() const {
    return FImpl->ToDoFileName;
}

bool TProjectScope::UsesClauseProject() const {
    return FImpl->UsesClause;
}

std::vector<std::string> TProjectScope::Folders() const {
    return FImpl->Folders;
}

bool TProjectScope::IsUnitFile(const std::string& FileName) const {
    const std::string Name = NormalizeFileName(FileName);
    if (FImpl->UsesClause || !IsBelow(Name, FImpl->Folder) ||
        LanguageOfFile(Name) == TLanguage::None || !WalkEnters(FImpl->Folder, Name, false))
        return false;
    std::scoped_lock Lock(FImpl->GitLock);
    return !FImpl->Git->IsIgnored(Name);
}

bool TProjectScope::ShouldWatchFolder(const std::string& Folder) const {
    const std::string Name = NormalName(Folder);
    if (FImpl->UsesClause)
        return std::binary_search(FImpl->Folders.begin(), FImpl->Folders.end(), Name);
    if (Name == FImpl->Folder)
        return true;
    if (!IsBelow(Name, FImpl->Folder) || !WalkEnters(FImpl->Folder, Name, true))
        return false;
    std::scoped_lock Lock(FImpl->GitLock);
    return !FImpl->Git->IsIgnored(Name);
}

// ---- loading --------------------------------------------------------------------------------

bool IsUsesClauseProjectFile(std::string_view FileName) {
    const size_t Dot = FileName.rfind('.');
    if (Dot == std::string_view::npos || FileName.find('/', Dot) != std::string_view::npos)
        return false;
    const std::string_view Ext = FileName.substr(Dot);
    return SameText(Ext, ".dpr") || SameText(Ext, ".lpr") || SameText(Ext, ".dpk");
}

bool IsSkippedFolderName(std::string_view Name) {
    static constexpr std::string_view Skipped[] = {"build",
                                                   "_build",
                                                   "out",
                                                   "dist",
                                                   "bin",
                                                   "obj",
                                                   "target",
                                                   "CMakeFiles",
                                                   "DerivedData",
                                                   "__pycache__",
                                                   "venv",
                                                   "node_modules",
                                                   "bower_components",
                                                   "vendor",
                                                   "Pods"};
    if (Name.starts_with('.') || StartsWithText(Name, "build-") ||
        StartsWithText(Name, "cmake-build-"))
        return true;
    return std::ranges::any_of(Skipped, [&](std::string_view S) { return SameText(Name, S); });
}

std::vector<std::string> ParseUsesClause(std::string_view Text) {
    std::vector<std::string> Names;
    TPascalTokens Tokens(Text);
    std::string Value;
    bool InClause = false, AfterIn = false;
    for (auto Kind = Tokens.Next(Value); Kind != TPascalTokens::End; Kind = Tokens.Next(Value)) {
        if (Kind == TPascalTokens::Word && !InClause) {
            if (SameText(Value, "begin"))
                break;
            InClause = SameText(Value, "uses") || SameText(Value, "contains");
        } else if (InClause) {
            if (Kind == TPascalTokens::String && AfterIn)
                Names.push_back(Value);
            else if (Kind == TPascalTokens::Symbol && Value == ";")
                InClause = false;
            AfterIn = Kind == TPascalTokens::Word && SameText(Value, "in");
        }
    }
    return Names;
}

TResult<std::vector<std::string>> ReadUsesClause(const std::string& ProjectFileName) {
    const std::string ProjectFile = NormalizeFileName(ProjectFileName);
    auto Text = TEditBuffer::ReadFile(ProjectFile, nullptr);
    if (!Text)
        return Text.Status();
    const std::string Folder = FolderOf(ProjectFile);
    std::vector<std::string> Units;
    std::set<std::string> Seen{ProjectFile};
    for (std::string Written : ParseUsesClause(Text.Value())) {
        if (Written.empty())
            continue;
        std::replace(Written.begin(), Written.end(), '\\', '/');
        std::string Name = MatchLetterCase(
            NormalizeFileName(Written.front() == '/' ? Written : Join(Folder, Written)));
        if (Seen.insert(Name).second)
            Units.push_back(std::move(Name));
    }
    return Units;
}

TResult<TLoadedProject> LoadProject(const std::string& Path) {
    if (Path.empty())
        return TStatus::Error("no project given");
    const std::string Name = NormalName(Path);
    std::error_code Ec;
    const fs::file_status Status = fs::status(Name, Ec);
    if (Ec || !fs::exists(Status))
        return TStatus::Error("cannot open project " + Name + ": " +
                              ErrnoText(Ec ? Ec.value() : ENOENT));

    auto Impl = std::make_unique<TProjectScope::TImpl>();
    if (fs::is_directory(Status)) {
        if (Name == "/")
            return TStatus::Error("cannot use the root folder as a project");
        Impl->Folder = Name;
        Impl->ProjectFileName = Join(Name, Name.substr(Name.rfind('/') + 1));
    } else if (fs::is_regular_file(Status)) {
        Impl->Folder = FolderOf(Name);
        Impl->ProjectFileName = Name;
    } else {
        return TStatus::Error("cannot open project " + Name + ": not a file or folder");
    }
    Impl->ToDoFileName = fs::path(Impl->ProjectFileName).replace_extension(".todo").string();

    TLoadedProject Loaded;
    std::vector<std::string> Files;
    if (IsUsesClauseProjectFile(Impl->ProjectFileName) && IsRegularFile(Impl->ProjectFileName)) {
        auto Units = ReadUsesClause(Impl->ProjectFileName);
        if (!Units)
            return Units.Status();
        Impl->UsesClause = true;
        Files.push_back(Impl->ProjectFileName);
        for (auto& Unit : Units.Value())
            (IsRegularFile(Unit) ? Files : Loaded.MissingUnits).push_back(std::move(Unit));
        std::set<std::string> Folders;
        for (const auto& File : Files)
            Folders.insert(FolderOf(File));
        Impl->Folders.assign(Folders.begin(), Folders.end());
    } else {
        Impl->Git = std::make_unique<TGitIgnore>(Impl->Folder);
        auto Walk = WalkFolder(Impl->Folder, *Impl->Git);
        if (!Walk)
            return Walk.Status();
        Files = std::move(Walk.Value().Files);
        Impl->Folders = std::move(Walk.Value().Folders);
    }
    if (IsRegularFile(Impl->ToDoFileName) &&
        std::find(Files.begin(), Files.end(), Impl->ToDoFileName) == Files.end())
        Files.push_back(Impl->ToDoFileName);

    Loaded.Project = TProject::Create(Impl->ProjectFileName, Files);
    Loaded.Scope = std::make_shared<TProjectScope>(std::move(Impl));
    return Loaded;
}
