#include "comments/todo_comment.h"

#include "comments/comment_scanner.h"
#include "host/todo_intf.h"
#include "host/utf8.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>

namespace {

using namespace std::string_literals;

std::string Str(TRange R) {
    return std::to_string(R.Start) + "-" + std::to_string(R.End);
}

TEST(ToDoCommentTest, FindsTheFieldsOfToDoCommentsOnly) {
    // Keyword, priority, owner, category and text as a reader of the item sees them.
    const std::pair<std::string, std::string> Cases[] = {
        {"{ TODO 2 -oAnn -cUI : Fix the splitter }", "TODO|2|Ann|UI|Fix the splitter "},
        {"{ TODO -oAnn 3: t }", "TODO||Ann 3||t "}, // a number after a switch joins its value
        {"{ TODO -xyz 3: t }", "TODO|3|||t "},      // an unknown switch ends the value before it
        {"(** DoNe: x *)", "DoNe||||x "},
        {"{\r\n\t(TODO: x}", "TODO||||x"},
        {"{TODO-oAnn-cUI:x}", "TODO||Ann|UI|x"},
        {"{ TODO\xC3\xA9: x }", "TODO||||x "}, // the keyword ends at a lead byte
        {"{ TODO -C(UI) -O{Ann}: x }", "TODO||{Ann}|(UI)|x "},
        {"{ TODO 5a 1.5: x }", "TODO|1.5|||x "}, // the last number is the priority
        {"// TODO:   \t", "TODO||||"},
        {"{ TODO: ab\0c }"s, "TODO||||a"}, // a NUL byte ends the comment
        {"/*TODO:x", "TODO||||"},          // cut short before the closer: empty, not inverted
        {"{ TODO fix this }", ""},         // not to-do comments from here on
        {"{ NOTE TODO: x }", ""},
        {"{ 'TODO: x }", ""},
        {"{TODO}: x", ""},
        {"{ TODO\xA9: x }", ""},
        {"# TODO: x", ""},
        {"{ TODO\0: x }"s, ""},
    };
    for (const auto& [Comment, Expected] : Cases) {
        std::string Got;
        if (auto F = ParseToDoComment(Comment)) {
            Got = RangeText(Comment, F->Keyword);
            for (auto [R, Skip] :
                 {std::pair{F->Priority, 0}, {F->Owner, 2}, {F->Category, 2}, {F->Text, 0}})
                Got += "|" + std::string(RangeText(Comment, R, Skip));
        }
        EXPECT_EQ(Got, Expected) << testing::PrintToString(Comment);
    }
    // Where the same fields lie: 1-based [start, end) ranges, 0-0 when absent.
    const std::pair<std::string, std::string> Positions[] = {
        {"{ TODO 2 -oAnn -cUI : Fix the splitter }", "3-7 8-9 10-15 16-20 23-40"},
        {"{TODO:}", "2-6 0-0 0-0 0-0 7-7"},
        {"(* DONE: *)", "4-8 0-0 0-0 0-0 10-10"},
        {"// TODO:", "4-8 0-0 0-0 0-0 9-9"}, // empty at the very end
        {"// TODO: x", "4-8 0-0 0-0 0-0 10-11"},
    };
    for (const auto& [Comment, Expected] : Positions) {
        std::string Got;
        if (auto F = ParseToDoComment(Comment))
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
    if (CommentKindOf(S) == TCommentKind::None || Sc.Token() != tkWord ||
        !(Sc.TokenIdentEq("TODO") || Sc.TokenIdentEq("DONE")))
        return "";
    const std::string Keyword = Str({Sc.GetTokenPos(), Sc.GetTokenPos() + 4}) + " ";
    for (int Tok = Sc.NextToken(); Tok != tkColon; Tok = Sc.NextToken())
        if (Tok == tkEnd)
            return "";
    const bool Empty = Sc.NextToken() == tkEnd;
    const int Start = Sc.GetTokenPos();
    while (Sc.Token() != tkEnd)
        Sc.NextToken();
    const int End = Sc.GetTokenPos() - Closer;
    return Keyword + (Empty ? Str({End, End}) : Str({Start, std::max(Start, End)}));
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
        {"0", 0}, {"1", 1}, {"5", 5}, {"6", 0}, {"05", 5}, {"10", 0}, {"5a", 0}, {"9999999999", 0}};
    for (const auto& [Chars, Value] : Priorities)
        EXPECT_EQ(PriorityValue(Chars), Value) << Chars;
    // Ranges that leave the string, or are absent, cut out nothing.
    const std::tuple<TRange, int, std::string_view> Ranges[] = {
        {{1, 6}, 2, "Ann"}, {{0, 0}, 0, ""}, {{1, 7}, 0, ""}, {{4, 2}, 0, ""}, {{1, 6}, -1, ""}};
    for (const auto& [R, Skip, Expected] : Ranges)
        EXPECT_EQ(RangeText("-oAnn", R, Skip), Expected) << Str(R) << " skip " << Skip;
}

TEST(FormatItemTest, WritesBodiesThatReadBackWhenTheFieldsPassTheCheck) {
    EXPECT_EQ(FormatItem(L"Fix the splitter", L"Ann", L"UI", 2, false),
              L"TODO 2 -oAnn -cUI : Fix the splitter");
    EXPECT_EQ(FormatItem(L"ship it", L"", L"", 0, true), L"DONE : ship it");
    // CheckItemFields names the first value that could not be read back (the start of the error).
    const std::tuple<std::wstring, std::wstring, std::wstring, std::string> Cases[] = {
        {L"x  ", L"Ann\tLee", L"a@b", "accepted"},
        {L"'quoted", L"Ann)", L"{UI} (x)", "accepted"},
        {L" x", L"A-B", L"", "text must not start with a blank"},
        {L"(x)", L"", L"", "text must not start with a blank or with ( ) * / { }"},
        {L"a\0b"s, L"", L"", "text must not contain a nul"},
        {L"\xD800"s, L"", L"", "text holds a character that is not valid unicode"},
        {L"x", L"A:B", L"", "owner must not contain ':' or '-'"},
        {L"x", L" Ann", L"", "owner must not start with a blank"},
        {L"x", L"Ann\t(*)", L"", "owner must not end with a blank or with ( ) * / { } after"},
        {L"x", L"Ann", L"a-b", "category must not contain ':' or '-'"},
    };
    for (const auto& [Text, Owner, Category, Error] : Cases) {
        const TStatus S = CheckItemFields(Text, Owner, Category);
        EXPECT_EQ(S.Ok() ? "accepted" : S.Message().substr(0, Error.size()), Error)
            << WideToUtf8(Text + L"|" + Owner + L"|" + Category) << ": " << S.Message();
    }
    // Random values over the characters that matter to the grammar, written inside braces and
    // read back as an item does: whatever CheckItemFields accepts must read back unchanged, and
    // its rule for the end of a value is exact, not merely safe.
    const wchar_t* Alphabet[] = {L"A", L"b",      L" ",      L"\t",     L"(",    L")",  L"*",
                                 L"/", L"{",      L"}",      L":",      L"-",    L"@",  L"3",
                                 L"'", L"\u00E9", L"\u65E5", L"\u00A0", L"\r\n", L"\n", L"\x7F"};
    std::mt19937 Rng(99);
    auto Random = [&] {
        std::wstring S;
        for (int N = static_cast<int>(Rng() % 6); N > 0; --N)
            S += Alphabet[Rng() % std::size(Alphabet)];
        return S;
    };
    using TFields = std::tuple<std::wstring, std::wstring, std::wstring, int, bool>;
    int Accepted = 0;
    for (int I = 0; I < 30000; ++I) {
        const TFields In{Random(), Random(), Random(), static_cast<int>(Rng() % 6), I % 2 == 1};
        const auto& [Text, Owner, Category, Priority, Done] = In;
        const TStatus S = CheckItemFields(Text, Owner, Category);
        const std::string C =
            "{" + WideToUtf8(FormatItem(Text, Owner, Category, Priority, Done)) + "}";
        const auto F = ParseToDoComment(C);
        auto Get = [&](TRange R, int Skip) { return Utf8ToWide(RangeText(C, R, Skip)); };
        const bool Same = F && TFields{Get(F->Text, 0), Get(F->Owner, 2), Get(F->Category, 2),
                                       PriorityValue(RangeText(C, F->Priority)),
                                       IsDoneKeyword(RangeText(C, F->Keyword))} == In;
        if (S.Ok() || S.Message().find("end with") != std::string::npos) {
            EXPECT_EQ(Same, S.Ok()) << C << ": " << S.Message();
        }
        Accepted += S.Ok();
    }
    EXPECT_GT(Accepted, 3000);
}

} // namespace
