#pragma once

#include <cstddef>
#include <string>
#include <string_view>

/// Number of bytes of the UTF-8 sequence that Lead starts: 2 to 6 for the lead bytes 0xC2 to 0xFD
/// (the historical long forms included, so a scanner never stops inside a sequence), else 1.
inline int UTF8CharLength(unsigned char Lead) {
    if (Lead < 0xC2 || Lead > 0xFD)
        return 1;
    if (Lead < 0xE0)
        return 2;
    if (Lead < 0xF0)
        return 3;
    if (Lead < 0xF8)
        return 4;
    if (Lead < 0xFC)
        return 5;
    return 6;
}

/// True for the continuation bytes 0x80 to 0xBF of a UTF-8 sequence.
inline bool IsUTF8TrailByte(unsigned char B) {
    return (B & 0xC0) == 0x80;
}

/// Length in bytes (1 to 4) of the valid UTF-8 sequence that starts at S[At], or 0 when none
/// does: a byte that starts no sequence, a sequence cut short by the end of S or a wrong
/// continuation byte, an overlong form, a surrogate (U+D800 to U+DFFF) or a code point above
/// U+10FFFF. At must be less than S.size(). Agrees with Utf8ToWide, which decodes every valid
/// sequence and replaces everything else.
size_t Utf8SequenceLength(std::string_view S, size_t At);

/// True when S is made of valid UTF-8 sequences only (see Utf8SequenceLength); true for "".
bool IsValidUtf8(std::string_view S);

/// Decodes UTF-8 into a wide string. Invalid or truncated sequences become U+FFFD each, so any
/// byte string decodes without failing.
std::wstring Utf8ToWide(std::string_view S);

/// Encodes a wide string as UTF-8. Code points that are not valid scalar values become U+FFFD.
std::string WideToUtf8(std::wstring_view S);

/// Widens each byte on its own (the way 8-bit host names such as file names reach wide text).
std::wstring WidenBytes(std::string_view S);
