#pragma once

#include <optional>
#include <string_view>

/// The four comment forms a to-do can live in, decided from the first two characters.
enum class TCommentKind { None, Brace, Line, ParenStar, SlashStar };

/// A range of characters inside a comment: 1-based indexes, End exclusive; 0, 0 when absent.
struct TRange {
    int Start = 0;
    int End = 0;
    bool operator==(const TRange&) const = default;
};

/// Where the parser found each field of a to-do comment.
struct TToDoCommentFields {
    TCommentKind Kind = TCommentKind::None;
    TRange Keyword;
    TRange Text;
    TRange Category; ///< from the "-" of "-c" to the end of its value
    TRange Owner;    ///< from the "-" of "-o" to the end of its value
    TRange Priority;
    bool operator==(const TToDoCommentFields&) const = default;
};

/// The comment form of S from its first two characters; None for fewer than 2 characters or an
/// unknown opener.
TCommentKind CommentKindOf(std::string_view S);

/// The closer length the text end is moved back by: 1 for "}", 0 for a line comment, 2 else.
int CloserLength(TCommentKind Kind);

/// Parses one whole comment (opener through closer) with the to-do grammar: blanks, the keyword
/// TODO or DONE in any case, a head of priority numbers, -o/-c switches and other words, a
/// colon, then the text up to the closer. Returns nothing when S is not a to-do comment.
/// For a line comment with an empty text the text range is empty at the end of S, so that a
/// comment delivered without its line break reads as an empty text.
std::optional<TToDoCommentFields> ParseToDoComment(std::string_view S);

/// The priority that the characters of a priority range stand for: their decimal value when
/// they are all digits and the value is 5 or less, else 0.
int PriorityValue(std::string_view Chars);

/// True when Keyword equals "DONE" without regard to ASCII case.
bool IsDoneKeyword(std::string_view Keyword);

/// Cuts a range out of S (1-based, End exclusive); empty for an absent or out-of-bounds range.
std::string_view RangeText(std::string_view S, TRange Range, int Skip = 0);
