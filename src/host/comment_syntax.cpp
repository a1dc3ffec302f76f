#include "host/comment_syntax.h"

#include <array>
#include <iterator>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#if defined(__SSE2__) && (defined(__GNUC__) || defined(__clang__))
#include <emmintrin.h>
#define TODO_FIND_SSE2 1
#endif

// The enumerators are hand-written lexers that understand only as much of each language as it
// takes to tell comments from everything that merely looks like one (strings, characters, raw
// and template literals, regular expressions). In code, and in the body of a string, only a
// handful of bytes need a look (at most six: '/', the quotes, the brackets of a string hole);
// everything else is skipped 16 bytes at a time (SSE2) or through a byte loop elsewhere.
// Comment bodies are skipped with memchr. Nothing is allocated while enumerating.
//
// Line ends: only LF ends a line. A line comment stops before its LF and before the CR of a
// CR LF pair; a CR that is not followed by LF is an ordinary byte and stays in the comment.

namespace {

using uchar = unsigned char;

/// Finds the first of N given bytes in a range.
template <int N> class TFinder {
public:
    /// Chars may repeat (to fill the set up to N).
    explicit TFinder(const std::array<char, N>& Chars) : FChars(Chars) {
#ifdef TODO_FIND_SSE2
        for (int K = 0; K < N; ++K)
            FVectors[K] = _mm_set1_epi8(Chars[K]);
#endif
    }

    /// The first position in [P, End) that holds one of the bytes, or End. Begin is the start
    /// of the readable text around the range: the last block may be read from before P.
    const char* Find(const char* Begin, const char* P, const char* End) const {
#ifdef TODO_FIND_SSE2
        while (End - P >= 16) {
            if (const unsigned Mask = MaskAt(P))
                return P + __builtin_ctz(Mask);
            P += 16;
        }
        if (P < End && End - Begin >= 16) {
            // One load that ends at End and overlaps bytes already looked at.
            const char* Q = End - 16;
            const unsigned Mask = MaskAt(Q) >> (P - Q);
            return Mask ? P + __builtin_ctz(Mask) : End;
        }
#else
        (void)Begin;
#endif
        for (; P < End; ++P)
            for (int K = 0; K < N; ++K)
                if (*P == FChars[K])
                    return P;
        return End;
    }

private:
    std::array<char, N> FChars;
#ifdef TODO_FIND_SSE2
    __m128i FVectors[N];

    unsigned MaskAt(const char* P) const {
        const __m128i Block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(P));
        __m128i Hit = _mm_cmpeq_epi8(Block, FVectors[0]);
        for (int K = 1; K < N; ++K)
            Hit = _mm_or_si128(Hit, _mm_cmpeq_epi8(Block, FVectors[K]));
        return static_cast<unsigned>(_mm_movemask_epi8(Hit));
    }
#endif
};

using TCodeFinder = TFinder<4>;
using THoleFinder = TFinder<6>;
using TStringFinder = TFinder<4>;

bool IsIdentByte(uchar C) {
    return (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z') || (C >= '0' && C <= '9') || C == '_' ||
           C >= 0x80;
}

bool IsDigit(uchar C) {
    return C >= '0' && C <= '9';
}

bool IsSpace(uchar C) {
    return C == ' ' || C == '\t' || C == '\n' || C == '\r' || C == '\v' || C == '\f';
}

/// What an apostrophe starts in code.
enum class TApostrophe : uint8_t {
    Nothing,      ///< Swift: no meaning of its own
    Char,         ///< a character literal with backslash escapes
    CharOrSymbol, ///< Rust lifetimes and Scala symbols besides character literals
    String,       ///< JavaScript, TypeScript, Dart
};

/// What a backtick starts in code.
enum class TBacktick : uint8_t {
    Nothing,
    Template,   ///< JavaScript template literal with ${...} substitutions
    RawString,  ///< Go raw string, may span lines
    Identifier, ///< Kotlin, Scala, Swift quoted names, one line at most
};

/// How code gets into a string.
enum class THole : uint8_t {
    None,
    DollarBrace, ///< ${ code }
    Brace,       ///< C# { code }
    Paren,       ///< Swift \( code )
};

/// How a C-family language reads what is not a comment.
struct TTraits {
    bool NestedBlocks = false;
    bool LineSplices = false;     ///< a backslash at the end of a // line continues it
    bool DigitSeparators = false; ///< 1'000 is a number, not a character literal
    bool Regex = false;           ///< /.../ regular expression literals
    TApostrophe Apostrophe = TApostrophe::Char;
    TBacktick Backtick = TBacktick::Nothing;
    char HoleOpen = 0; ///< the bracket counted inside a string hole
    char HoleClose = 0;
};

struct TLanguageInfo : TTraits {
    std::array<char, 4> Code{}; ///< bytes that need a look in code (repeated to fill)
    std::array<char, 6> Hole{}; ///< the same inside a string hole (adds the brackets)
};

constexpr int kLanguageCount = static_cast<int>(TLanguage::Dart) + 1;

/// Indexed by TLanguage; None and Pascal (which has rules of its own) take the defaults.
constexpr TTraits Traits[] = {
    // nested, splices, digit separators, regex, apostrophe, backtick, hole brackets
    {},                                                                               // None
    {},                                                                               // Pascal
    {false, true, true, false, TApostrophe::Char, TBacktick::Nothing, 0, 0},          // C
    {false, true, true, false, TApostrophe::Char, TBacktick::Nothing, 0, 0},          // C++
    {false, true, true, false, TApostrophe::Char, TBacktick::Nothing, 0, 0},          // Objective-C
    {false, false, false, false, TApostrophe::Char, TBacktick::Nothing, '{', '}'},    // C#
    {},                                                                               // Java
    {false, false, false, true, TApostrophe::String, TBacktick::Template, '{', '}'},  // JavaScript
    {false, false, false, true, TApostrophe::String, TBacktick::Template, '{', '}'},  // TypeScript
    {false, false, false, false, TApostrophe::Char, TBacktick::RawString, 0, 0},      // Go
    {true, false, false, false, TApostrophe::CharOrSymbol, TBacktick::Nothing, 0, 0}, // Rust
    {true, false, false, false, TApostrophe::Nothing, TBacktick::Identifier, '(', ')'}, // Swift
    {true, false, false, false, TApostrophe::Char, TBacktick::Identifier, '{', '}'},    // Kotlin
    {true, false, false, false, TApostrophe::CharOrSymbol, TBacktick::Identifier, '{',
     '}'},                                                                          // Scala
    {true, false, false, false, TApostrophe::String, TBacktick::Nothing, '{', '}'}, // Dart
};

static_assert(std::size(Traits) == kLanguageCount, "one row of traits per language");

TLanguageInfo MakeInfo(TLanguage L) {
    TLanguageInfo I;
    static_cast<TTraits&>(I) = Traits[static_cast<int>(L)];
    std::string_view Code = "/\"";
    if (L == TLanguage::Pascal)
        Code = "{*/'"; // "(*" is found at its star: stars are rarer than parentheses
    else if (I.Apostrophe != TApostrophe::Nothing && I.Backtick != TBacktick::Nothing)
        Code = "/\"'`";
    else if (I.Apostrophe != TApostrophe::Nothing)
        Code = "/\"'";
    else if (I.Backtick != TBacktick::Nothing)
        Code = "/\"`";
    I.Code.fill(Code[0]);
    I.Hole.fill(Code[0]);
    Code.copy(I.Code.data(), Code.size());
    Code.copy(I.Hole.data(), Code.size());
    if (I.HoleOpen) {
        I.Hole[Code.size()] = I.HoleOpen;
        I.Hole[Code.size() + 1] = I.HoleClose;
    }
    return I;
}

const TLanguageInfo& InfoOf(TLanguage L) {
    static const std::array<TLanguageInfo, kLanguageCount> Infos = [] {
        std::array<TLanguageInfo, kLanguageCount> A;
        for (int K = 0; K < kLanguageCount; ++K)
            A[K] = MakeInfo(static_cast<TLanguage>(K));
        return A;
    }();
    return Infos[static_cast<int>(L)];
}

/// The shape of one string form; see TScanner::ScanString.
struct TStringForm {
    char Quote = '"';
    int Quotes = 1;         ///< quotes in the closer; from 3 up a run of at least that many closes
    int Hashes = 0;         ///< '#'s that must follow the closing quotes (Rust, Swift raw)
    bool Escapes = true;    ///< a backslash escapes the next byte
    int EscapeHashes = 0;   ///< Swift raw: '#'s a backslash needs to be an escape
    bool Doubled = false;   ///< a doubled quote stands for one (C# verbatim)
    bool MultiLine = false; ///< LF does not end the string
    bool DollarEscapes = false; ///< Scala: "$$" and "$"" are escapes
    THole Hole = THole::None;
    int HoleBraces = 0; ///< C#: 0 for "{{" as a literal brace, n for n-dollar raw strings
};

/// Deepest nesting of string holes that is followed; deeper holes are read as string text, so
/// that crafted input cannot exhaust the stack.
constexpr int kMaxHoleDepth = 64;

class TScanner {
public:
    TScanner(TLanguage Language, std::string_view Text, const TCommentProc& Proc)
        : FLanguage(Language), FInfo(InfoOf(Language)), FBegin(Text.data()),
          FEnd(Text.data() + Text.size()), FFloor(Text.data()), FNoRegexBefore(Text.data()),
          FProc(Proc) {}

    void Run() {
        if (FLanguage == TLanguage::Pascal)
            ScanPascal();
        else
            ScanCode(FBegin, false);
    }

private:
    TLanguage FLanguage;
    const TLanguageInfo& FInfo;
    const char* FBegin;
    const char* FEnd;
    /// End of the last literal or comment: look-backs for prefixes and for the previous token
    /// stop here, so they never read into a string or comment.
    const char* FFloor;
    /// Whether a regular expression may start right after FFloor (JavaScript, TypeScript).
    bool FFloorRegexOk = true;
    /// The last apostrophe taken for a digit separator.
    const char* FLastSeparator = nullptr;
    int FHoleDepth = 0;
    /// A '/' before this is a division: a regular expression started before failed to close
    /// on its line.
    const char* FNoRegexBefore;
    const TCommentProc& FProc;

    void Report(const char* From, const char* To) {
        FProc(std::string_view(From, static_cast<size_t>(To - From)),
              static_cast<int>(From - FBegin));
    }

    /// The byte before Q, or 0 when Q is at the floor.
    uchar Before(const char* Q) const { return Q > FFloor ? static_cast<uchar>(Q[-1]) : 0; }

    /// Ends a literal at Q: look-backs stop there, and what follows is an operand's successor.
    const char* EndLiteral(const char* Q) {
        FFloor = Q;
        FFloorRegexOk = false;
        return Q;
    }

    // ---- Pascal ---------------------------------------------------------------------------

    void ScanPascal() {
        const TCodeFinder Finder(FInfo.Code);
        const TStringFinder QuoteOrLineEnd({'\'', '\n', '\'', '\''});
        const char* P = FBegin;
        for (;;) {
            P = Finder.Find(FBegin, P, FEnd);
            if (P >= FEnd)
                return;
            switch (*P) {
            case '{': {
                auto* Close = static_cast<const char*>(std::memchr(P + 1, '}', FEnd - P - 1));
                if (!Close)
                    return;
                Report(P, Close + 1);
                P = Close + 1;
                break;
            }
            case '*':
                // The byte before is code: every literal or comment ends in a byte other
                // than "(".
                if (P > FBegin && P[-1] == '(') {
                    const char* Close = FindStarClose(P + 1, ')');
                    if (!Close)
                        return;
                    Report(P - 1, Close);
                    P = Close;
                } else {
                    ++P;
                }
                break;
            case '/':
                if (P + 1 < FEnd && P[1] == '/')
                    P = LineComment(P, false);
                else
                    ++P;
                break;
            default: // the apostrophe: a string with doubled quotes, one line at most
                ++P;
                for (;;) {
                    P = QuoteOrLineEnd.Find(FBegin, P, FEnd);
                    if (P >= FEnd || *P == '\n')
                        break;
                    ++P;
                    if (P >= FEnd || *P != '\'')
                        break;
                    ++P;
                }
                break;
            }
        }
    }

    /// The end (just past the closer) of the first "*<Second>" at or after Q, or nullptr.
    const char* FindStarClose(const char* Q, char Second) const {
        while (Q < FEnd) {
            auto* Star = static_cast<const char*>(std::memchr(Q, '*', FEnd - Q));
            if (!Star || Star + 1 >= FEnd)
                return nullptr;
            if (Star[1] == Second)
                return Star + 2;
            Q = Star + 1;
        }
        return nullptr;
    }

    // ---- comments ---------------------------------------------------------------------------

    /// Reports the line comment at P and returns the position of its line break (or the end).
    const char* LineComment(const char* P, bool Splices) {
        const char* Q = P + 2;
        const char* Stop;
        for (;;) {
            auto* Nl = static_cast<const char*>(std::memchr(Q, '\n', FEnd - Q));
            if (!Nl) {
                Stop = FEnd;
                break;
            }
            if (Splices) {
                const char* B = Nl;
                if (B > P + 2 && B[-1] == '\r')
                    --B;
                if (B > P + 2 && B[-1] == '\\') {
                    Q = Nl + 1;
                    continue;
                }
            }
            Stop = Nl > P + 2 && Nl[-1] == '\r' ? Nl - 1 : Nl;
            break;
        }
        Report(P, Stop);
        FFloor = Stop;
        return Stop;
    }

    /// Reports the block comment at P; returns the position after it, or the end when it is
    /// left open (then nothing after it is a comment).
    const char* BlockComment(const char* P) {
        const char* Close;
        if (!FInfo.NestedBlocks) {
            Close = FindStarClose(P + 2, '/');
        } else {
            Close = nullptr;
            int Depth = 1;
            const TFinder<2> Finder({'*', '/'});
            const char* Q = P + 2;
            for (;;) {
                Q = Finder.Find(FBegin, Q, FEnd);
                if (FEnd - Q < 2)
                    break;
                if (*Q == '*' && Q[1] == '/') {
                    Q += 2;
                    if (--Depth == 0) {
                        Close = Q;
                        break;
                    }
                } else if (*Q == '/' && Q[1] == '*') {
                    Q += 2;
                    ++Depth;
                } else {
                    ++Q;
                }
            }
        }
        if (!Close)
            return FEnd;
        Report(P, Close);
        FFloor = Close;
        return Close;
    }

    // ---- code -------------------------------------------------------------------------------

    /// Scans code from P. In a hole, returns just past the bracket that closes it; else (and
    /// when the text ends first) returns the end.
    const char* ScanCode(const char* P, bool InHole) {
        return InHole ? ScanCodeWith(P, THoleFinder(FInfo.Hole))
                      : ScanCodeWith(P, TCodeFinder(FInfo.Code));
    }

    template <class TCodeOrHoleFinder>
    const char* ScanCodeWith(const char* P, const TCodeOrHoleFinder& Finder) {
        int Depth = 0;
        for (;;) {
            P = Finder.Find(FBegin, P, FEnd);
            if (P >= FEnd)
                return FEnd;
            const char C = *P;
            switch (C) {
            case '/':
                P = Slash(P);
                break;
            case '"':
                P = DoubleQuote(P);
                break;
            case '\'':
                P = Apostrophe(P);
                break;
            case '`':
                P = Backtick(P);
                break;
            default:
                if (C == FInfo.HoleOpen) {
                    ++Depth;
                } else if (C == FInfo.HoleClose) {
                    if (Depth == 0)
                        return P + 1;
                    --Depth;
                }
                ++P;
                break;
            }
        }
    }

    const char* Slash(const char* P) {
        if (P + 1 < FEnd) {
            if (P[1] == '/' || P[1] == '*') {
                if (FInfo.Regex)
                    FFloorRegexOk = RegexAllowed(P);
                return P[1] == '/' ? LineComment(P, FInfo.LineSplices) : BlockComment(P);
            }
        }
        if (FInfo.Regex && P >= FNoRegexBefore && RegexAllowed(P))
            return Regex(P);
        return P + 1;
    }

    // ---- strings ----------------------------------------------------------------------------

    /// Scans a string body from Q (just past the opener) and returns the position after its
    /// closer. A one-line string left open stops at its LF; any string stops at the end.
    const char* ScanString(const char* Q, const TStringForm& F) {
        std::array<char, 4> Stops;
        Stops.fill(F.Quote);
        if (F.Escapes)
            Stops[1] = '\\';
        if (!F.MultiLine)
            Stops[2] = '\n';
        if (F.Hole == THole::DollarBrace)
            Stops[3] = '$';
        else if (F.Hole == THole::Brace)
            Stops[3] = '{';
        const TStringFinder Finder(Stops);
        for (;;) {
            Q = Finder.Find(FBegin, Q, FEnd);
            if (Q >= FEnd)
                return FEnd;
            const char C = *Q;
            if (C == F.Quote) {
                if (F.Quotes == 1) {
                    if (F.Doubled && Q + 1 < FEnd && Q[1] == F.Quote) {
                        Q += 2;
                        continue;
                    }
                    if (HashesAt(Q + 1, F.Hashes))
                        return Q + 1 + F.Hashes;
                    ++Q;
                    continue;
                }
                const char* R = Q;
                while (R < FEnd && *R == F.Quote)
                    ++R;
                if (R - Q >= F.Quotes && HashesAt(R, F.Hashes))
                    return R + F.Hashes;
                Q = R;
                continue;
            }
            if (C == '\\' && F.Escapes) {
                const char* E = Q + 1;
                if (F.EscapeHashes) {
                    if (!HashesAt(E, F.EscapeHashes)) {
                        ++Q;
                        continue;
                    }
                    E += F.EscapeHashes;
                }
                if (E >= FEnd)
                    return FEnd;
                if (*E == '(' && F.Hole == THole::Paren) {
                    Q = ScanHole(E + 1);
                    continue;
                }
                if (*E == '\r' && E + 1 < FEnd && E[1] == '\n')
                    ++E;
                Q = E + 1;
                continue;
            }
            if (C == '\n' && !F.MultiLine)
                return Q;
            if (C == '$' && F.Hole == THole::DollarBrace && Q + 1 < FEnd) {
                if (Q[1] == '{') {
                    Q = ScanHole(Q + 2);
                    continue;
                }
                if (F.DollarEscapes && (Q[1] == '$' || Q[1] == F.Quote)) {
                    Q += 2;
                    continue;
                }
            } else if (C == '{' && F.Hole == THole::Brace) {
                const char* R = Q;
                while (R < FEnd && *R == '{')
                    ++R;
                const auto Run = R - Q;
                // "{{" is a literal brace in a plain interpolated string; a raw one needs as
                // many braces as it has dollars to open a hole.
                if (F.HoleBraces == 0 ? Run % 2 == 1 : Run >= F.HoleBraces)
                    Q = ScanHole(R);
                else
                    Q = R;
                continue;
            }
            ++Q;
        }
    }

    bool HashesAt(const char* Q, int N) const {
        if (N > FEnd - Q)
            return false;
        for (int K = 0; K < N; ++K)
            if (Q[K] != '#')
                return false;
        return true;
    }

    /// Scans the code of a string hole starting at Q; returns the position after its closer.
    const char* ScanHole(const char* Q) {
        if (FHoleDepth >= kMaxHoleDepth)
            return Q;
        ++FHoleDepth;
        FFloor = Q;
        FFloorRegexOk = true;
        const char* R = ScanCode(Q, true);
        // Back in the string: nothing before the hole may serve a look-back any more.
        FFloor = R;
        --FHoleDepth;
        return R;
    }

    /// Scans a string whose body starts at Q and ends the literal there.
    const char* StringLiteral(const char* Q, const TStringForm& F) {
        return EndLiteral(ScanString(Q, F));
    }

    /// The number of consecutive quote bytes Quote starting at P.
    int QuoteRun(const char* P, char Quote) const {
        int N = 0;
        while (P + N < FEnd && P[N] == Quote)
            ++N;
        return N;
    }

    const char* DoubleQuote(const char* P) {
        TStringForm F;
        switch (FLanguage) {
        case TLanguage::Cpp:
        case TLanguage::ObjectiveC: // .mm is Objective-C++; R"( in plain Objective-C is rare
            if (const char* R = CppRawString(P))
                return EndLiteral(R);
            break;
        case TLanguage::CSharp:
            return CSharpString(P);
        case TLanguage::Java:
            if (QuoteRun(P, '"') >= 3) {
                F.Quotes = 3;
                F.MultiLine = true;
                return StringLiteral(P + 3, F);
            }
            break;
        case TLanguage::Go:
        case TLanguage::JavaScript:
        case TLanguage::TypeScript:
        case TLanguage::C:
            break;
        case TLanguage::Rust:
            return RustString(P);
        case TLanguage::Swift:
            return SwiftString(P);
        case TLanguage::Kotlin:
            F.Hole = THole::DollarBrace;
            if (QuoteRun(P, '"') >= 3) {
                F.Quotes = 3;
                F.MultiLine = true;
                F.Escapes = false;
                return StringLiteral(P + 3, F);
            }
            break;
        case TLanguage::Scala:
            return ScalaString(P);
        case TLanguage::Dart:
            return DartString(P, '"');
        case TLanguage::None:
        case TLanguage::Pascal:
            break;
        }
        return StringLiteral(P + 1, F);
    }

    /// A C++ raw string R"delim(...)delim" (with an optional u8, u, U or L prefix) at the
    /// quote P; nullptr when P does not open one.
    const char* CppRawString(const char* P) {
        if (Before(P) != 'R')
            return nullptr;
        const char* Prefix = P - 1;
        if (Before(Prefix) == '8' && Before(Prefix - 1) == 'u')
            Prefix -= 2;
        else if (Before(Prefix) == 'u' || Before(Prefix) == 'U' || Before(Prefix) == 'L')
            Prefix -= 1;
        if (IsIdentByte(Before(Prefix)))
            return nullptr;
        const char* D = P + 1;
        const char* Open = D;
        while (Open < FEnd && Open - D <= 16 && *Open != '(') {
            const char C = *Open;
            if (C == ' ' || C == ')' || C == '\\' || C == '\t' || C == '\v' || C == '\f' ||
                C == '\n' || C == '\r' || C == '"')
                return nullptr;
            ++Open;
        }
        if (Open >= FEnd || *Open != '(' || Open - D > 16)
            return nullptr;
        char Needle[18];
        const auto DelimLength = static_cast<size_t>(Open - D);
        Needle[0] = ')';
        std::memcpy(Needle + 1, D, DelimLength);
        Needle[DelimLength + 1] = '"';
        const std::string_view Rest(Open + 1, static_cast<size_t>(FEnd - Open - 1));
        const auto At = Rest.find(std::string_view(Needle, DelimLength + 2));
        if (At == std::string_view::npos)
            return FEnd;
        return Open + 1 + At + DelimLength + 2;
    }

    const char* CSharpString(const char* P) {
        // Prefix: any mix of '@' and '$' right before the quote ("$@", "@$", "$$$" for raw).
        const char* Prefix = P;
        int Dollars = 0;
        bool Verbatim = false;
        while (Before(Prefix) == '$' || Before(Prefix) == '@') {
            --Prefix;
            if (*Prefix == '$')
                ++Dollars;
            else
                Verbatim = true;
        }
        TStringForm F;
        const int Run = Verbatim ? 1 : QuoteRun(P, '"');
        if (Run >= 3) {
            F.Quotes = Run;
            F.Escapes = false;
            F.MultiLine = true;
            if (Dollars) {
                F.Hole = THole::Brace;
                F.HoleBraces = Dollars;
            }
            return StringLiteral(P + Run, F);
        }
        if (Verbatim) {
            F.Escapes = false;
            F.Doubled = true;
            F.MultiLine = true;
        }
        if (Dollars)
            F.Hole = THole::Brace;
        return StringLiteral(P + 1, F);
    }

    /// Counts the '#' right before Q (raw-string delimiters) and moves Q back over them.
    int HashesBefore(const char*& Q) const {
        int Hashes = 0;
        while (Before(Q) == '#') {
            --Q;
            ++Hashes;
        }
        return Hashes;
    }

    const char* RustString(const char* P) {
        // r"..", r#".."#, br, cr: count the hashes back to an 'r' that starts a token.
        const char* Q = P;
        const int Hashes = HashesBefore(Q);
        TStringForm F;
        F.MultiLine = true;
        if (Before(Q) == 'r') {
            const char* Prefix = Q - 1;
            if (Before(Prefix) == 'b' || Before(Prefix) == 'c')
                --Prefix;
            if (!IsIdentByte(Before(Prefix))) {
                F.Escapes = false;
                F.Hashes = Hashes;
            }
        }
        return StringLiteral(P + 1, F);
    }

    const char* SwiftString(const char* P) {
        const char* Q = P;
        const int Hashes = HashesBefore(Q);
        TStringForm F;
        F.Hashes = Hashes;
        F.EscapeHashes = Hashes;
        F.Hole = THole::Paren;
        if (QuoteRun(P, '"') >= 3) {
            F.Quotes = 3;
            F.MultiLine = true;
            return StringLiteral(P + 3, F);
        }
        return StringLiteral(P + 1, F);
    }

    const char* ScalaString(const char* P) {
        TStringForm F;
        if (IsIdentByte(Before(P))) {
            // Interpolated (s"", f"", raw"", any id): no backslash escapes the quote.
            F.Escapes = false;
            F.DollarEscapes = true;
            F.Hole = THole::DollarBrace;
        }
        if (QuoteRun(P, '"') >= 3) {
            F.Quotes = 3;
            F.MultiLine = true;
            F.Escapes = false;
            return StringLiteral(P + 3, F);
        }
        return StringLiteral(P + 1, F);
    }

    const char* DartString(const char* P, char Quote) {
        TStringForm F;
        F.Quote = Quote;
        if (Before(P) == 'r' && !IsIdentByte(Before(P - 1))) {
            F.Escapes = false;
        } else {
            F.Hole = THole::DollarBrace;
        }
        if (QuoteRun(P, Quote) >= 3) {
            F.Quotes = 3;
            F.MultiLine = true;
            return StringLiteral(P + 3, F);
        }
        return StringLiteral(P + 1, F);
    }

    const char* Apostrophe(const char* P) {
        TStringForm F;
        F.Quote = '\'';
        switch (FInfo.Apostrophe) {
        case TApostrophe::String:
            if (FLanguage == TLanguage::Dart)
                return DartString(P, '\'');
            return StringLiteral(P + 1, F);
        case TApostrophe::CharOrSymbol:
            return CharOrSymbol(P);
        case TApostrophe::Char:
            if (FInfo.DigitSeparators && IsDigitSeparator(P)) {
                FLastSeparator = P;
                return P + 1;
            }
            return StringLiteral(P + 1, F);
        case TApostrophe::Nothing:
            break;
        }
        return P + 1;
    }

    /// True when the apostrophe at P stands inside a number (C++14 and C23 1'000'000).
    bool IsDigitSeparator(const char* P) const {
        const char* S = P;
        while (S > FFloor && (IsIdentByte(static_cast<uchar>(S[-1])) || S[-1] == '.'))
            --S;
        if (S == P)
            return false;
        if (IsDigit(static_cast<uchar>(*S)))
            return true;
        return S - 1 == FLastSeparator && S - 1 >= FFloor;
    }

    /// Rust 'a' or '\n' versus the lifetime 'a; Scala 'a' versus the symbol 'sym.
    const char* CharOrSymbol(const char* P) {
        TStringForm F;
        F.Quote = '\'';
        if (P + 1 < FEnd && P[1] == '\\')
            return StringLiteral(P + 1, F);
        if (P + 1 < FEnd && P[1] != '\n' && P[1] != '\'') {
            const int Length = CharLength(static_cast<uchar>(P[1]));
            if (FEnd - P - 1 > Length && P[1 + Length] == '\'')
                return EndLiteral(P + 2 + Length);
        }
        return P + 1;
    }

    static int CharLength(uchar Lead) {
        if (Lead < 0xC0)
            return 1;
        if (Lead < 0xE0)
            return 2;
        if (Lead < 0xF0)
            return 3;
        return 4;
    }

    const char* Backtick(const char* P) {
        TStringForm F;
        F.Quote = '`';
        switch (FInfo.Backtick) {
        case TBacktick::Template:
            F.MultiLine = true;
            F.Hole = THole::DollarBrace;
            break;
        case TBacktick::RawString:
            F.MultiLine = true;
            F.Escapes = false;
            break;
        case TBacktick::Identifier:
            F.Escapes = false;
            break;
        case TBacktick::Nothing:
            return P + 1;
        }
        return StringLiteral(P + 1, F);
    }

    // ---- JavaScript regular expressions -----------------------------------------------------

    /// Whether a '/' at P starts a regular expression: it does unless the previous token is an
    /// operand (identifier, number, literal, closing bracket), keywords that take an operand
    /// aside.
    bool RegexAllowed(const char* P) const {
        const char* Q = P;
        while (Q > FFloor && IsSpace(static_cast<uchar>(Q[-1])))
            --Q;
        if (Q == FFloor)
            return FFloorRegexOk;
        const auto C = static_cast<uchar>(Q[-1]);
        if (C == ')' || C == ']' || C == '}')
            return false;
        if (!IsIdentByte(C) && C != '$')
            return true;
        const char* W = Q - 1;
        while (W > FFloor && (IsIdentByte(static_cast<uchar>(W[-1])) || W[-1] == '$'))
            --W;
        const std::string_view Word(W, static_cast<size_t>(Q - W));
        static constexpr std::string_view Keywords[] = {
            "return", "typeof", "instanceof", "in", "of",   "new",   "delete",
            "void",   "throw",  "case",       "do", "else", "yield", "await"};
        for (auto K : Keywords)
            if (Word == K)
                return true;
        return false;
    }

    /// Scans the regular expression whose '/' is at P; when it does not close on its line the
    /// '/' was a division after all and scanning goes on after it.
    const char* Regex(const char* P) {
        bool InClass = false;
        const char* Q = P + 1;
        while (Q < FEnd) {
            const char C = *Q;
            if (C == '\n')
                break;
            if (C == '\\') {
                if (Q + 1 >= FEnd || Q[1] == '\n')
                    break;
                Q += 2;
                continue;
            }
            if (C == '[')
                InClass = true;
            else if (C == ']')
                InClass = false;
            else if (C == '/' && !InClass)
                return EndLiteral(Q + 1);
            ++Q;
        }
        // Another try from a later '/' of this line would read the same bytes again, which
        // makes long lines quadratic; a line with a stray regex opener is broken anyway.
        FNoRegexBefore = Q;
        return P + 1;
    }
};

/// True when S holds a byte or character that some language of ours takes for a line end:
/// LF, CR, and NEL, LS and PS in UTF-8 (JavaScript and C# end a line comment at those).
bool HasLineBreak(std::string_view S) {
    return S.find_first_of("\r\n") != std::string_view::npos || S.find("\xC2\x85") != S.npos ||
           S.find("\xE2\x80\xA8") != S.npos || S.find("\xE2\x80\xA9") != S.npos;
}

bool Holds(std::string_view S, std::string_view What) {
    return S.find(What) != std::string_view::npos;
}

TStatus Refuse(std::string_view What) {
    return TStatus::Error("the text holds " + std::string(What) +
                          " and cannot be put into a comment");
}

/// True when Comment, followed by a line break and more code, reads as exactly one comment
/// that is Comment itself; the trailing line catches a line comment continued by a splice.
bool ReadsBackWhole(TLanguage Language, const std::string& Comment) {
    const std::string Probe = Comment + "\nx";
    int Count = 0;
    bool Whole = false;
    EnumerateComments(Language, Probe, [&](std::string_view S, int Offset) {
        ++Count;
        Whole = Offset == 0 && S == Comment;
    });
    return Count == 1 && Whole;
}

} // namespace

TLanguage LanguageOfFile(std::string_view FileName) {
    const auto Slash = FileName.find_last_of("/\\");
    if (Slash != std::string_view::npos)
        FileName.remove_prefix(Slash + 1);
    const auto Dot = FileName.rfind('.');
    if (Dot == std::string_view::npos)
        return TLanguage::None;
    const std::string_view Ext = FileName.substr(Dot + 1);
    if (Ext.empty() || Ext.size() > 5 || Ext.find(' ') != std::string_view::npos)
        return TLanguage::None;
    // " ext " in lower case, to be found in the space-separated lists below.
    char Key[8] = {' '};
    for (size_t K = 0; K < Ext.size(); ++K) {
        const char C = Ext[K];
        Key[K + 1] = C >= 'A' && C <= 'Z' ? static_cast<char>(C - 'A' + 'a') : C;
    }
    Key[Ext.size() + 1] = ' ';
    const std::string_view Spaced(Key, Ext.size() + 2);
    static constexpr std::pair<TLanguage, std::string_view> Table[] = {
        {TLanguage::Pascal, " pas pp p inc dpr lpr dpk "},
        {TLanguage::C, " c h "},
        {TLanguage::Cpp, " cpp cc cxx c++ hpp hh hxx h++ ipp inl tpp "},
        {TLanguage::ObjectiveC, " m mm "},
        {TLanguage::CSharp, " cs "},
        {TLanguage::Java, " java "},
        {TLanguage::JavaScript, " js mjs cjs jsx "},
        {TLanguage::TypeScript, " ts mts cts tsx "},
        {TLanguage::Go, " go "},
        {TLanguage::Rust, " rs "},
        {TLanguage::Swift, " swift "},
        {TLanguage::Kotlin, " kt kts "},
        {TLanguage::Scala, " scala sc "},
        {TLanguage::Dart, " dart "},
    };
    for (const auto& [Language, Extensions] : Table)
        if (Holds(Extensions, Spaced))
            return Language;
    return TLanguage::None;
}

const char* LanguageName(TLanguage Language) {
    switch (Language) {
    case TLanguage::None:
        return "none";
    case TLanguage::Pascal:
        return "pascal";
    case TLanguage::C:
        return "c";
    case TLanguage::Cpp:
        return "cpp";
    case TLanguage::ObjectiveC:
        return "objc";
    case TLanguage::CSharp:
        return "csharp";
    case TLanguage::Java:
        return "java";
    case TLanguage::JavaScript:
        return "javascript";
    case TLanguage::TypeScript:
        return "typescript";
    case TLanguage::Go:
        return "go";
    case TLanguage::Rust:
        return "rust";
    case TLanguage::Swift:
        return "swift";
    case TLanguage::Kotlin:
        return "kotlin";
    case TLanguage::Scala:
        return "scala";
    case TLanguage::Dart:
        return "dart";
    }
    return "none";
}

void EnumerateComments(TLanguage Language, std::string_view Text, const TCommentProc& Proc) {
    if (Language == TLanguage::None || Text.empty())
        return;
    TScanner(Language, Text, Proc).Run();
}

TStatus MakeComment(TLanguage Language, std::string& Body) {
    std::string Result;
    if (Language == TLanguage::None)
        return TStatus::Error("the file has no comment syntax");
    if (Language == TLanguage::Pascal) {
        if (!Holds(Body, "}"))
            Result = "{ " + Body + " }";
        else if (!Holds(Body, "*)"))
            Result = "(* " + Body + " *)";
        else
            return Refuse("\"}\" and \"*)\"");
    } else {
        bool Line = Language != TLanguage::C && !HasLineBreak(Body);
        if (Line) {
            Result = "// " + Body;
            // A body ending in a backslash would splice the next line of the file into a
            // line comment; the block form is safe from that.
            Line = ReadsBackWhole(Language, Result);
        }
        if (!Line) {
            if (Holds(Body, "*/"))
                return Refuse("\"*/\"");
            if (InfoOf(Language).NestedBlocks && Holds(Body, "/*"))
                return Refuse("\"/*\"");
            Result = "/* " + Body + " */";
        }
    }
    if (!ReadsBackWhole(Language, Result))
        return TStatus::Error("the text cannot be put into a comment that reads back whole");
    Body = std::move(Result);
    return {};
}
