#include "comments/comment_scanner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

using namespace std::string_literals;

// The tokens of a scan as "text@pos" ("#text@pos" for a number), then "$pos" for the end
// token, which must stay where it is when read once more.
std::string Tokens(TCommentScanner& Sc) {
    std::string Out;
    for (size_t N = 0; Sc.Token() != tkEnd && N < 100000; ++N, Sc.NextToken())
        Out += (Sc.Token() == tkNumber ? "#" : "") + std::string(Sc.GetTokenIdent()) + "@" +
               std::to_string(Sc.GetTokenPos()) + " ";
    const int End = Sc.GetTokenPos();
    Out += "$" + std::to_string(End);
    if (Sc.NextToken() != tkEnd || Sc.GetTokenPos() != End || !Sc.GetTokenIdent().empty())
        Out += " moved";
    return Out;
}

// Hands out the text in pieces that end after a blank following a non-blank, so that no token
// is cut; a piece is cut short only by the scanner's block size.
struct TPieceReader : ISourceReader {
    explicit TPieceReader(std::string_view Text) : Text(Text) {}
    size_t Read(char* Buffer, size_t Capacity) override {
        size_t End = Text.find(' ', Text.find_first_not_of(' ', Pos));
        End = std::min(End == std::string_view::npos ? Text.size() : End + 1, Pos + Capacity);
        const size_t Size = Text.copy(Buffer, End - Pos, Pos);
        Pos = End;
        return Size;
    }
    std::string_view Text;
    size_t Pos = 0;
};

TEST(CommentScannerTest, TokenSequencesFromAStringAndFromASource) {
    const std::pair<std::string, std::string> Cases[] = {
        {"{ TODO -cUI: x }", "TODO@3 -@8 cUI@9 :@12 x@14 $17"},
        {"", "$1"},
        {"(* */ {} \t\r\n", "$13"},
        {"ab cd-ef:gh@ij", "ab@1 cd@4 -@6 ef@7 :@9 gh@10 @ij@12 $15"},
        {"a)b}c*/d'", "a)b}c*/d'@1 $10"}, // ( ) * / { } separate tokens only between them
        {"ab\xC3\xA9 \xC3\xA9x\xC3\xA9", "ab@1 \xC3\xA9@3 \xC3\xA9x@6 \xC3\xA9@9 $11"},
        {"ab\x80\x80z\x7F", "ab\x80\x80z@1 \x7F@6 $7"},
        {"5a 1.5 12:30", "#5a@1 #1.5@4 #12@8 :@10 #30@11 $13"},
        {"2-x 3\xC3\xA9", "#2@1 -@2 x@3 #3@5 \xC3\xA9@6 $8"},
        {"ab \0 cd"s, "ab@1 $4"},          // a NUL byte ends the text,
        {"x\xE2\0\x82"s, "x@1 \xE2@2 $3"}, // also inside a UTF-8 sequence
        {"a \xFD", "a@1 \xFD@3 $4"},       // and so does the end of the text
        {std::string(70000, ' ') + "x y", "x@70001 y@70003 $70004"}, // more than one block
    };
    TCommentScanner Sc;
    for (const auto& [Input, Expected] : Cases) {
        Sc.StartScannerString(Input);
        EXPECT_EQ(Tokens(Sc), Expected) << testing::PrintToString(Input.substr(0, 50));
        TPieceReader Reader(Input);
        Sc.StartScanner(Reader);
        EXPECT_EQ(Tokens(Sc), Expected) << testing::PrintToString(Input.substr(0, 50));
    }
    EXPECT_EQ(TCommentScanner::GetHashCode("todo"), TCommentScanner::TodoHash);
}

} // namespace
