#pragma once

#include "comments/scanner.h"

#include <array>
#include <cstddef>
#include <string_view>

/// Token kinds of TToDoFileScanner.
enum TToDoFileToken : unsigned char {
    tfEnd = 0, ///< end of the text; also where a comment left open ends the scan
    tfComment, ///< "{...}", "(*...*)" or "//..." through its line break
    tfIdent,   ///< a letter, "_" or "@" and the identifier characters after it
    tfNumber,  ///< a digit, "#" or "$" and the identifier characters after it
    tfString,  ///< '...' with doubled quotes inside, ending at the line end at the latest
    tfSymbol,  ///< ".." or one of . ) * + , - : ; < = > [ ] ^ and a lone "(" or "/"
    tfOther,   ///< any other single byte (NUL inside the text, UTF-8 bytes outside comments)
};

/// Byte classes of the to-do file tokenizer.
enum TToDoFileCharClass : unsigned char {
    fcEnd,      ///< 0x00: the end of what was read so far
    fcBlank,    ///< 0x01 to 0x20
    fcBrace,    ///< "{"
    fcParen,    ///< "("
    fcSlash,    ///< "/"
    fcQuote,    ///< "'"
    fcIdent,    ///< letters, "_", "@"
    fcNumber,   ///< digits, "#", "$"
    fcDot,      ///< "."
    fcSymbol,   ///< ) * + , - : ; < = > [ ] ^
    fcOther,    ///< other printable bytes, 0x7F to 0xC1, 0xFE, 0xFF
    fcUtf8Lead, ///< 0xC2 to 0xFD
};

namespace todo_file_tables {

constexpr bool IsLetter(int C) {
    return (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z');
}

constexpr std::array<unsigned char, 256> MakeCharClass() {
    std::array<unsigned char, 256> T{};
    constexpr std::string_view Symbols = ")*+,-:;<=>[]^";
    for (int C = 0; C < 256; ++C) {
        unsigned char K = fcOther;
        if (C == 0)
            K = fcEnd;
        else if (C <= 0x20)
            K = fcBlank;
        else if (C == '{')
            K = fcBrace;
        else if (C == '(')
            K = fcParen;
        else if (C == '/')
            K = fcSlash;
        else if (C == '\'')
            K = fcQuote;
        else if (IsLetter(C) || C == '_' || C == '@')
            K = fcIdent;
        else if ((C >= '0' && C <= '9') || C == '#' || C == '$')
            K = fcNumber;
        else if (C == '.')
            K = fcDot;
        else if (Symbols.find(static_cast<char>(C)) != std::string_view::npos)
            K = fcSymbol;
        else if (C >= 0xC2 && C <= 0xFD)
            K = fcUtf8Lead;
        T[static_cast<size_t>(C)] = K;
    }
    return T;
}

} // namespace todo_file_tables

/// The tokenizer of the project's to-do file. Its comments are what the reader wants: brace
/// comments (UTF-8 sequences inside are stepped over whole, from the length the lead byte
/// gives), paren-star comments, and line comments that include their line break (CR LF or LF;
/// a lone CR ends no line). A quoted string hides comment openers. A brace or paren-star
/// comment left open at the end of the text is no comment: the scan ends there. NUL bytes
/// inside the text are ordinary bytes. Positions and texts come from TScanner (1-based).
/// Not thread-safe.
class TToDoFileScanner : public TScanner {
public:
    /// Class of each byte value (a TToDoFileCharClass).
    static constexpr std::array<unsigned char, 256> CharClass = todo_file_tables::MakeCharClass();

    /// Reads the next token and returns its kind (a TToDoFileToken); reads more of the source
    /// whenever it reaches the end of what was read, also in the middle of a token.
    unsigned char NextToken() override;

protected:
    /// Reads the first token, so a started scanner always has a current token.
    void ScannerStarted() override;

private:
    unsigned char Finish(unsigned char Kind, const char* Start, const char* End);
    /// True when P stands on the end of the text read so far and the source has no more; when
    /// it has, the next block is appended and P and Start are moved with the buffer.
    bool AtEnd(const char*& P, const char*& Start);
    /// The byte after P, reading the next block first when P is the last byte read so far.
    unsigned char Peek(const char*& P, const char*& Start);
    /// Steps over the identifier characters at P.
    void SkipIdent(const char*& P, const char*& Start);
};

/// A source reader over a string that hands it out in blocks of at most BlockSize bytes
/// (0: as large as the scanner asks for). The string must outlive the reader.
class TStringSourceReader : public ISourceReader {
public:
    explicit TStringSourceReader(std::string_view Text, size_t BlockSize = 0)
        : FText(Text), FBlockSize(BlockSize) {}
    size_t Read(char* Buffer, size_t Capacity) override;

private:
    std::string_view FText;
    size_t FBlockSize;
};
