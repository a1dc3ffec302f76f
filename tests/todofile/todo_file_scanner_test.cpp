#include "todofile/todo_file_scanner.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using TComments = std::vector<std::pair<int, std::string>>; // 0-based offset, text

TComments ScanComments(std::string_view Text, size_t BlockSize) {
    TStringSourceReader Reader(Text, BlockSize);
    TToDoFileScanner Scanner;
    Scanner.StartScanner(Reader);
    TComments Found;
    for (; Scanner.Token() != tfEnd; Scanner.NextToken())
        if (Scanner.Token() == tfComment)
            Found.emplace_back(Scanner.GetTokenPos() - 1, Scanner.GetTokenIdent());
    return Found;
}

TEST(ToDoFileScannerTest, FindsTheCommentsOfEveryFormWhateverTheBlocksTheTextArrivesIn) {
    using namespace std::string_literals;
    struct TCase {
        const char* Name;
        std::string Text;
        TComments Expected;
    };
    const TCase Cases[] = {
        {"three forms",
         "{ TODO a }\r\n(* TODO b *)\r\n// TODO c\r\n",
         {{0, "{ TODO a }"}, {12, "(* TODO b *)"}, {26, "// TODO c\r\n"}}},
        {"brace across lines", "x {a\r\nb} y", {{2, "{a\r\nb}"}}},
        {"paren-star across lines", "(*a\n*b*)", {{0, "(*a\n*b*)"}}},
        {"line comment to a bare LF", "// a\nb", {{0, "// a\n"}}},
        {"a lone CR ends no line", "// a\rb\r\n{c}", {{0, "// a\rb\r\n"}, {8, "{c}"}}},
        {"line comment at the end", "x // end", {{2, "// end"}}},
        {"quoted opener", "'{ no }' {yes}", {{9, "{yes}"}}},
        {"doubled quote", "'it''s {no}' {yes}", {{13, "{yes}"}}},
        {"string ends at the line end", "'open\n{yes}", {{6, "{yes}"}}},
        {"string goes on over a lone CR", "'a\r{no}'", {}},
        {"brace left open", "{a} {open", {{0, "{a}"}}},
        {"paren-star left open", "(* open *", {}},
        {"(*) opens only", "(*) x *)", {{0, "(*) x *)"}}},
        {"lone ( and /", "a/b (c) {d}", {{8, "{d}"}}},
        {"UTF-8 in a brace comment", "{\xC3\xA9}", {{0, "{\xC3\xA9}"}}},
        {"a lead byte swallows a }", "{\xC3}x}", {{0, "{\xC3}x}"}}},
        {"NUL is no part of a sequence", "{\xE2\0}"s, {{0, "{\xE2\0}"s}}},
        {"NUL outside comments", "\0{a}"s, {{1, "{a}"}}},
        {"other tokens", "#1 $FF a.b .. x@y;[^] \xC3\xA9 \x7F {z}", {{27, "{z}"}}},
        {"empty", "", {}},
    };
    for (const TCase& C : Cases)
        for (size_t Block : {0, 1, 2, 3, 7}) {
            SCOPED_TRACE(std::string(C.Name) + ", blocks of " + std::to_string(Block));
            EXPECT_EQ(ScanComments(C.Text, Block), C.Expected);
        }
}

TEST(ToDoFileScannerTest, TellsTheOtherTokensApart) {
    TToDoFileScanner Scanner;
    Scanner.StartScannerString("ab_1 #9x 'q''s' .. . ( / ; } \xC3");
    std::vector<std::pair<int, std::string>> Tokens;
    for (; Scanner.Token() != tfEnd; Scanner.NextToken())
        Tokens.emplace_back(Scanner.Token(), Scanner.GetTokenIdent());
    const std::vector<std::pair<int, std::string>> Expected = {
        {tfIdent, "ab_1"}, {tfNumber, "#9x"}, {tfString, "'q''s'"}, {tfSymbol, ".."},
        {tfSymbol, "."},   {tfSymbol, "("},   {tfSymbol, "/"},      {tfSymbol, ";"},
        {tfOther, "}"},    {tfOther, "\xC3"},
    };
    EXPECT_EQ(Tokens, Expected);
}

} // namespace
