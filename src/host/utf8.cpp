#include "host/utf8.h"

#include <type_traits>

namespace {

constexpr char32_t ReplacementChar = 0xFFFD;

bool IsScalarValue(char32_t C) {
    return C < 0xD800 || (C > 0xDFFF && C <= 0x10FFFF);
}

void AppendWide(std::wstring& Out, char32_t C) {
    if constexpr (sizeof(wchar_t) >= 4) {
        Out.push_back(static_cast<wchar_t>(C));
    } else {
        if (C < 0x10000) {
            Out.push_back(static_cast<wchar_t>(C));
        } else {
            C -= 0x10000;
            Out.push_back(static_cast<wchar_t>(0xD800 + (C >> 10)));
            Out.push_back(static_cast<wchar_t>(0xDC00 + (C & 0x3FF)));
        }
    }
}

void AppendUtf8(std::string& Out, char32_t C) {
    if (!IsScalarValue(C))
        C = ReplacementChar;
    if (C < 0x80) {
        Out.push_back(static_cast<char>(C));
    } else if (C < 0x800) {
        Out.push_back(static_cast<char>(0xC0 | (C >> 6)));
        Out.push_back(static_cast<char>(0x80 | (C & 0x3F)));
    } else if (C < 0x10000) {
        Out.push_back(static_cast<char>(0xE0 | (C >> 12)));
        Out.push_back(static_cast<char>(0x80 | ((C >> 6) & 0x3F)));
        Out.push_back(static_cast<char>(0x80 | (C & 0x3F)));
    } else {
        Out.push_back(static_cast<char>(0xF0 | (C >> 18)));
        Out.push_back(static_cast<char>(0x80 | ((C >> 12) & 0x3F)));
        Out.push_back(static_cast<char>(0x80 | ((C >> 6) & 0x3F)));
        Out.push_back(static_cast<char>(0x80 | (C & 0x3F)));
    }
}

/// One step of the decoder: the code point and length of a valid sequence, or, for an invalid
/// one, the bytes that are replaced by one U+FFFD.
struct TDecoded {
    char32_t Code;
    size_t Length; // at least 1, so a caller always makes progress
    bool Valid;
};

// Strict decoding (no overlong forms, no surrogates, nothing above U+10FFFF). Each maximal
// prefix of a valid sequence that is cut short, and each byte that cannot start a sequence, is
// one invalid step.
TDecoded DecodeAt(std::string_view S, size_t At) {
    const auto B = static_cast<unsigned char>(S[At]);
    if (B < 0x80)
        return {B, 1, true};
    size_t Need;
    char32_t C;
    // Allowed range of the second byte; it excludes overlong forms and surrogates.
    unsigned char Lo = 0x80, Hi = 0xBF;
    if (B >= 0xC2 && B <= 0xDF) {
        Need = 1;
        C = B & 0x1F;
    } else if (B >= 0xE0 && B <= 0xEF) {
        Need = 2;
        C = B & 0x0F;
        if (B == 0xE0)
            Lo = 0xA0;
        else if (B == 0xED)
            Hi = 0x9F;
    } else if (B >= 0xF0 && B <= 0xF4) {
        Need = 3;
        C = B & 0x07;
        if (B == 0xF0)
            Lo = 0x90;
        else if (B == 0xF4)
            Hi = 0x8F;
    } else {
        return {ReplacementChar, 1, false};
    }
    for (size_t I = 1; I <= Need; ++I) {
        if (At + I == S.size())
            return {ReplacementChar, I, false};
        const auto Next = static_cast<unsigned char>(S[At + I]);
        if (Next < Lo || Next > Hi)
            return {ReplacementChar, I, false};
        C = (C << 6) | (Next & 0x3F);
        Lo = 0x80;
        Hi = 0xBF;
    }
    return {C, Need + 1, true};
}

} // namespace

size_t Utf8SequenceLength(std::string_view S, size_t At) {
    const TDecoded D = DecodeAt(S, At);
    return D.Valid ? D.Length : 0;
}

bool IsValidUtf8(std::string_view S) {
    for (size_t At = 0; At < S.size();) {
        const TDecoded D = DecodeAt(S, At);
        if (!D.Valid)
            return false;
        At += D.Length;
    }
    return true;
}

std::wstring Utf8ToWide(std::string_view S) {
    std::wstring Out;
    Out.reserve(S.size());
    for (size_t At = 0; At < S.size();) {
        const TDecoded D = DecodeAt(S, At);
        AppendWide(Out, D.Code);
        At += D.Length;
    }
    return Out;
}

std::string WideToUtf8(std::wstring_view S) {
    std::string Out;
    Out.reserve(S.size());
    for (size_t I = 0; I < S.size(); ++I) {
        char32_t C = static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(S[I]));
        if constexpr (sizeof(wchar_t) < 4) {
            // A high surrogate followed by a low one is one code point; a lone one is invalid
            // and becomes U+FFFD in AppendUtf8.
            if (C >= 0xD800 && C <= 0xDBFF && I + 1 < S.size()) {
                char32_t Low = static_cast<char32_t>(S[I + 1]);
                if (Low >= 0xDC00 && Low <= 0xDFFF) {
                    C = 0x10000 + ((C - 0xD800) << 10) + (Low - 0xDC00);
                    ++I;
                }
            }
        }
        AppendUtf8(Out, C);
    }
    return Out;
}

std::wstring WidenBytes(std::string_view S) {
    std::wstring Out(S.size(), L'\0');
    for (size_t I = 0; I < S.size(); ++I)
        Out[I] = static_cast<wchar_t>(static_cast<unsigned char>(S[I]));
    return Out;
}
