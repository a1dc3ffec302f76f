#include "todofile/todo_file_scanner.h"

#include "host/utf8.h"

#include <algorithm>
#include <cstring>

namespace {

using uchar = unsigned char;

bool IsIdentChar(uchar C) {
    const uchar K = TToDoFileScanner::CharClass[C];
    return K == fcIdent || (C >= '0' && C <= '9');
}

} // namespace

static_assert(TToDoFileScanner::CharClass['{'] == fcBrace &&
              TToDoFileScanner::CharClass['}'] == fcOther &&
              TToDoFileScanner::CharClass['$'] == fcNumber &&
              TToDoFileScanner::CharClass['^'] == fcSymbol &&
              TToDoFileScanner::CharClass[0xC1] == fcOther &&
              TToDoFileScanner::CharClass[0xC2] == fcUtf8Lead &&
              TToDoFileScanner::CharClass[0xFE] == fcOther);

size_t TStringSourceReader::Read(char* Buffer, size_t Capacity) {
    size_t N = std::min(Capacity, FText.size());
    if (FBlockSize != 0)
        N = std::min(N, FBlockSize);
    std::memcpy(Buffer, FText.data(), N);
    FText.remove_prefix(N);
    return N;
}

void TToDoFileScanner::ScannerStarted() {
    NextToken();
}

unsigned char TToDoFileScanner::Finish(unsigned char Kind, const char* Start, const char* End) {
    FToken = Kind;
    FTokenStart = Start;
    FScanPtr = End;
    FTokenHash = 0;
    return Kind;
}

bool TToDoFileScanner::AtEnd(const char*& P, const char*& Start) {
    if (P != Text() + TextLength())
        return false;
    FScanPtr = P;
    FTokenStart = Start;
    const bool More = ReadSource();
    P = FScanPtr;
    Start = FTokenStart;
    return !More;
}

unsigned char TToDoFileScanner::Peek(const char*& P, const char*& Start) {
    if (P + 1 == Text() + TextLength()) {
        const char* Next = P + 1;
        AtEnd(Next, Start);
        P = Next - 1;
    }
    return static_cast<uchar>(P[1]);
}

void TToDoFileScanner::SkipIdent(const char*& P, const char*& Start) {
    for (;;) {
        if (IsIdentChar(static_cast<uchar>(*P)))
            ++P;
        else if (*P != '\0' || AtEnd(P, Start) || !IsIdentChar(static_cast<uchar>(*P)))
            return;
    }
}

unsigned char TToDoFileScanner::NextToken() {
    const char* P = FScanPtr;
    for (;;) {
        const char* Start = P;
        switch (CharClass[static_cast<uchar>(*P)]) {
        case fcEnd:
            if (AtEnd(P, Start))
                return Finish(tfEnd, P, P);
            if (*P == '\0')
                return Finish(tfOther, Start, P + 1); // a NUL byte inside the text
            continue;                                 // a block was appended: look again
        case fcBlank:
            ++P;
            continue;
        case fcBrace:
            for (++P;;) {
                const uchar B = static_cast<uchar>(*P);
                if (B == '}')
                    return Finish(tfComment, Start, P + 1);
                if (B == '\0') {
                    if (AtEnd(P, Start))
                        return Finish(tfEnd, P, P);
                    if (*P == '\0')
                        ++P;
                    continue;
                }
                // A UTF-8 sequence is one character, stepped over whole even when a "}" sits
                // where the lead byte promises a continuation; a NUL byte is never part of it.
                const int Len = UTF8CharLength(B);
                ++P;
                for (int I = 1; I < Len; ++I) {
                    if (*P == '\0' && (AtEnd(P, Start) || *P == '\0'))
                        break;
                    ++P;
                }
            }
        case fcParen:
            if (Peek(P, Start) != '*')
                return Finish(tfSymbol, Start, P + 1);
            for (P += 2;;) {
                if (*P == '\0') {
                    if (AtEnd(P, Start))
                        return Finish(tfEnd, P, P);
                    if (*P != '\0')
                        continue; // a block was appended: look at its first byte
                } else if (*P == '*' && Peek(P, Start) == ')') {
                    return Finish(tfComment, Start, P + 2);
                }
                ++P;
            }
        case fcSlash:
            if (Peek(P, Start) != '/')
                return Finish(tfSymbol, Start, P + 1);
            for (P += 2;;) {
                if (*P == '\0') {
                    if (AtEnd(P, Start))
                        return Finish(tfComment, Start, P); // the last line has no line break
                    if (*P != '\0')
                        continue;
                } else if (*P == '\n') {
                    return Finish(tfComment, Start, P + 1);
                }
                ++P;
            }
        case fcQuote:
            for (++P;;) {
                if (*P == '\0') {
                    if (AtEnd(P, Start))
                        return Finish(tfString, Start, P);
                    if (*P != '\0')
                        continue;
                } else if (*P == '\'') {
                    if (Peek(P, Start) != '\'')
                        return Finish(tfString, Start, P + 1);
                    ++P; // the doubled quote; the loop steps over the second one
                } else if (*P == '\n' || (*P == '\r' && Peek(P, Start) == '\n')) {
                    return Finish(tfString, Start, P);
                }
                ++P;
            }
        case fcIdent:
        case fcNumber:
            ++P;
            SkipIdent(P, Start);
            return Finish(CharClass[static_cast<uchar>(*Start)] == fcIdent ? tfIdent : tfNumber,
                          Start, P);
        case fcDot: {
            const int Len = Peek(P, Start) == '.' ? 2 : 1;
            return Finish(tfSymbol, Start, P + Len);
        }
        case fcSymbol:
            return Finish(tfSymbol, Start, P + 1);
        default: // fcOther, fcUtf8Lead
            return Finish(tfOther, Start, P + 1);
        }
    }
}
