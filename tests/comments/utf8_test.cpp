#include "host/utf8.h"

#include <gtest/gtest.h>

namespace {

TEST(Utf8Test, DecodesAndReplacesInvalidSequences) {
    const std::pair<std::string, std::wstring> Cases[] = {
        {"", L""},
        {"abc", L"abc"},
        {std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
        {"caf\xC3\xA9", L"caf\u00E9"},
        {"\xE2\x82\xAC", L"\u20AC"},
        {"\xC3", L"\uFFFD"},     // truncated at the end
        {"\xC3(", L"\uFFFD("},   // the next byte is not swallowed
        {"\xE2\x82", L"\uFFFD"}, // one replacement per cut-short sequence
        {"\xE2\x82x", L"\uFFFDx"},
        {"\x80\xBF", L"\uFFFD\uFFFD"},                     // lone trail bytes
        {"\xC0\xAF", L"\uFFFD\uFFFD"},                     // overlong
        {"\xE0\x80\xAF", L"\uFFFD\uFFFD\uFFFD"},           // overlong
        {"\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD"},           // surrogate
        {"\xF4\x90\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD"}, // above U+10FFFF
        {"\xFF\xFE", L"\uFFFD\uFFFD"},
        {"\xF8\x88\x80\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
    };
    for (const auto& [In, Out] : Cases)
        EXPECT_EQ(Utf8ToWide(In), Out) << testing::PrintToString(In);
}

TEST(Utf8Test, EncodesAndRoundTrips) {
    const std::wstring Samples[] = {L"", L"plain", L"Zo\u00EB \u20AC \u65E5\u672C",
                                    std::wstring(L"nul\0in", 6), L"\U0001F600 smile"};
    for (const auto& S : Samples)
        EXPECT_EQ(Utf8ToWide(WideToUtf8(S)), S);
    EXPECT_EQ(WideToUtf8(L"\U0001F600"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(WideToUtf8(std::wstring(1, wchar_t(0xDC00))), "\xEF\xBF\xBD");
    if constexpr (sizeof(wchar_t) >= 4) {
        EXPECT_EQ(WideToUtf8(std::wstring(1, wchar_t(0x110000))), "\xEF\xBF\xBD");
    }
}

TEST(Utf8Test, WidenBytesKeepsEachByte) {
    EXPECT_EQ(WidenBytes("a\xE9\xFF"), L"a\u00E9\u00FF");
    EXPECT_EQ(WidenBytes(std::string("\0x", 2)), std::wstring(L"\0x", 2));
}

} // namespace
