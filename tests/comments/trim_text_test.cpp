#include "comments/trim_text.h"

#include <gtest/gtest.h>

namespace {

TEST(TrimTextTest, FlattensToOneLine) {
    const std::pair<std::wstring, std::wstring> Cases[] = {
        {L"line one\r\n  line two\t", L"line one   line two"},
        {L"line one\n  line two\t", L"line one   line two"},
        {L"a\rb\n\nc", L"a b  c"},
        {L"", L""},
        {L" \t\r\n ", L""},
        {L"fix it ", L"fix it"},
        {L"a\r\n\r\nb", L"a  b"},
        {L"\tab\tc\t", L"abc"},
        // Tabs go only after the first trim, so blanks they separated from the ends stay.
        {L"x \t y", L"x  y"},
        {L"\t x", L"x"},
        {L"x\t ", L"x"},
        {L"\x01\x1F x \x7F", L"x \x7F"},
        {L"a\r", L"a"},
        {L"\u00A0caf\u00E9\u00A0", L"\u00A0caf\u00E9\u00A0"}, // only code points up to U+0020 trim
    };
    for (const auto& [In, Out] : Cases)
        EXPECT_EQ(TrimText(In), Out) << testing::PrintToString(In);
}

} // namespace
