#include "comments/trim_text.h"

#include <gtest/gtest.h>

TEST(TrimTextTest, FlattensToOneLine) {
    const std::pair<std::wstring, std::wstring> Cases[] = {
        {L"line one\n  line two\t", L"line one   line two"},
        {L"a\rb\n\nc\r\n\r\nd", L"a b  c  d"},
        {L" \t\r\n ", L""},
        {L"\tab\tc\t", L"abc"},
        {L"x \t y", L"x  y"}, // tabs go only after the first trim
        {L"\x01\x1F x\t \x7F", L"x \x7F"},
        {L"\u00A0caf\u00E9\u00A0", L"\u00A0caf\u00E9\u00A0"}, // only code points up to U+0020 trim
    };
    for (const auto& [In, Out] : Cases)
        EXPECT_EQ(TrimText(In), Out) << testing::PrintToString(In);
}
