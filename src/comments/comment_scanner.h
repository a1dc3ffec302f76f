#pragma once

#include "comments/scanner.h"

#include <array>
#include <cstdint>
#include <string_view>

/// Token kinds of TCommentScanner, as stored in the scanner's token-kind byte.
enum TCommentToken : unsigned char {
    tkEnd = 0,    ///< end of the text (a NUL byte with nothing left to read)
    tkWord = 2,   ///< a run starting at a word character or a UTF-8 lead byte
    tkNumber = 3, ///< a run starting at a digit
    tkColon = 4,  ///< one ':'
    tkSwitch = 5, ///< one '-'
};

/// Byte classes of the comment tokenizer.
enum TCommentCharClass : unsigned char {
    ccEnd,    ///< 0x00
    ccBlank,  ///< control characters, space, ( ) * / { }: skipped between tokens
    ccSwitch, ///< '-'
    ccDigit,  ///< '0' to '9'
    ccColon,  ///< ':'
    ccWord,   ///< everything else, UTF-8 lead bytes included
};

namespace comment_tables {

constexpr std::array<unsigned char, 256> MakeCharClass() {
    std::array<unsigned char, 256> T{};
    for (int C = 0; C < 256; ++C) {
        unsigned char K = ccWord;
        if (C == 0)
            K = ccEnd;
        else if (C <= 0x20 || C == '(' || C == ')' || C == '*' || C == '/' || C == '{' || C == '}')
            K = ccBlank;
        else if (C == '-')
            K = ccSwitch;
        else if (C >= '0' && C <= '9')
            K = ccDigit;
        else if (C == ':')
            K = ccColon;
        T[static_cast<size_t>(C)] = K;
    }
    return T;
}

constexpr std::array<unsigned char, 256> MakeFold() {
    std::array<unsigned char, 256> T{};
    for (int C = 0x21; C <= 0x7E; ++C) {
        unsigned char F = static_cast<unsigned char>(C);
        if (C >= 'a' && C <= 'z')
            F = static_cast<unsigned char>(C - 'a' + 'A');
        if (C == '-' || C == ':' || C == '@')
            F = 0;
        T[static_cast<size_t>(C)] = F;
    }
    return T;
}

} // namespace comment_tables

/// The tokenizer of to-do comments: it knows only words, numbers, colons and switches and skips
/// everything else it calls blank. Positions and texts come from TScanner.
class TCommentScanner : public TScanner {
public:
    /// Class of each byte value (a TCommentCharClass).
    static constexpr std::array<unsigned char, 256> CharClass = comment_tables::MakeCharClass();

    /// Folded value of each byte: 0x21-0x7E map to themselves with a-z upper-cased, except '-',
    /// ':' and '@', which map to 0 like every other byte. A byte whose folded value is 0 cannot
    /// continue a word or a number.
    static constexpr std::array<unsigned char, 256> Fold = comment_tables::MakeFold();

    /// Reads the next token and returns its kind (a TCommentToken). A word's hash is stored in
    /// the token hash (0 for the other kinds). A NUL byte ends the text: a string scan reports
    /// the end token there, at that NUL, and keeps reporting it.
    unsigned char NextToken() override;

    /// The case-folded 16-bit hash of S: for each byte, rotate left by 5 bits and xor the low
    /// byte with its folded value. Equals the token hash of an ASCII word.
    static uint16_t GetHashCode(std::string_view S);

    static constexpr uint16_t TodoHash = 13540; ///< GetHashCode("TODO")
    static constexpr uint16_t DoneHash = 13734; ///< GetHashCode("DONE")

protected:
    /// Reads the first token, so a started scanner always has a current token.
    void ScannerStarted() override;
};
