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
