#include "comments/todo_comment.h"

#include "comments/comment_scanner.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

using enum TCommentKind;
using namespace std::string_literals;

std::string Str(TRange R) {
    return std::to_string(R.Start) + "-" + std::to_string(R.End);
}

// The fields as a reader of the item sees them: "keyword|priority|owner|category|text".
std::string Texts(std::string_view S, const TToDoCommentFields& F) {
    return std::string(RangeText(S, F.Keyword)) + "|" + std::string(RangeText(S, F.Priority)) +
           "|" + std::string(RangeText(S, F.Owner, 2)) + "|" +
           std::string(RangeText(S, F.Category, 2)) + "|" + std::string(RangeText(S, F.Text));
}

TEST(ToDoCommentTest, ReadsTheFieldsOfToDoCommentsOnly) {
    const std::pair<std::string, std::string> Cases[] = {
        {"{ TODO 2 -oAnn -cUI : Fix the splitter }", "TODO|2|Ann|UI|Fix the splitter "},
        {"// DONE: ship it", "DONE||||ship it"},
        {"(* TODO -cBack end: x *)", "TODO|||Back end|x "},
        {"{ TODO -oAnn 3: t }", "TODO||Ann 3||t "}, // a number after a switch joins its value
        {"{ TODO -xyz 3: t }", "TODO|3|||t "},      // an unknown switch ends the value before it
        {"{ TODO: a: b }", "TODO||||a: b "},
        {"{ TODO -oA:B }", "TODO||A||B "},
        {"{ TODO: first line\r\nsecond line }", "TODO||||first line\r\nsecond line "},
        {"(** DoNe: x *)", "DoNe||||x "},
        {"/// TODO: x", "TODO||||x"},
        {"{\r\n\t(TODO: x}", "TODO||||x"},
        {"{TODO-oAnn-cUI:x}", "TODO||Ann|UI|x"},
        {"{ TODO\xC3\xA9: x }", "TODO||||x "}, // the keyword ends at a lead byte
        {"{ TODO -c UI: x }", "TODO||| UI|x "},
        {"{ TODO -C(UI) -O{Ann}: x }", "TODO||{Ann}|(UI)|x "},
        {"{ TODO -cA -cB: x }", "TODO|||B|x "},
        {"{ TODO -oZo\xC3\xAB -cCaf\xC3\xA9: \xE6\x97\xA5 }",
         "TODO||Zo\xC3\xAB|Caf\xC3\xA9|\xE6\x97\xA5 "},
        {"{ TODO 5a 1.5: x }", "TODO|1.5|||x "}, // the last number is the priority
        {"(*TODO:*)", "TODO||||"},
        {"// TODO:   \t", "TODO||||"},
        {"// TODO: a\0b"s, "TODO||||a"}, // a NUL byte ends the comment
        {"{ TODO: ab\0c }"s, "TODO||||a"},
        {"/*TODO:x", "TODO||||"}, // cut short before the closer: empty, not inverted
        // Not to-do comments.
        {"{ TODO fix this }", ""},
        {"{ NOTE TODO: x }", ""},
        {"{ 'TODO: x }", ""},
        {"{ TODO2: x }", ""},
        {"{TODO}: x", ""},
        {"{ TODO\xA9: x }", ""},
        {"{ TODOS: x }", ""},
        {"{ -TODO: x }", ""},
        {"# TODO: x", ""},
        {"", ""},
        {"{ TODO\0: x }"s, ""},
        {"{\0TODO: x }"s, ""},
    };
    for (const auto& [Comment, Expected] : Cases) {
        auto F = ParseToDoComment(Comment);
        EXPECT_EQ(F ? Texts(Comment, *F) : "", Expected) << testing::PrintToString(Comment);
    }
}

TEST(ToDoCommentTest, RecordsExactPositions) {
    // Keyword, priority, owner, category and text as 1-based [start, end) ranges.
    const std::tuple<std::string, TCommentKind, std::string> Cases[] = {
        {"{ TODO 2 -oAnn -cUI : Fix the splitter }", Brace, "3-7 8-9 10-15 16-20 23-40"},
        {"{TODO:}", Brace, "2-6 0-0 0-0 0-0 7-7"},
        {"/* TODO: */", SlashStar, "4-8 0-0 0-0 0-0 10-10"},
        {"(* DONE: x *)", ParenStar, "4-8 0-0 0-0 0-0 10-12"},
        {"// TODO:", Line, "4-8 0-0 0-0 0-0 9-9"}, // empty at the very end
        {"// TODO: x", Line, "4-8 0-0 0-0 0-0 10-11"},
    };
    for (const auto& [Comment, Kind, Expected] : Cases) {
        auto F = ParseToDoComment(Comment);
        ASSERT_TRUE(F) << Comment;
        EXPECT_EQ(F->Kind, Kind) << Comment;
        std::string Got;
        for (TRange R : {F->Keyword, F->Priority, F->Owner, F->Category, F->Text})
            Got += Str(R) + " ";
        EXPECT_EQ(Got, Expected + " ") << Comment;
    }
}

// The parser's shortcuts (the quick rejection, the text end found without tokenizing the text)
// spelled out with the scanner: the keyword and text ranges of S, "" when it is not a to-do.
std::string SlowParse(std::string_view S) {
    const int Closer = CloserLength(CommentKindOf(S));
    TCommentScanner Sc;
    Sc.StartScannerString(S);
    if (CommentKindOf(S) == None || Sc.Token() != tkWord ||
        !(Sc.TokenIdentEq("TODO") || Sc.TokenIdentEq("DONE")))
        return "";
    const std::string Keyword = Str({Sc.GetTokenPos(), Sc.GetTokenPos() + 4}) + " ";
    for (int Tok = Sc.NextToken(); Tok != tkColon; Tok = Sc.NextToken())
        if (Tok == tkEnd)
            return "";
    if (Sc.NextToken() == tkEnd)
        return Keyword + Str({Sc.GetTokenPos() - Closer, Sc.GetTokenPos() - Closer});
    const int Start = Sc.GetTokenPos();
    while (Sc.NextToken() != tkEnd) {
    }
    return Keyword + Str({Start, std::max(Start, Sc.GetTokenPos() - Closer)});
}

TEST(ToDoCommentTest, ShortcutsAgreeWithTheScannerOnRandomBytes) {
    const std::string Alphabet[] = {
        "T", "O", "D", "N", "E",  "t",    "o",    "d",    "-",    ":",
        " ", "{", "}", "(", "*",  "/",    "\xC3", "\xA9", "\x80", std::string(1, '\0'),
        "2", "c", "@", "'", "\t", "\xFD", "TODO", "done", "Todo"};
    const std::string Openers[] = {"", "{", "//", "(*", "/*", "{ ", "/* "};
    std::mt19937 Rng(12345);
    int Accepted = 0;
    for (int I = 0; I < 200000; ++I) {
        std::string S = Openers[Rng() % std::size(Openers)];
        for (int K = static_cast<int>(Rng() % 12); K > 0; --K)
            S += Alphabet[Rng() % std::size(Alphabet)];
        const auto F = ParseToDoComment(S);
        ASSERT_EQ(F ? Str(F->Keyword) + " " + Str(F->Text) : "", SlowParse(S))
            << testing::PrintToString(S);
        Accepted += F.has_value();
    }
    EXPECT_GT(Accepted, 1000); // the comparison must not be vacuous
}

TEST(ToDoCommentTest, PriorityValueAndRangeText) {
    const std::pair<std::string, int> Priorities[] = {
        {"", 0},   {"0", 0},  {"1", 1},  {"5", 5},  {"6", 0},
        {"05", 5}, {"10", 0}, {"5a", 0}, {"-1", 0}, {"99999999999999999999", 0}};
    for (const auto& [Chars, Value] : Priorities)
        EXPECT_EQ(PriorityValue(Chars), Value) << Chars;

    // Ranges that leave the string, or are absent, cut out nothing.
    const std::tuple<TRange, int, std::string_view> Ranges[] = {
        {{1, 6}, 2, "Ann"}, {{1, 6}, 0, "-oAnn"},
        {{0, 0}, 0, ""},    {{1, 7}, 0, ""},
        {{4, 2}, 0, ""},    {{1, 6}, -1, ""},
        {{1, 3}, 5, ""},    {{2147483647, 2147483647}, 1, ""}};
    for (const auto& [R, Skip, Expected] : Ranges)
        EXPECT_EQ(RangeText("-oAnn", R, Skip), Expected) << Str(R) << " skip " << Skip;
}

} // namespace
