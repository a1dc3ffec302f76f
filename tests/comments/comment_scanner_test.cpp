#include "comments/comment_scanner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct TTok {
    int Kind;
    int Pos;
    std::string Text;
    bool operator==(const TTok&) const = default;
};

std::ostream& operator<<(std::ostream& Os, const TTok& T) {
    return Os << "{" << T.Kind << ", " << T.Pos << ", \"" << T.Text << "\"}";
}

// Every token up to and including the first end token.
std::vector<TTok> Tokens(TCommentScanner& Sc) {
    std::vector<TTok> Out;
    for (int Guard = 0; Guard < 1000; ++Guard) {
        Out.push_back({Sc.Token(), Sc.GetTokenPos(), std::string(Sc.GetTokenIdent())});
        if (Sc.Token() == tkEnd)
            break;
        Sc.NextToken();
    }
    return Out;
}

std::vector<TTok> Scan(std::string_view S) {
    TCommentScanner Sc;
    Sc.StartScannerString(S);
    return Tokens(Sc);
}

constexpr int W = tkWord, N = tkNumber, C = tkColon, Sw = tkSwitch, E = tkEnd;

TEST(CommentScannerTest, TokenSequences) {
    struct TCase {
        std::string Input;
        std::vector<TTok> Expected;
    };
    const TCase Cases[] = {
        {"{ TODO -cUI: x }",
         {{W, 3, "TODO"}, {Sw, 8, "-"}, {W, 9, "cUI"}, {C, 12, ":"}, {W, 14, "x"}, {E, 17, ""}}},
        {"", {{E, 1, ""}}},
        {"(* */ {} \t\r\n", {{E, 13, ""}}},
        // A word stops at a blank, '-', ':' and '@' ...
        {"ab cd", {{W, 1, "ab"}, {W, 4, "cd"}, {E, 6, ""}}},
        {"ab-cd", {{W, 1, "ab"}, {Sw, 3, "-"}, {W, 4, "cd"}, {E, 6, ""}}},
        {"ab:cd", {{W, 1, "ab"}, {C, 3, ":"}, {W, 4, "cd"}, {E, 6, ""}}},
        {"ab@cd", {{W, 1, "ab"}, {W, 3, "@cd"}, {E, 6, ""}}},
        // ... but not at the blanks that only separate tokens, nor at a quote.
        {"a)b}c*/d'", {{W, 1, "a)b}c*/d'"}, {E, 10, ""}}},
        {"'TODO", {{W, 1, "'TODO"}, {E, 6, ""}}},
        // A lead byte after ASCII ends the word; a word starting with one takes its sequence
        // and any trail bytes after it, then goes on over ASCII.
        {"ab\xC3\xA9", {{W, 1, "ab"}, {W, 3, "\xC3\xA9"}, {E, 5, ""}}},
        {"\xC3\xA9x\xC3\xA9", {{W, 1, "\xC3\xA9x"}, {W, 4, "\xC3\xA9"}, {E, 6, ""}}},
        {"ab\x80\x80z", {{W, 1, "ab\x80\x80z"}, {E, 6, ""}}},
        {"ab\x7F", {{W, 1, "ab"}, {W, 3, "\x7F"}, {E, 4, ""}}},
        // Numbers run on over letters and punctuation but stop where a word would.
        {"5a 1.5 12:30",
         {{N, 1, "5a"}, {N, 4, "1.5"}, {N, 8, "12"}, {C, 10, ":"}, {N, 11, "30"}, {E, 13, ""}}},
        {"2-x 3\xC3\xA9",
         {{N, 1, "2"}, {Sw, 2, "-"}, {W, 3, "x"}, {N, 5, "3"}, {W, 6, "\xC3\xA9"}, {E, 8, ""}}},
        // A NUL byte ends the text, also inside a UTF-8 sequence, and the end token stays.
        {std::string("ab\0cd", 5), {{W, 1, "ab"}, {E, 3, ""}}},
        {std::string("x\xE2\0\x82", 4), {{W, 1, "x"}, {W, 2, "\xE2"}, {E, 3, ""}}},
        // A sequence cut short by the end of the text ends there.
        {"a \xFD", {{W, 1, "a"}, {W, 3, "\xFD"}, {E, 4, ""}}},
    };
    for (const TCase& Case : Cases)
        EXPECT_EQ(Scan(Case.Input), Case.Expected) << "input: " << Case.Input;
}

TEST(CommentScannerTest, EndTokenRepeats) {
    TCommentScanner Sc;
    Sc.StartScannerString(std::string("a\0b", 3));
    Sc.NextToken();
    for (int I = 0; I < 3; ++I) {
        EXPECT_EQ(Sc.Token(), tkEnd);
        EXPECT_EQ(Sc.GetTokenPos(), 2);
        EXPECT_EQ(Sc.NextToken(), tkEnd);
    }
}

TEST(CommentScannerTest, Hashes) {
    EXPECT_EQ(TCommentScanner::GetHashCode("TODO"), 13540);
    EXPECT_EQ(TCommentScanner::GetHashCode("DONE"), 13734);
    EXPECT_EQ(TCommentScanner::GetHashCode("todo"), 13540);
    EXPECT_EQ(TCommentScanner::GetHashCode(""), 0);

    // For ASCII words the token hash is the hash of the token's text, rotations wrapping
    // around 16 bits included.
    for (std::string Word :
         {"TODO", "dOnE", "x", "a(b)c{d}e*f/g'h", "LongerWordThanSixteenBytes"}) {
        TCommentScanner Sc;
        Sc.StartScannerString("  " + Word + " ");
        ASSERT_EQ(Sc.Token(), tkWord);
        EXPECT_EQ(Sc.GetTokenIdent(), Word);
        EXPECT_EQ(Sc.TokenHash(), TCommentScanner::GetHashCode(Word)) << Word;
    }
    // Trail bytes past the lead's sequence add 1 each.
    TCommentScanner Sc;
    Sc.StartScannerString("\xC3\xA9\xA9\xA9");
    EXPECT_EQ(Sc.TokenHash(), 2);
}

TEST(CommentScannerTest, SkipToPosAndIdentCompare) {
    TCommentScanner Sc;
    Sc.StartScannerString("-cUI -oAnn");
    ASSERT_EQ(Sc.Token(), tkSwitch);
    Sc.SkipToPos(2);
    EXPECT_EQ(Sc.GetTokenPos(), 2);
    EXPECT_EQ(*Sc.ScanPtr(), 'c');
    EXPECT_EQ(Sc.NextToken(), tkWord);
    EXPECT_TRUE(Sc.TokenIdentEq("Cui"));
    EXPECT_FALSE(Sc.TokenIdentEq("cU"));
    EXPECT_FALSE(Sc.TokenIdentEq("cUIx"));

    Sc.SkipToPos(100); // clamped to just past the end
    EXPECT_EQ(Sc.GetTokenPos(), 11);
    EXPECT_EQ(Sc.NextToken(), tkEnd);
    Sc.SkipToPos(-3);
    EXPECT_EQ(Sc.NextToken(), tkSwitch);
    EXPECT_EQ(Sc.GetTokenPos(), 1);

    Sc.StopScanner();
    EXPECT_EQ(Sc.NextToken(), tkEnd);
    EXPECT_EQ(Sc.GetTokenPos(), 1);
}

// Hands out the text in blocks of the given sizes (the last size repeats).
class TBlockReader : public ISourceReader {
public:
    TBlockReader(std::string Text, std::vector<size_t> Sizes)
        : FText(std::move(Text)), FSizes(std::move(Sizes)) {}
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
    size_t FPos = 0;
    size_t FCall = 0;
};

TEST(CommentScannerTest, SourceBlocksKeepWholeTextPositions) {
    // Blocks that end between tokens give the tokens of the whole text, at whole-text
    // positions.
    const std::string Text = "{ TODO 2 -oAnn : some text }";
    TBlockReader Reader(Text, {2, 5, 2, 6, 2, 5, 1000});
    TCommentScanner Sc;
    Sc.StartScanner(Reader);
    EXPECT_EQ(Tokens(Sc), Scan(Text));

    // An empty source, and a source whose only block is blank.
    TBlockReader Empty("", {10});
    Sc.StartScanner(Empty);
    EXPECT_EQ(Tokens(Sc), (std::vector<TTok>{{E, 1, ""}}));
    TBlockReader Blank("   ", {1});
    Sc.StartScanner(Blank);
    EXPECT_EQ(Tokens(Sc), (std::vector<TTok>{{E, 4, ""}}));

    // A NUL byte inside the source ends the scan like the end of the text.
    TBlockReader WithNul(std::string("ab \0 cd", 7), {3, 1, 3});
    Sc.StartScanner(WithNul);
    EXPECT_EQ(Tokens(Sc), (std::vector<TTok>{{W, 1, "ab"}, {E, 4, ""}}));
}

TEST(CommentScannerTest, LargeSourceGrowsTheBuffer) {
    // Enough text for several refills (and reallocations) of the buffer.
    // Blocks of 100 words each, so that every block ends on a blank.
    std::string Text;
    std::vector<size_t> Sizes;
    for (int I = 0; I < 40000; ++I) {
        if (I % 100 == 0)
            Sizes.push_back(0);
        const std::string Word = "w" + std::to_string(I) + " ";
        Text += Word;
        Sizes.back() += Word.size();
    }
    TBlockReader Reader(Text, Sizes);
    TCommentScanner Sc;
    Sc.StartScanner(Reader);
    int Count = 0;
    size_t Pos = 0;
    while (Sc.Token() != tkEnd) {
        std::string Expected = "w" + std::to_string(Count);
        ASSERT_EQ(Sc.GetTokenIdent(), Expected);
        ASSERT_EQ(Sc.GetTokenPos(), static_cast<int>(Pos) + 1);
        Pos += Expected.size() + 1;
        ++Count;
        Sc.NextToken();
    }
    EXPECT_EQ(Count, 40000);
    EXPECT_EQ(Sc.GetTokenPos(), static_cast<int>(Text.size()) + 1);
}

} // namespace
