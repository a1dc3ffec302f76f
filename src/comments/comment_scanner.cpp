#include "comments/comment_scanner.h"

#include "host/utf8.h"

namespace {

using uchar = unsigned char;

uint16_t RotateLeft5(uint16_t H) {
    return static_cast<uint16_t>((H << 5) | (H >> 11));
}

// Length of the UTF-8 sequence at P, cut short at a NUL byte: a NUL is never part of a
// sequence, so it still ends the text and nothing past the buffer's terminator is read.
int SequenceLength(const char* P) {
    const int Len = UTF8CharLength(static_cast<uchar>(*P));
    for (int I = 1; I < Len; ++I)
        if (P[I] == '\0')
            return I;
    return Len;
}

} // namespace

static_assert(TCommentScanner::CharClass[0] == ccEnd && TCommentScanner::CharClass['}'] == ccBlank);
static_assert(TCommentScanner::Fold['a'] == 'A' && TCommentScanner::Fold['@'] == 0);

void TCommentScanner::ScannerStarted() {
    NextToken();
}

unsigned char TCommentScanner::NextToken() {
    const char* P = FScanPtr;
    const char* Start;
    unsigned char Kind;
    uint16_t Hash = 0;
    for (;;) {
        Start = P;
        const uchar C = static_cast<uchar>(*P);
        const uchar Class = CharClass[C];
        if (Class == ccBlank) {
            ++P; // blank bytes are all single-byte
            continue;
        }
        if (Class == ccEnd) {
            FScanPtr = P;
            if (ReadSource()) {
                P = FScanPtr;
                continue;
            }
            P = FScanPtr;
            Start = P;
            Kind = tkEnd;
            break;
        }
        P += SequenceLength(P);
        if (Class == ccWord) {
            Hash = Fold[C];
            for (;;) {
                const uchar B = static_cast<uchar>(*P);
                if (IsUTF8TrailByte(B)) {
                    Hash = static_cast<uint16_t>(Hash + 1);
                } else if (Fold[B] == 0) {
                    break;
                } else {
                    Hash = static_cast<uint16_t>(RotateLeft5(Hash) ^ Fold[B]);
                }
                ++P; // trail bytes and bytes with a folded value are all single-byte
            }
            Kind = tkWord;
        } else if (Class == ccDigit) {
            while (Fold[static_cast<uchar>(*P)] != 0)
                ++P;
            Kind = tkNumber;
        } else {
            Kind = Class == ccColon ? tkColon : tkSwitch;
        }
        break;
    }
    FToken = Kind;
    FTokenStart = Start;
    FScanPtr = P;
    FTokenHash = Hash;
    return Kind;
}

uint16_t TCommentScanner::GetHashCode(std::string_view S) {
    uint16_t Hash = 0;
    for (char C : S)
        Hash = static_cast<uint16_t>(RotateLeft5(Hash) ^ Fold[static_cast<uchar>(C)]);
    return Hash;
}
