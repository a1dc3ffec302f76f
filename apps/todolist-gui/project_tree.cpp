#include "project_tree.h"

#include "host/containers.h"
#include "host/module.h"
#include "host/project.h"

#include <QHeaderView>
#include <QMessageBox>
#include <QTimer>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <vector>

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------------------------
// TProjectTree

TProjectTree::TProjectTree(QWidget* Parent) : QTreeWidget(Parent) {
    setObjectName("ProjectTree");
    setHeaderHidden(true);
    setColumnCount(1);
    setUniformRowHeights(true);
    connect(this, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* Item, int) {
        const QString File = Item ? Item->data(0, FileNameRole).toString() : QString();
        if (File.isEmpty())
            return;
        if (TStatus S = CallDefaultOpenProc(File.toStdString(), true); !S)
            QMessageBox::warning(this, tr("Open File"), QString::fromStdString(S.Message()));
    });
    FActiveToken = EvActiveProjectChanged().Add([this](TProjectGroup&) { ScheduleRebuild(); });
    FAddedToken =
        EvProjectModuleAdded().Add([this](IProject&, TCustomFileEntry&) { ScheduleRebuild(); });
    FRemovedToken =
        EvProjectModuleRemoved().Add([this](IProject&, const std::string&) { ScheduleRebuild(); });
    FRenamedToken = EvProjectModuleRenamed().Add(
        [this](IProject&, const std::string&, const std::string&) { ScheduleRebuild(); });
    FProjectRenamedToken = EvProjectRenamed().Add(
        [this](IProject&, const std::string&, const std::string&) { ScheduleRebuild(); });
    Rebuild();
}

TProjectTree::~TProjectTree() {
    EvActiveProjectChanged().Remove(FActiveToken);
    EvProjectModuleAdded().Remove(FAddedToken);
    EvProjectModuleRemoved().Remove(FRemovedToken);
    EvProjectModuleRenamed().Remove(FRenamedToken);
    EvProjectRenamed().Remove(FProjectRenamedToken);
}

void TProjectTree::ScheduleRebuild() {
    // A file watcher's batch or a project load raises many events in a row: rebuild once.
    if (FRebuildPending)
        return;
    FRebuildPending = true;
    QTimer::singleShot(0, this, [this] {
        if (FRebuildPending)
            Rebuild();
    });
}

void TProjectTree::Rebuild() {
    FRebuildPending = false;
    const std::string Selected = SelectedFile();
    clear();
    std::shared_ptr<IProject> Project = MainProjectGroup().ActiveProject();
    if (!Project)
        return;
    const std::string ProjectFile = Project->GetFileName();
    const fs::path Folder = fs::path(ProjectFile).parent_path();
    auto* Root = new QTreeWidgetItem(this); // owned by the tree
    Root->setText(0, QString::fromStdString(Project->GetName()));
    Root->setToolTip(0, QString::fromStdString(ProjectFile));
    std::map<std::string, QTreeWidgetItem*> Groups; // by creator name
    QTreeWidgetItem* SelectedItem = nullptr;
    for (const auto& Entry : Project->GetUsesList()) {
        const std::string File = Entry->GetFileName();
        if (File == ProjectFile)
            continue; // the project node stands for it
        QTreeWidgetItem* Parent = Root;
        if (TRef<IContainerCreator> Creator = ContainerManager().FindContainerCreator(File)) {
            const std::string Name = Creator->GetName();
            QTreeWidgetItem*& Group = Groups[Name];
            if (!Group) {
                Group = new QTreeWidgetItem(Root); // owned by the tree
                Group->setText(0, QString::fromStdString(Name));
            }
            Parent = Group;
        }
        const fs::path Relative = fs::path(File).lexically_relative(Folder);
        const bool Inside = !Relative.empty() && *Relative.begin() != "..";
        auto* Item = new QTreeWidgetItem(Parent); // owned by the tree
        Item->setText(0, QString::fromStdString(Inside ? Relative.string() : File));
        Item->setToolTip(0, QString::fromStdString(File));
        Item->setData(0, FileNameRole, QString::fromStdString(File));
        if (File == Selected)
            SelectedItem = Item;
    }
    expandAll();
    if (SelectedItem)
        setCurrentItem(SelectedItem);
}

std::string TProjectTree::SelectedFile() const {
    const QTreeWidgetItem* Item = currentItem();
    return Item ? Item->data(0, FileNameRole).toString().toStdString() : std::string();
}

// ---------------------------------------------------------------------------------------------
// Uses clause

namespace UsesClause {

namespace {

enum class TTokenKind { Ident, String, Comment, Symbol };

struct TToken {
    TTokenKind Kind;
    size_t Start;
    size_t End; // one past the last byte
};

bool IsIdentStart(char C) {
    return std::isalpha(static_cast<unsigned char>(C)) || C == '_';
}
bool IsIdentChar(char C) {
    return std::isalnum(static_cast<unsigned char>(C)) || C == '_';
}

bool EqualsNoCase(std::string_view A, std::string_view B) {
    return A.size() == B.size() && std::equal(A.begin(), A.end(), B.begin(), [](char X, char Y) {
               return std::tolower(static_cast<unsigned char>(X)) ==
                      std::tolower(static_cast<unsigned char>(Y));
           });
}

/// The tokens of Pascal text; whitespace dropped, comments kept (edits must keep them).
std::vector<TToken> Tokenize(std::string_view Text) {
    std::vector<TToken> Tokens;
    size_t I = 0;
    const size_t N = Text.size();
    while (I < N) {
        const char C = Text[I];
        const size_t Start = I;
        if (std::isspace(static_cast<unsigned char>(C))) {
            ++I;
            continue;
        }
        if (C == '{') {
            const size_t Close = Text.find('}', I + 1);
            I = Close == std::string_view::npos ? N : Close + 1;
            Tokens.push_back({TTokenKind::Comment, Start, I});
        } else if (C == '(' && I + 1 < N && Text[I + 1] == '*') {
            const size_t Close = Text.find("*)", I + 2);
            I = Close == std::string_view::npos ? N : Close + 2;
            Tokens.push_back({TTokenKind::Comment, Start, I});
        } else if (C == '/' && I + 1 < N && Text[I + 1] == '/') {
            const size_t Eol = Text.find('\n', I);
            I = Eol == std::string_view::npos ? N : Eol;
            if (I > Start && Text[I - 1] == '\r')
                --I;
            Tokens.push_back({TTokenKind::Comment, Start, I});
        } else if (C == '\'') {
            ++I;
            while (I < N) {
                if (Text[I] == '\'') {
                    if (I + 1 < N && Text[I + 1] == '\'') {
                        I += 2;
                        continue;
                    }
                    ++I;
                    break;
                }
                if (Text[I] == '\n')
                    break; // an unterminated string ends at the line's end
                ++I;
            }
            Tokens.push_back({TTokenKind::String, Start, I});
        } else if (IsIdentStart(C)) {
            while (I < N && IsIdentChar(Text[I]))
                ++I;
            Tokens.push_back({TTokenKind::Ident, Start, I});
        } else {
            ++I;
            Tokens.push_back({TTokenKind::Symbol, Start, I});
        }
    }
    return Tokens;
}

/// One entry of a clause: its tokens from First to Last, which are all the tokens between the
/// separators around it (the comments before and after it included).
struct TEntry {
    size_t First; // token indexes
    size_t Last;
    std::optional<size_t> NameToken; // the first identifier
    std::optional<size_t> PathToken; // the string after `in`
};

struct TClause {
    size_t Keyword; // token index
    size_t End;     // token index of the ';'
    std::vector<TEntry> Entries;
};

std::string_view Spelling(std::string_view Text, const TToken& T) {
    return Text.substr(T.Start, T.End - T.Start);
}

bool IsSymbol(std::string_view Text, const TToken& T, char C) {
    return T.Kind == TTokenKind::Symbol && Text[T.Start] == C;
}

/// The string literal's value ('' read as ').
std::string StringValue(std::string_view Literal) {
    std::string Value;
    for (size_t I = 1; I < Literal.size(); ++I) {
        if (Literal[I] == '\'') {
            if (I + 1 < Literal.size() && Literal[I + 1] == '\'') {
                Value += '\'';
                ++I;
                continue;
            }
            break;
        }
        Value += Literal[I];
    }
    return Value;
}

std::string Quote(std::string_view Value) {
    std::string Literal = "'";
    for (char C : Value) {
        Literal += C;
        if (C == '\'')
            Literal += '\'';
    }
    return Literal + "'";
}

/// The clause that starts with Keyword (before the main block's `begin`), or nothing.
std::optional<TClause> FindClause(std::string_view Text, const std::vector<TToken>& Tokens,
                                  std::string_view Keyword) {
    for (size_t I = 0; I < Tokens.size(); ++I) {
        if (Tokens[I].Kind != TTokenKind::Ident)
            continue;
        const std::string_view Word = Spelling(Text, Tokens[I]);
        if (EqualsNoCase(Word, "begin"))
            return std::nullopt;
        if (!EqualsNoCase(Word, Keyword))
            continue;
        TClause Clause{I, 0, {}};
        TEntry Entry{I + 1, I, std::nullopt, std::nullopt};
        bool AfterIn = false;
        for (size_t J = I + 1; J < Tokens.size(); ++J) {
            const TToken& T = Tokens[J];
            if (IsSymbol(Text, T, ';') || IsSymbol(Text, T, ',')) {
                if (Entry.Last >= Entry.First)
                    Clause.Entries.push_back(Entry);
                if (IsSymbol(Text, T, ';')) {
                    Clause.End = J;
                    return Clause;
                }
                Entry = {J + 1, J, std::nullopt, std::nullopt};
                AfterIn = false;
                continue;
            }
            Entry.Last = J;
            if (T.Kind == TTokenKind::Ident) {
                if (EqualsNoCase(Spelling(Text, T), "in"))
                    AfterIn = true;
                else if (!Entry.NameToken)
                    Entry.NameToken = J;
            } else if (T.Kind == TTokenKind::String && AfterIn && !Entry.PathToken) {
                Entry.PathToken = J;
            }
        }
        return std::nullopt; // no ';': not a clause this code can edit safely
    }
    return std::nullopt;
}

std::string LineEndingOf(std::string_view Text) {
    return Text.find("\r\n") != std::string_view::npos ? "\r\n" : "\n";
}

/// The blanks at the start of the line that holds byte Pos.
std::string IndentAt(std::string_view Text, size_t Pos) {
    size_t LineStart = Text.rfind('\n', Pos == 0 ? 0 : Pos - 1);
    LineStart = LineStart == std::string_view::npos ? 0 : LineStart + 1;
    size_t I = LineStart;
    while (I < Text.size() && (Text[I] == ' ' || Text[I] == '\t'))
        ++I;
    return std::string(Text.substr(LineStart, I - LineStart));
}

std::string ResolvePath(const std::string& ProjectFolder, std::string Path) {
    std::replace(Path.begin(), Path.end(), '\\', '/');
    fs::path P(Path);
    if (P.is_relative())
        P = fs::path(ProjectFolder) / P;
    return NormalizeFileName(P.string());
}

/// The entry whose path names FileName; exact match first, then any letter case (as a
/// project written on a case-insensitive system names its files).
std::optional<size_t> FindEntry(std::string_view Text, const std::vector<TToken>& Tokens,
                                const TClause& Clause, const std::string& ProjectFolder,
                                const std::string& FileName) {
    std::optional<size_t> NoCase;
    const std::string Wanted = NormalizeFileName(FileName);
    for (size_t I = 0; I < Clause.Entries.size(); ++I) {
        const TEntry& E = Clause.Entries[I];
        if (!E.PathToken)
            continue;
        const std::string Named =
            ResolvePath(ProjectFolder, StringValue(Spelling(Text, Tokens[*E.PathToken])));
        if (Named == Wanted)
            return I;
        if (!NoCase && EqualsNoCase(Named, Wanted))
            NoCase = I;
    }
    return NoCase;
}

/// True for a compiler directive: `{$...}` or `(*$...*)`.
bool IsDirective(std::string_view Text, const TToken& T) {
    const std::string_view S = Spelling(Text, T);
    return T.Kind == TTokenKind::Comment && (S.starts_with("{$") || S.starts_with("(*$"));
}

bool HasLineBreak(std::string_view Text, size_t Start, size_t End) {
    return Text.substr(Start, End - Start).find('\n') != std::string_view::npos;
}

bool IsBlank(char C) {
    return C == ' ' || C == '\t';
}

struct TRange {
    size_t Start;
    size_t End;
};

/// The bytes to delete so that [Start, End) goes and the layout around it stays tidy: a range
/// alone on its line takes the whole line (its line break too); otherwise, with EatBlanks, the
/// blanks before it when it ends its line, or the blanks after it when blanks (or the line's
/// start) come before it, so what stays keeps one gap. Line breaks that end other lines are
/// never taken, so a `//` comment never swallows what follows it.
TRange WithLayout(std::string_view Text, size_t Start, size_t End, bool EatBlanks) {
    size_t Before = Start;
    while (Before > 0 && IsBlank(Text[Before - 1]))
        --Before;
    size_t After = End;
    while (After < Text.size() && IsBlank(Text[After]))
        ++After;
    std::optional<size_t> LineEnd;
    if (After == Text.size())
        LineEnd = After;
    else if (Text[After] == '\n')
        LineEnd = After + 1;
    else if (Text.substr(After, 2) == "\r\n")
        LineEnd = After + 2;
    if (LineEnd && (Before == 0 || Text[Before - 1] == '\n'))
        return {Before, *LineEnd};
    if (!EatBlanks)
        return {Start, End};
    if (LineEnd)
        return {Before, End};
    if (Before < Start || Before == 0 || Text[Before - 1] == '\n')
        return {Start, After};
    return {Start, End};
}

std::string Splice(std::string_view Text, size_t Start, size_t End, std::string_view With) {
    std::string Result(Text.substr(0, Start));
    Result += With;
    Result += Text.substr(End);
    return Result;
}

} // namespace

std::string KeywordFor(std::string_view ProjectFileName) {
    const std::string Ext = fs::path(ProjectFileName).extension().string();
    return EqualsNoCase(Ext, ".dpk") ? "contains" : "uses";
}

bool IsUnitName(std::string_view Name) {
    bool PartStart = true;
    if (Name.empty())
        return false;
    for (char C : Name) {
        if (C == '.') {
            if (PartStart)
                return false;
            PartStart = true;
        } else if (PartStart ? !IsIdentStart(C) : !IsIdentChar(C)) {
            return false;
        } else {
            PartStart = false;
        }
    }
    return !PartStart;
}

std::optional<std::string> AddEntry(std::string_view Text, std::string_view Keyword,
                                    std::string_view UnitName, std::string_view Path) {
    const std::vector<TToken> Tokens = Tokenize(Text);
    const std::string Eol = LineEndingOf(Text);
    const std::string Entry = std::string(UnitName) + " in " + Quote(Path);
    if (std::optional<TClause> Clause = FindClause(Text, Tokens, Keyword)) {
        const size_t Semicolon = Tokens[Clause->End].Start;
        if (Clause->Entries.empty())
            return Splice(Text, Semicolon, Semicolon, " " + Entry);
        // The new entry goes on a line of its own, indented like the last entry's line.
        const size_t LastStart = Tokens[Clause->Entries.back().First].Start;
        const size_t KeywordEnd = Tokens[Clause->Keyword].End;
        const bool OwnLine =
            Text.substr(KeywordEnd, LastStart - KeywordEnd).find('\n') != std::string_view::npos;
        const std::string Indent = OwnLine ? IndentAt(Text, LastStart) : "  ";
        return Splice(Text, Semicolon, Semicolon, "," + Eol + Indent + Entry);
    }
    // No clause yet: one after the header (and, in a package, after its requires clause).
    std::optional<size_t> HeaderEnd;
    for (size_t I = 0; I < Tokens.size() && !HeaderEnd; ++I) {
        if (Tokens[I].Kind != TTokenKind::Ident)
            continue;
        const std::string_view Word = Spelling(Text, Tokens[I]);
        if (EqualsNoCase(Word, "program") || EqualsNoCase(Word, "library") ||
            EqualsNoCase(Word, "package")) {
            for (size_t J = I + 1; J < Tokens.size(); ++J)
                if (IsSymbol(Text, Tokens[J], ';')) {
                    HeaderEnd = Tokens[J].End;
                    break;
                }
        }
        if (!HeaderEnd)
            return std::nullopt; // something before the header: not a project file
    }
    if (!HeaderEnd)
        return std::nullopt;
    size_t After = *HeaderEnd;
    if (EqualsNoCase(Keyword, "contains"))
        if (std::optional<TClause> Requires = FindClause(Text, Tokens, "requires"))
            After = Tokens[Requires->End].End;
    return Splice(Text, After, After, Eol + Eol + std::string(Keyword) + Eol + "  " + Entry + ";");
}

std::optional<std::string> RemoveEntry(std::string_view Text, std::string_view Keyword,
                                       const std::string& ProjectFolder,
                                       const std::string& FileName) {
    const std::vector<TToken> Tokens = Tokenize(Text);
    const std::optional<TClause> Clause = FindClause(Text, Tokens, Keyword);
    if (!Clause)
        return std::nullopt;
    const std::optional<size_t> Index = FindEntry(Text, Tokens, *Clause, ProjectFolder, FileName);
    if (!Index)
        return std::nullopt;
    const auto& Entries = Clause->Entries;
    if (Entries.size() == 1) {
        // The clause goes. On lines of its own, the lines go, and of two blank lines around
        // it one stays; else just the clause and the blanks after it.
        size_t Start = Tokens[Clause->Keyword].Start;
        size_t LineStart = Start;
        while (LineStart > 0 && (Text[LineStart - 1] == ' ' || Text[LineStart - 1] == '\t'))
            --LineStart;
        const bool OwnLines = LineStart == 0 || Text[LineStart - 1] == '\n';
        size_t End = Tokens[Clause->End].End;
        while (End < Text.size() && (Text[End] == ' ' || Text[End] == '\t'))
            ++End;
        if (!OwnLines)
            return Splice(Text, Start, End, "");
        Start = LineStart;
        auto SkipLineBreak = [&](size_t& At) {
            if (Text.substr(At, 2) == "\r\n")
                At += 2;
            else if (At < Text.size() && Text[At] == '\n')
                ++At;
        };
        SkipLineBreak(End);
        const std::string_view Before = Text.substr(0, Start);
        if (Before.ends_with("\n\n") || Before.ends_with("\n\r\n") || Before.empty())
            SkipLineBreak(End);
        return Splice(Text, Start, End, "");
    }
    // The entry is its tokens from its first word to its last, and it goes with exactly one
    // comma. The comments and compiler directives around it stay: a directive such as
    // {$IFDEF X} before an entry guards the entries up to its {$ENDIF}, and a comment before the
    // entry or after its comma may be about the next entry or the whole list. Only plain
    // comments between the entry and its comma (or semicolon) on the entry's own line go with
    // it: there the form designer writes the entry's form name (`B in 'b.pas' {Form}`) and users
    // put a note on that entry, which left behind would end up beside another entry.
    const TEntry& E = Entries[*Index];
    const auto IsComment = [&](size_t T) { return Tokens[T].Kind == TTokenKind::Comment; };
    size_t First = E.First;
    while (IsComment(First)) // stops at the path, which an entry found here has
        ++First;
    size_t Last = E.Last;
    while (IsComment(Last))
        --Last;
    while (Last < E.Last && IsComment(Last + 1) && !IsDirective(Text, Tokens[Last + 1]) &&
           !HasLineBreak(Text, Tokens[Last].End, Tokens[Last + 1].Start))
        ++Last;
    // The comma after the entry, else the one before it (the last entry has none after it);
    // one that touches the entry (no comment between) is preferred, so the two go together.
    const bool CommaAfter = IsSymbol(Text, Tokens[E.Last + 1], ',');
    const bool CommaBefore = IsSymbol(Text, Tokens[E.First - 1], ',');
    std::optional<size_t> Comma;
    bool Touches = false;
    if (CommaAfter && Last == E.Last) {
        Comma = E.Last + 1;
        Touches = true;
    } else if (CommaBefore && First == E.First) {
        Comma = E.First - 1;
        Touches = true;
    } else if (CommaAfter) {
        Comma = E.Last + 1;
    } else if (CommaBefore) {
        Comma = E.First - 1;
    }
    const size_t Start = Tokens[First].Start;
    const size_t End = Tokens[Last].End;
    if (Touches) {
        const TRange R = WithLayout(Text, std::min(Start, Tokens[*Comma].Start),
                                    std::max(End, Tokens[*Comma].End), true);
        return Splice(Text, R.Start, R.End, "");
    }
    // A comment stands between the entry and its comma: each goes on its own.
    const TRange Entry = WithLayout(Text, Start, End, true);
    if (!Comma)
        return Splice(Text, Entry.Start, Entry.End, "");
    const TRange Sep = WithLayout(Text, Tokens[*Comma].Start, Tokens[*Comma].End, false);
    const auto [Early, Late] =
        Sep.Start < Entry.Start ? std::pair(Sep, Entry) : std::pair(Entry, Sep);
    return Splice(Splice(Text, Late.Start, Late.End, ""), Early.Start, Early.End, "");
}

std::optional<std::string> RenameEntry(std::string_view Text, std::string_view Keyword,
                                       const std::string& ProjectFolder,
                                       const std::string& OldFileName, std::string_view NewPath) {
    const std::vector<TToken> Tokens = Tokenize(Text);
    const std::optional<TClause> Clause = FindClause(Text, Tokens, Keyword);
    if (!Clause)
        return std::nullopt;
    const std::optional<size_t> Index =
        FindEntry(Text, Tokens, *Clause, ProjectFolder, OldFileName);
    if (!Index)
        return std::nullopt;
    const TEntry& E = Clause->Entries[*Index];
    const TToken& PathToken = Tokens[*E.PathToken];
    std::string Result = Splice(Text, PathToken.Start, PathToken.End, Quote(NewPath));
    if (E.NameToken) {
        const TToken& Name = Tokens[*E.NameToken];
        const std::string OldStem = fs::path(OldFileName).stem().string();
        std::string NewStem = fs::path(std::string(NewPath)).stem().string();
        std::replace(NewStem.begin(), NewStem.end(), '\\', '/');
        NewStem = fs::path(NewStem).filename().string();
        const bool DottedName = Name.End < PathToken.Start && Text[Name.End] == '.';
        if (!DottedName && EqualsNoCase(Spelling(Text, Name), OldStem) && IsUnitName(NewStem))
            Result = Splice(Result, Name.Start, Name.End, NewStem); // before the path: same place
    }
    return Result;
}

} // namespace UsesClause
