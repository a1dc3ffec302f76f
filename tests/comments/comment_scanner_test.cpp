#include "comments/comment_scanner.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

// The tokens of a scan as "text@pos" ("#text@pos" for a number), then "$pos" for the end
// token, which must stay where it is when read again.
std::string Tokens(TCommentScanner& Sc) {
    std::string Out;
    for (size_t N = 0; Sc.Token() != tkEnd && N < 100000; ++N, Sc.NextToken())
        Out += (Sc.Token() == tkNumber ? "#" : "") + std::string(Sc.GetTokenIdent()) + "@" +
               std::to_string(Sc.GetTokenPos()) + " ";
    const int End = Sc.GetTokenPos();
    Out += "$" + std::to_string(End);
    for (int I = 0; I < 2; ++I)
        if (Sc.NextToken() != tkEnd || Sc.GetTokenPos() != End || !Sc.GetTokenIdent().empty())
            Out += " moved";
    return Out;
}

std::string Scan(std::string_view S) {
    TCommentScanner Sc;
    Sc.StartScannerString(S);
    return Tokens(Sc);
}

TEST(CommentScannerTest, TokenSequences) {
    const std::pair<std::string, std::string> Cases[] = {
        {"{ TODO -cUI: x }", "TODO@3 -@8 cUI@9 :@12 x@14 $17"},
        {"", "$1"},
        {"(* */ {} \t\r\n", "$13"},
        {"ab cd-ef:gh@ij", "ab@1 cd@4 -@6 ef@7 :@9 gh@10 @ij@12 $15"},
        {"a)b}c*/d'", "a)b}c*/d'@1 $10"}, // ( ) * / { } separate tokens only between them
        {"ab\xC3\xA9 \xC3\xA9x\xC3\xA9", "ab@1 \xC3\xA9@3 \xC3\xA9x@6 \xC3\xA9@9 $11"},
        {"ab\x80\x80z", "ab\x80\x80z@1 $6"},
        {"ab\x7F", "ab@1 \x7F@3 $4"},
        {"5a 1.5 12:30", "#5a@1 #1.5@4 #12@8 :@10 #30@11 $13"},
        {"2-x 3\xC3\xA9", "#2@1 -@2 x@3 #3@5 \xC3\xA9@6 $8"},
        {"ab\0cd"s, "ab@1 $3"},            // a NUL byte ends the text,
        {"x\xE2\0\x82"s, "x@1 \xE2@2 $3"}, // also inside a UTF-8 sequence
        {"a \xFD", "a@1 \xFD@3 $4"},       // and so does the end of the text
    };
    for (const auto& [Input, Expected] : Cases)
        EXPECT_EQ(Scan(Input), Expected) << "input: " << testing::PrintToString(Input);
}

TEST(CommentScannerTest, HashesSkipToPosAndIdentCompare) {
    EXPECT_EQ(TCommentScanner::GetHashCode("todo"), TCommentScanner::TodoHash);
    EXPECT_EQ(TCommentScanner::GetHashCode("DONE"), TCommentScanner::DoneHash);
    TCommentScanner Sc;
    Sc.StartScannerString("-cUI a(b)c{d}e*f/g'hLongerThanSixteen");
    Sc.SkipToPos(2);
    EXPECT_EQ(*Sc.ScanPtr(), 'c');
    EXPECT_EQ(Sc.NextToken(), tkWord);
    EXPECT_TRUE(Sc.TokenIdentEq("Cui"));
    EXPECT_FALSE(Sc.TokenIdentEq("cU"));
    Sc.NextToken();
    EXPECT_EQ(Sc.TokenHash(), TCommentScanner::GetHashCode(Sc.GetTokenIdent()));
    Sc.SkipToPos(100); // clamped to just past the end
    EXPECT_EQ(Sc.GetTokenPos(), 38);
    Sc.SkipToPos(-3);
    EXPECT_EQ(Sc.NextToken(), tkSwitch);
    EXPECT_EQ(Sc.GetTokenPos(), 1);
}

// Hands out the text in blocks of the given sizes (the last size repeats).
class TBlockReader : public ISourceReader {
public:
    TBlockReader(std::string Text, std::vector<size_t> Sizes) : FText(Text), FSizes(Sizes) {}
    size_t Read(char* Buffer, size_t Capacity) override {
        size_t Size = FSizes[std::min(FCall++, FSizes.size() - 1)];
        Size = std::min({Size, Capacity, FText.size() - FPos});
        std::memcpy(Buffer, FText.data() + FPos, Size);
        FPos += Size;
        return Size;
    }

private:
    std::string FText;
    std::vector<size_t> FSizes;
    size_t FPos = 0, FCall = 0;
};

TEST(CommentScannerTest, SourceBlocksGiveTheTokensOfTheWholeText) {
    std::string Many; // many refills, each block ending between words
    std::vector<size_t> Sizes;
    for (int I = 0; I < 20000; ++I) {
        Many += "w" + std::to_string(I) + " ";
        Sizes.push_back(std::to_string(I).size() + 2);
    }
    const std::pair<std::string, std::vector<size_t>> Cases[] = {
        {"{ TODO 2 -oAnn : some text }", {2, 5, 2, 6, 2, 5, 1000}},
        {"", {10}},
        {"   ", {1}},
        {Many, Sizes},
        {"ab \0 cd"s, {3, 1, 3}}, // a NUL byte in the source ends the scan
    };
    TCommentScanner Sc;
    for (const auto& [Text, Blocks] : Cases) {
        TBlockReader Reader(Text, Blocks);
        Sc.StartScanner(Reader);
        EXPECT_EQ(Tokens(Sc), Scan(Text)) << Text.substr(0, 40);
    }
}

} // namespace
