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

} // namespace

// Strict decoding (no overlong forms, no surrogates, nothing above U+10FFFF). Each maximal
// prefix of a valid sequence that is cut short, and each byte that cannot start a sequence,
// becomes one U+FFFD, so the decoder always makes progress and never fails.
std::wstring Utf8ToWide(std::string_view S) {
    std::wstring Out;
    Out.reserve(S.size());
    const auto* P = reinterpret_cast<const unsigned char*>(S.data());
    const auto* End = P + S.size();
    while (P < End) {
        unsigned char B = *P;
        if (B < 0x80) {
            Out.push_back(static_cast<wchar_t>(B));
            ++P;
            continue;
        }
        int Need;
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
            AppendWide(Out, ReplacementChar);
            ++P;
            continue;
        }
        ++P;
        bool Complete = true;
        for (int I = 0; I < Need; ++I) {
            if (P == End || *P < Lo || *P > Hi) {
                Complete = false;
                break;
            }
            C = (C << 6) | (*P & 0x3F);
            ++P;
            Lo = 0x80;
            Hi = 0xBF;
        }
        AppendWide(Out, Complete ? C : ReplacementChar);
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
