#include "host/utf8.h"

#include <gtest/gtest.h>

using namespace std::string_literals;

TEST(Utf8Test, DecodesAndReplacesInvalidSequences) {
    const std::pair<std::string, std::wstring> Cases[] = {
        {"a\0b"s, L"a\0b"s},
        {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", L"caf\u00E9 \u20AC \U0001F600"},
        {"\xC3(", L"\uFFFD("},                   // the next byte is not swallowed
        {"\xE2\x82x\xE2", L"\uFFFDx\uFFFD"},     // one replacement per cut-short sequence
        {"\x80\xBF\xFF", L"\uFFFD\uFFFD\uFFFD"}, // bytes that start no sequence
        {"\xC0\xAF\xE0\x80\xAF", L"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"}, // overlong
        {"\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD"},                     // surrogate
        {"\xF4\x90\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD"},           // above U+10FFFF
    };
    for (const auto& [In, Out] : Cases) {
        EXPECT_EQ(Utf8ToWide(In), Out) << testing::PrintToString(In);
        EXPECT_TRUE(Out.find(L'\uFFFD') != Out.npos ||
                    WideToUtf8(Out) == In); // valid: encodes back
    }
    EXPECT_EQ(WideToUtf8(L"\xDC00"s), "\xEF\xBF\xBD");
    EXPECT_EQ(WidenBytes("a\xE9\0"s), L"a\u00E9\0"s);
}

TEST(Utf8Test, ValidatesSequencesAsTheDecoderReadsThem) {
    const struct {
        std::string In;
        size_t Length; // of the sequence at 0; 0: invalid
    } Cases[] = {
        {"a"s, 1},
        {"\0"s, 1},
        {"\x7F", 1},
        {"\xC2\x80", 2},         // U+0080, the first two-byte one
        {"\xDF\xBF", 2},         // U+07FF
        {"\xE0\xA0\x80", 3},     // U+0800
        {"\xED\x9F\xBF", 3},     // U+D7FF, just below the surrogates
        {"\xEE\x80\x80", 3},     // U+E000, just above them
        {"\xEF\xBF\xBF", 3},     // U+FFFF
        {"\xF0\x90\x80\x80", 4}, // U+10000
        {"\xF4\x8F\xBF\xBF", 4}, // U+10FFFF, the last one
        {"\xE2\x82\xAC!", 3},    // what follows is not part of it
        {"\xC0\x80", 0},         // overlong forms
        {"\xC1\xBF", 0},
        {"\xE0\x9F\xBF", 0},
        {"\xF0\x8F\xBF\xBF", 0},
        {"\xED\xA0\x80", 0}, // surrogates
        {"\xED\xBF\xBF", 0},
        {"\xF4\x90\x80\x80", 0}, // above U+10FFFF
        {"\xF5\x80\x80\x80", 0},
        {"\x80", 0}, // continuation or never-used bytes
        {"\xFE", 0},
        {"\xFF", 0},
        {"\xE2\x82", 0}, // cut short by the end
        {"\xC3(", 0},    // cut short by a byte that continues nothing
        {"\xF0\x9F\x98(", 0},
    };
    for (const auto& C : Cases) {
        const std::string Shown = testing::PrintToString(C.In);
        EXPECT_EQ(Utf8SequenceLength(C.In, 0), C.Length) << Shown;
        EXPECT_EQ(Utf8SequenceLength("ab" + C.In, 2), C.Length) << Shown;
        const bool Valid = C.Length != 0;
        EXPECT_EQ(IsValidUtf8(C.In), Valid) << Shown;
        EXPECT_EQ(IsValidUtf8("ok " + C.In + " ok"), Valid) << Shown;
        // The decoder replaces exactly what the check refuses.
        EXPECT_EQ(Utf8ToWide(C.In).find(L'\uFFFD') == std::wstring::npos, Valid) << Shown;
    }
    EXPECT_TRUE(IsValidUtf8(""));
    EXPECT_FALSE(IsValidUtf8("caf\xC3\xA9\xC3")); // a valid text cut inside its last character

    // Whatever the encoder writes for a scalar value is accepted in full.
    for (char32_t Code = 0; Code <= 0x10FFFF; ++Code) {
        if (Code == 0xD800)
            Code = 0xE000;
        std::wstring Wide;
        if (sizeof(wchar_t) >= 4 || Code < 0x10000) {
            Wide.push_back(static_cast<wchar_t>(Code));
        } else {
            Wide.push_back(static_cast<wchar_t>(0xD800 + ((Code - 0x10000) >> 10)));
            Wide.push_back(static_cast<wchar_t>(0xDC00 + ((Code - 0x10000) & 0x3FF)));
        }
        const std::string Bytes = WideToUtf8(Wide);
        if (Utf8SequenceLength(Bytes, 0) != Bytes.size() || !IsValidUtf8(Bytes)) {
            ADD_FAILURE() << "U+" << std::hex << static_cast<unsigned long>(Code);
            break;
        }
    }
}
