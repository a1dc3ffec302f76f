#include "comments/todo_comment.h"

#include "comments/comment_scanner.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

// At global scope, where the lookup for TRange finds it.
[[maybe_unused]] static std::ostream& operator<<(std::ostream& Os, TRange R) {
    return Os << "[" << R.Start << ", " << R.End << ")";
}

namespace {

// What a test expects of a to-do comment: the field texts as a reader of the item sees them.
struct TFieldTexts {
    std::string Keyword, Priority, Owner, Category, Text;
    bool operator==(const TFieldTexts&) const = default;
};

std::ostream& operator<<(std::ostream& Os, const TFieldTexts& F) {
    return Os << "keyword '" << F.Keyword << "' priority '" << F.Priority << "' owner '" << F.Owner
              << "' category '" << F.Category << "' text '" << F.Text << "'";
}

TFieldTexts Texts(std::string_view S, const TToDoCommentFields& F) {
    return {std::string(RangeText(S, F.Keyword)), std::string(RangeText(S, F.Priority)),
            std::string(RangeText(S, F.Owner, 2)), std::string(RangeText(S, F.Category, 2)),
            std::string(RangeText(S, F.Text))};
}

TEST(ToDoCommentTest, RecognisesToDoComments) {
    struct TCase {
        std::string Comment;
        TFieldTexts Expected;
    };
    const TCase Cases[] = {
        {"{ TODO 2 -oAnn -cUI : Fix the splitter }",
         {"TODO", "2", "Ann", "UI", "Fix the splitter "}},
        {"// DONE: ship it", {"DONE", "", "", "", "ship it"}},
        {"{ todo: lower case }", {"todo", "", "", "", "lower case "}},
        {"(* TODO -cBack end: x *)", {"TODO", "", "", "Back end", "x "}},
        {"{ TODO -oAnn 3: t }", {"TODO", "", "Ann 3", "", "t "}},
        {"{ TODO 1 2: t }", {"TODO", "2", "", "", "t "}},
        {"{ TODO -xyz 3: t }", {"TODO", "3", "", "", "t "}},
        {"{ TODO 7: t }", {"TODO", "7", "", "", "t "}},
        {"{TODO:}", {"TODO", "", "", "", ""}},
        {"{ TODO: a: b }", {"TODO", "", "", "", "a: b "}},
        {"{ TODO -oA:B }", {"TODO", "", "A", "", "B "}},
        {"{ TODO: first line\r\nsecond line }", {"TODO", "", "", "", "first line\r\nsecond line "}},
        // Every opener, and the blanks that may stand before the keyword.
        {"/* TODO: x */", {"TODO", "", "", "", "x "}},
        {"(** DoNe: x *)", {"DoNe", "", "", "", "x "}},
        {"/// TODO: x", {"TODO", "", "", "", "x"}},
        {"/* * TODO: x */", {"TODO", "", "", "", "x "}},
        {"{\r\n\t(TODO: x}", {"TODO", "", "", "", "x"}},
        // The keyword ends at '-', ':' and a lead byte; a switch letter may follow directly.
        {"{TODO-oAnn-cUI:x}", {"TODO", "", "Ann", "UI", "x"}},
        {"{ TODO\xC3\xA9: x }", {"TODO", "", "", "", "x "}},
        {"{ TODO -c UI: x }", {"TODO", "", "", " UI", "x "}},
        {"{ TODO -C(UI) -O{Ann}: x }", {"TODO", "", "{Ann}", "(UI)", "x "}},
        // A later switch of the same letter starts the value again.
        {"{ TODO -cA -cB: x }", {"TODO", "", "", "B", "x "}},
        {"{ TODO -oZo\xC3\xAB -cCaf\xC3\xA9: \xE6\x97\xA5 }",
         {"TODO", "", "Zo\xC3\xAB", "Caf\xC3\xA9", "\xE6\x97\xA5 "}},
        {"{ TODO 5a 1.5: x }", {"TODO", "1.5", "", "", "x "}},
        // Empty texts: empty at the closer, and for a line comment at the very end.
        {"/* TODO: */", {"TODO", "", "", "", ""}},
        {"(*TODO:*)", {"TODO", "", "", "", ""}},
        {"// TODO:", {"TODO", "", "", "", ""}},
        {"// TODO:   \t", {"TODO", "", "", "", ""}},
        // A NUL byte ends the comment where it stands.
        {std::string("// TODO: a\0b", 12), {"TODO", "", "", "", "a"}},
        {std::string("{ TODO: ab\0c }", 14), {"TODO", "", "", "", "a"}},
        // A comment cut short before its closer keeps an empty text, not an inverted range.
        {"/*TODO:x", {"TODO", "", "", "", ""}},
    };
    for (const TCase& Case : Cases) {
        auto F = ParseToDoComment(Case.Comment);
        ASSERT_TRUE(F) << Case.Comment;
        EXPECT_EQ(Texts(Case.Comment, *F), Case.Expected) << Case.Comment;
    }
}

TEST(ToDoCommentTest, RejectsOtherComments) {
    const std::string Cases[] = {
        "{ TODO fix this }",
        "{ NOTE TODO: x }",
        "{ 'TODO: x }",
        "{ TODO2: x }",
        "{TODO}: x",
        "{ TODO*): x }",
        "{ TODO.: x }",
        "{ TODO\xA9: x }",
        "TODO: x",
        "# TODO: x",
        "{",
        "",
        "/",
        "{ TOD: x }",
        "{ TODOS: x }",
        "{ -TODO: x }",
        "{ 1TODO: x }",
        "{ :TODO: x }",
        std::string("{ TODO\0: x }", 12),
        std::string("{\0TODO: x }", 11),
        "{ TODO -oAnn }",
    };
    for (const std::string& S : Cases)
        EXPECT_FALSE(ParseToDoComment(S)) << S;
}

TEST(ToDoCommentTest, RecordsExactPositions) {
    struct TCase {
        std::string Comment;
        TToDoCommentFields Expected;
    };
    const TCase Cases[] = {
        {"{ TODO 2 -oAnn -cUI : Fix the splitter }",
         {TCommentKind::Brace, {3, 7}, {23, 40}, {16, 20}, {10, 15}, {8, 9}}},
        {"{TODO:}", {TCommentKind::Brace, {2, 6}, {7, 7}, {}, {}, {}}},
        {"/* TODO: */", {TCommentKind::SlashStar, {4, 8}, {10, 10}, {}, {}, {}}},
        {"(* DONE: x *)", {TCommentKind::ParenStar, {4, 8}, {10, 12}, {}, {}, {}}},
        {"// TODO:", {TCommentKind::Line, {4, 8}, {9, 9}, {}, {}, {}}},
        {"// TODO: x", {TCommentKind::Line, {4, 8}, {10, 11}, {}, {}, {}}},
    };
    for (const TCase& Case : Cases) {
        auto F = ParseToDoComment(Case.Comment);
        ASSERT_TRUE(F) << Case.Comment;
        EXPECT_EQ(F->Kind, Case.Expected.Kind) << Case.Comment;
        EXPECT_EQ(F->Keyword, Case.Expected.Keyword) << Case.Comment;
        EXPECT_EQ(F->Text, Case.Expected.Text) << Case.Comment;
        EXPECT_EQ(F->Category, Case.Expected.Category) << Case.Comment;
        EXPECT_EQ(F->Owner, Case.Expected.Owner) << Case.Comment;
        EXPECT_EQ(F->Priority, Case.Expected.Priority) << Case.Comment;
    }
}

// The parse spelled out with the scanner alone: no quick rejection, every text token read.
std::optional<TToDoCommentFields> ReferenceParse(std::string_view S) {
    const TCommentKind Kind = CommentKindOf(S);
    if (Kind == TCommentKind::None)
        return std::nullopt;
    TCommentScanner Sc;
    Sc.StartScannerString(S);
    const uint16_t Hash = Sc.TokenHash();
    if ((Hash != TCommentScanner::TodoHash && Hash != TCommentScanner::DoneHash) ||
        !(Sc.TokenIdentEq("TODO") || Sc.TokenIdentEq("DONE")))
        return std::nullopt;
    auto End = [&] { return Sc.GetTokenPos() + static_cast<int>(Sc.GetTokenIdent().size()); };
    TToDoCommentFields F;
    F.Kind = Kind;
    F.Keyword = {Sc.GetTokenPos(), End()};
    TRange* Value = nullptr;
    int Tok = Sc.NextToken();
    while (Tok != tkEnd && Tok != tkColon) {
        if (Tok == tkWord || (Tok == tkNumber && Value)) {
            if (Value)
                Value->End = End();
        } else if (Tok == tkNumber) {
            F.Priority = {Sc.GetTokenPos(), End()};
        } else if (Tok == tkSwitch) {
            const int Minus = Sc.GetTokenPos();
            Sc.SkipToPos(Minus + 1);
            const char L = *Sc.ScanPtr();
            Value = (L == 'c' || L == 'C')   ? &F.Category
                    : (L == 'o' || L == 'O') ? &F.Owner
                                             : nullptr;
            if (Value)
                Value->Start = Minus;
        }
        Tok = Sc.NextToken();
    }
    if (Tok == tkEnd)
        return std::nullopt;
    Tok = Sc.NextToken();
    F.Text = {Sc.GetTokenPos(), Sc.GetTokenPos()};
    const bool Empty = Tok == tkEnd;
    if (!Empty) {
        while (Tok != tkEnd) {
            Tok = Sc.NextToken();
            F.Text.End = End();
        }
    } else {
        F.Text.Start -= Kind == TCommentKind::Brace ? 1 : 2;
    }
    F.Text.End -= CloserLength(Kind);
    if (Kind == TCommentKind::Line && Empty)
        F.Text = {F.Text.End, F.Text.End};
    if (F.Text.End < F.Text.Start)
        F.Text.End = F.Text.Start;
    return F;
}

TEST(ToDoCommentTest, AgreesWithTheScannerOnRandomBytes) {
    // Short strings over the bytes that matter to the grammar, with an opener and a keyword
    // often enough that both the quick rejection and the full parse get exercised.
    const std::string Alphabet[] = {
        "T", "O", "D", "N", "E",  "t",    "o",    "d",    "-",    ":",
        " ", "{", "}", "(", "*",  "/",    "\xC3", "\xA9", "\x80", std::string(1, '\0'),
        "2", "c", "@", "'", "\t", "\xFD", "TODO", "done", "Todo"};
    const std::string Openers[] = {"", "{", "//", "(*", "/*", "{ ", "/* "};
    std::mt19937 Rng(12345);
    int Accepted = 0;
    for (int I = 0; I < 200000; ++I) {
        std::string S = Openers[Rng() % std::size(Openers)];
        const int Len = static_cast<int>(Rng() % 12);
        for (int K = 0; K < Len; ++K)
            S += Alphabet[Rng() % std::size(Alphabet)];
        const auto Got = ParseToDoComment(S);
        const auto Want = ReferenceParse(S);
        ASSERT_EQ(Got.has_value(), Want.has_value()) << testing::PrintToString(S);
        if (!Got)
            continue;
        ++Accepted;
        ASSERT_TRUE(*Got == *Want)
            << testing::PrintToString(S) << " text " << Got->Text << " vs " << Want->Text;
        for (TRange R : {Got->Keyword, Got->Text, Got->Owner, Got->Category, Got->Priority}) {
            ASSERT_LE(R.Start, R.End) << testing::PrintToString(S);
            if (R.Start != 0) {
                ASSERT_TRUE(R.Start >= 1 && R.End <= static_cast<int>(S.size()) + 1)
                    << testing::PrintToString(S);
            }
        }
    }
    EXPECT_GT(Accepted, 1000); // the comparison must not be vacuous
}

TEST(ToDoCommentTest, PriorityValues) {
    const std::pair<std::string, int> Cases[] = {
        {"", 0},    {"0", 0},
        {"1", 1},   {"5", 5},
        {"6", 0},   {"7", 0},
        {"05", 5},  {"0003", 3},
        {"10", 0},  {"5a", 0},
        {"1.5", 0}, {"-1", 0},
        {" 3", 0},  {"99999999999999999999", 0},
    };
    for (const auto& [Chars, Value] : Cases)
        EXPECT_EQ(PriorityValue(Chars), Value) << Chars;
}

TEST(ToDoCommentTest, RangeTextNeverLeavesTheString) {
    const std::string_view S = "-oAnn";
    struct TCase {
        TRange R;
        int Skip;
        std::string_view Expected;
    };
    const TCase Cases[] = {
        {{1, 6}, 2, "Ann"},
        {{1, 6}, 0, "-oAnn"},
        {{0, 0}, 0, ""},
        {{3, 3}, 0, ""},
        {{1, 7}, 0, ""},
        {{-1, 3}, 0, ""},
        {{4, 2}, 0, ""},
        {{1, 3}, 5, ""},
        {{1, 6}, -1, ""},
        {{6, 6}, 0, ""},
        {{2147483647, 2147483647}, 1, ""},
    };
    for (const TCase& C : Cases)
        EXPECT_EQ(RangeText(S, C.R, C.Skip), C.Expected) << C.R << " skip " << C.Skip;
}

} // namespace
