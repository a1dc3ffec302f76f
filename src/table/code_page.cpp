#include "table/code_page.h"

#include <array>

namespace {

/// The characters of the bytes 0x80 to 0x9F; the undefined bytes map to themselves.
constexpr std::array<wchar_t, 32> HighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

} // namespace

std::wstring AnsiToWide(std::string_view Text) {
    std::wstring Wide;
    Wide.reserve(Text.size());
    for (char C : Text) {
        const auto B = static_cast<unsigned char>(C);
        Wide += B >= 0x80 && B < 0xA0 ? HighControls[B - 0x80] : static_cast<wchar_t>(B);
    }
    return Wide;
}

std::string WideToAnsi(std::wstring_view Text) {
    std::string Bytes;
    Bytes.reserve(Text.size());
    for (wchar_t C : Text) {
        if ((C >= 0 && C < 0x80) || (C >= 0xA0 && C <= 0xFF)) {
            Bytes += static_cast<char>(C);
            continue;
        }
        char Found = '?';
        for (size_t I = 0; I < HighControls.size(); ++I)
            if (HighControls[I] == C)
                Found = static_cast<char>(0x80 + I);
        Bytes += Found;
    }
    return Bytes;
}
