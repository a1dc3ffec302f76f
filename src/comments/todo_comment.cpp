#include "comments/todo_comment.h"

#include "comments/comment_scanner.h"
#include "host/utf8.h"

#include <cstdint>
#include <cstring>

namespace {

using uchar = unsigned char;

enum class TSwitchState { None, Category, Owner };

// Most comments in real code are not to-dos. Deciding that from the bytes at hand, without
// copying the comment into a scanner, keeps the parse of a whole project cheap. The test is the
// scanner's own first-token rule spelled out: skip blank bytes (all single-byte), then the word
// must be TODO or DONE, and it ends only at a byte whose folded value is 0 and which is not a
// UTF-8 trail byte (the scanner's NUL terminator counts as such a byte).
bool MayBeToDo(std::string_view S) {
    const auto* P = reinterpret_cast<const uchar*>(S.data());
    const auto* End = P + S.size();
    while (P < End && TCommentScanner::CharClass[*P] == ccBlank)
        ++P;
    if (End - P < 4)
        return false;
    // Setting bit 5 lower-cases an ASCII letter and maps no other byte onto a lower-case one.
    const auto Lower = [&](int I) { return static_cast<char>(P[I] | 0x20); };
    const bool Todo = Lower(0) == 't' && Lower(1) == 'o' && Lower(2) == 'd' && Lower(3) == 'o';
    const bool Done = Lower(0) == 'd' && Lower(1) == 'o' && Lower(2) == 'n' && Lower(3) == 'e';
    if (!Todo && !Done)
        return false;
    P += 4;
    if (P == End)
        return true;
    return TCommentScanner::Fold[*P] == 0 && !IsUTF8TrailByte(*P);
}

} // namespace

TCommentKind CommentKindOf(std::string_view S) {
    if (S.size() < 2)
        return TCommentKind::None;
    if (S[0] == '{')
        return TCommentKind::Brace;
    if (S[0] == '/' && S[1] == '/')
        return TCommentKind::Line;
    if (S[0] == '(' && S[1] == '*')
        return TCommentKind::ParenStar;
    if (S[0] == '/' && S[1] == '*')
        return TCommentKind::SlashStar;
    return TCommentKind::None;
}

int CloserLength(TCommentKind Kind) {
    switch (Kind) {
    case TCommentKind::Brace:
        return 1;
    case TCommentKind::Line:
    case TCommentKind::None:
        return 0;
    case TCommentKind::ParenStar:
    case TCommentKind::SlashStar:
        return 2;
    }
    return 0;
}

std::optional<TToDoCommentFields> ParseToDoComment(std::string_view S) {
    const TCommentKind Kind = CommentKindOf(S);
    if (Kind == TCommentKind::None || !MayBeToDo(S))
        return std::nullopt;

    // One scanner per thread, so its buffer is reused from comment to comment.
    thread_local TCommentScanner Scanner;
    Scanner.StartScannerString(S);
    struct TStop {
        TCommentScanner& Scanner;
        ~TStop() { Scanner.StopScanner(); }
    } Stop{Scanner};

    if (Scanner.Token() != tkWord ||
        (Scanner.TokenHash() != TCommentScanner::TodoHash &&
         Scanner.TokenHash() != TCommentScanner::DoneHash) ||
        !(Scanner.TokenIdentEq("TODO") || Scanner.TokenIdentEq("DONE")))
        return std::nullopt;

    TToDoCommentFields F;
    F.Kind = Kind;
    auto TokenEnd = [&] {
        return Scanner.GetTokenPos() + static_cast<int>(Scanner.GetTokenIdent().size());
    };
    F.Keyword = {Scanner.GetTokenPos(), TokenEnd()};

    TSwitchState State = TSwitchState::None;
    unsigned char Tok = Scanner.NextToken();
    while (Tok != tkEnd && Tok != tkColon) {
        switch (Tok) {
        case tkNumber:
            if (State == TSwitchState::None) {
                F.Priority = {Scanner.GetTokenPos(), TokenEnd()};
                break;
            }
            [[fallthrough]]; // a number after a switch is part of its value
        case tkWord:
            if (State == TSwitchState::Category)
                F.Category.End = TokenEnd();
            else if (State == TSwitchState::Owner)
                F.Owner.End = TokenEnd();
            break;
        case tkSwitch: {
            const int Minus = Scanner.GetTokenPos();
            Scanner.SkipToPos(Minus + 1);
            const char Letter = *Scanner.ScanPtr();
            if (Letter == 'C' || Letter == 'c') {
                State = TSwitchState::Category;
                F.Category.Start = Minus;
            } else if (Letter == 'O' || Letter == 'o') {
                State = TSwitchState::Owner;
                F.Owner.Start = Minus;
            } else {
                State = TSwitchState::None;
            }
            break;
        }
        default:
            break;
        }
        Tok = Scanner.NextToken();
    }
    if (Tok == tkEnd)
        return std::nullopt; // no colon

    Tok = Scanner.NextToken();
    int TextStart = Scanner.GetTokenPos();
    int EndPos = TextStart;
    if (Tok == tkEnd) {
        TextStart -= Kind == TCommentKind::Brace ? 1 : 2;
    } else {
        // The text runs to the end token, which stands on the first NUL at or after the scan
        // pointer (no token steps over a NUL byte); finding it directly spares tokenizing the
        // text.
        const char* Begin = Scanner.Text();
        const char* Scan = Scanner.ScanPtr();
        const size_t Left = Scanner.TextLength() + 1 - static_cast<size_t>(Scan - Begin);
        const auto* Nul = static_cast<const char*>(std::memchr(Scan, '\0', Left));
        EndPos = static_cast<int>(Nul - Begin) + 1;
    }
    if (Kind == TCommentKind::Line && Tok == tkEnd) {
        // Line comments arrive without their line break, so an empty text is empty at the end
        // rather than the last two characters of the comment.
        F.Text = {EndPos, EndPos};
    } else {
        F.Text = {TextStart, EndPos - CloserLength(Kind)};
        // A comment cut short before its closer would otherwise give an inverted range.
        if (F.Text.End < F.Text.Start)
            F.Text.End = F.Text.Start;
    }
    return F;
}

int PriorityValue(std::string_view Chars) {
    if (Chars.empty())
        return 0;
    int Value = 0;
    for (char C : Chars) {
        if (C < '0' || C > '9')
            return 0;
        Value = Value * 10 + (C - '0');
        if (Value > 5) // also stops before any overflow
            return 0;
    }
    return Value;
}

bool IsDoneKeyword(std::string_view Keyword) {
    if (Keyword.size() != 4)
        return false;
    const char* Done = "DONE";
    for (int I = 0; I < 4; ++I) {
        char C = Keyword[static_cast<size_t>(I)];
        if (C >= 'a' && C <= 'z')
            C = static_cast<char>(C - 'a' + 'A');
        if (C != Done[I])
            return false;
    }
    return true;
}

std::string_view RangeText(std::string_view S, TRange Range, int Skip) {
    const int64_t From = static_cast<int64_t>(Range.Start) + Skip;
    const int64_t To = Range.End;
    if (Range.Start < 1 || From < 1 || To <= From || To > static_cast<int64_t>(S.size()) + 1)
        return {};
    return S.substr(static_cast<size_t>(From - 1), static_cast<size_t>(To - From));
}
