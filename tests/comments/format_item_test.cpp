#include "comments/todo_comment.h"
#include "host/todo_intf.h"
#include "host/utf8.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

using namespace std::string_literals;

// Writes the fields with FormatItem inside braces and reads them back as an item does, in the
// form "text|owner|category|priority|checked"; "" when the parser does not take the comment.
std::string RoundTrip(const std::wstring& Text, const std::wstring& Owner,
                      const std::wstring& Category, int Priority, bool Checked) {
    const std::string C =
        "{" + WideToUtf8(FormatItem(Text, Owner, Category, Priority, Checked)) + "}";
    auto F = ParseToDoComment(C);
    if (!F)
        return "";
    return std::string(RangeText(C, F->Text)) + "|" + std::string(RangeText(C, F->Owner, 2)) + "|" +
           std::string(RangeText(C, F->Category, 2)) + "|" +
           std::to_string(PriorityValue(RangeText(C, F->Priority))) + "|" +
           (IsDoneKeyword(RangeText(C, F->Keyword)) ? "done" : "open");
}

std::string Expect(const std::wstring& Text, const std::wstring& Owner,
                   const std::wstring& Category, int Priority, bool Checked) {
    return WideToUtf8(Text) + "|" + WideToUtf8(Owner) + "|" + WideToUtf8(Category) + "|" +
           std::to_string(Priority) + "|" + (Checked ? "done" : "open");
}

TEST(FormatItemTest, WritesTheBodyAndReadsBackEveryCombination) {
    EXPECT_EQ(FormatItem(L"Fix the splitter", L"Ann", L"UI", 2, false),
              L"TODO 2 -oAnn -cUI : Fix the splitter");
    EXPECT_EQ(FormatItem(L"ship it", L"", L"", 0, true), L"DONE : ship it");
    for (const wchar_t* Text :
         {L"plain text", L"one\r\ntwo\nthree", L"a: b -c d", L"Zo\u00EB \u65E5", L""})
        for (const wchar_t* Owner : {L"", L"Ann", L"Ann Lee", L"Zo\u00EB \u00C5sa"})
            for (const wchar_t* Category : {L"", L"UI", L"Back end", L"Caf\u00E9 (\u65E5)"})
                for (int Priority = 0; Priority <= 5; ++Priority)
                    for (bool Done : {false, true}) {
                        ASSERT_TRUE(CheckItemFields(Text, Owner, Category).Ok());
                        EXPECT_EQ(RoundTrip(Text, Owner, Category, Priority, Done),
                                  Expect(Text, Owner, Category, Priority, Done));
                    }
}

TEST(FormatItemTest, CheckItemFieldsNamesTheFirstBadValue) {
    const std::tuple<std::wstring, std::wstring, std::wstring, std::string> Cases[] = {
        {L"x  ", L"Ann\tLee", L"a@b", ""}, // accepted
        {L"'quoted", L"Ann)", L"{UI}", ""},
        {L"x", L")", L"UI (x)", ""},
        {L" x", L"A-B", L"", "text must not start with a blank"},
        {L"(x)", L"", L"", "text must not start with a blank or with ( ) * / { }"},
        {L"a\0b"s, L"", L"", "text must not contain a nul"},
        {L"x", L"A:B", L"", "owner must not contain ':' or '-'"},
        {L"x", L"Ann\r", L"", "owner must not contain a line break"},
        {L"x", L" Ann", L"", "owner must not start with a blank"},
        {L"x", L"Ann ", L"", "owner must not end with a blank"},
        {L"x", L"Ann\t(*)", L"", "owner must not end with a blank or with ( ) * / { } after"},
        {L"x", L"Ann", L"a-b", "category must not contain ':' or '-'"},
        {L"\xD800"s, L"", L"", "text holds a character that is not valid unicode"},
    };
    for (const auto& [Text, Owner, Category, Error] : Cases) {
        const TStatus S = CheckItemFields(Text, Owner, Category);
        EXPECT_EQ(S.Message().substr(0, Error.size()), Error) << WideToUtf8(Text + L"|" + Owner);
        EXPECT_EQ(S.Ok(), Error.empty()) << S.Message();
    }
}

TEST(FormatItemTest, CheckItemFieldsAgreesWithTheRoundTrip) {
    const wchar_t* Alphabet[] = {L"A", L"b", L" ", L"\t", L"(",      L")",   L"*",
                                 L"/", L"{", L"}", L":",  L"-",      L"@",   L"\u00E9",
                                 L"3", L"'", L".", L"\n", L"\u00A0", L"\x7F"};
    std::mt19937 Rng(99);
    auto Random = [&] {
        std::wstring S;
        for (int N = static_cast<int>(Rng() % 6); N > 0; --N)
            S += Alphabet[Rng() % std::size(Alphabet)];
        return S;
    };
    int Accepted = 0;
    for (int I = 0; I < 30000; ++I) {
        const std::wstring Text = Random(), Owner = Random(), Category = Random();
        const int Priority = static_cast<int>(Rng() % 6);
        const TStatus S = CheckItemFields(Text, Owner, Category);
        const bool Same = RoundTrip(Text, Owner, Category, Priority, I % 2) ==
                          Expect(Text, Owner, Category, Priority, I % 2);
        // Whatever is accepted reads back; the rule for the end of a value is exact.
        if (S.Ok() || S.Message().find("end with") != std::string::npos)
            ASSERT_EQ(Same, S.Ok()) << WideToUtf8(Text + L"|" + Owner + L"|" + Category);
        Accepted += S.Ok();
    }
    EXPECT_GT(Accepted, 1000);
}

} // namespace
