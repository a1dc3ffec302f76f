#include "comments/todo_comment.h"
#include "host/todo_intf.h"
#include "host/utf8.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

struct TItemFields {
    std::wstring Text, Owner, Category;
    int Priority = 0;
    bool Checked = false;
    bool operator==(const TItemFields&) const = default;
};

std::ostream& operator<<(std::ostream& Os, const TItemFields& F) {
    return Os << testing::PrintToString(WideToUtf8(F.Text)) << " owner "
              << testing::PrintToString(WideToUtf8(F.Owner)) << " category "
              << testing::PrintToString(WideToUtf8(F.Category)) << " priority " << F.Priority
              << (F.Checked ? " done" : " open");
}

// Reads a comment back the way an item does; nullopt when it is not a to-do.
std::optional<TItemFields> ReadBack(const std::string& Comment) {
    auto F = ParseToDoComment(Comment);
    if (!F)
        return std::nullopt;
    return TItemFields{Utf8ToWide(RangeText(Comment, F->Text)),
                       Utf8ToWide(RangeText(Comment, F->Owner, 2)),
                       Utf8ToWide(RangeText(Comment, F->Category, 2)),
                       PriorityValue(RangeText(Comment, F->Priority)),
                       IsDoneKeyword(RangeText(Comment, F->Keyword))};
}

std::string Body(const TItemFields& F) {
    return WideToUtf8(
        FormatItem(F.Text, F.Owner, F.Category, static_cast<unsigned char>(F.Priority), F.Checked));
}

TEST(FormatItemTest, WritesKeywordPrioritySwitchesColonText) {
    EXPECT_EQ(FormatItem(L"Fix the splitter", L"Ann", L"UI", 2, false),
              L"TODO 2 -oAnn -cUI : Fix the splitter");
    EXPECT_EQ(FormatItem(L"ship it", L"", L"", 0, true), L"DONE : ship it");
    EXPECT_EQ(FormatItem(L"", L"", L"Back end", 5, false), L"TODO 5 -cBack end : ");
    EXPECT_EQ(FormatItem(L"x", L"", L"", 9, false), L"TODO : x"); // reads as 0 anyway
}

TEST(FormatItemTest, EveryCombinationReadsBack) {
    const std::wstring Texts[] = {L"plain text", L"line one\r\nline two\nthree", L"a: b -c d",
                                  L"Zo\u00EB \u2603 \u65E5\u672C", L""};
    const std::wstring Owners[] = {L"", L"Ann", L"Ann Lee", L"Zo\u00EB \u00C5sa"};
    const std::wstring Categories[] = {L"", L"UI", L"Back end", L"Caf\u00E9 (\u65E5)"};
    int Checked = 0;
    for (const auto& Text : Texts)
        for (const auto& Owner : Owners)
            for (const auto& Category : Categories)
                for (int Priority = 0; Priority <= 5; ++Priority)
                    for (bool Done : {false, true}) {
                        const TItemFields F{Text, Owner, Category, Priority, Done};
                        ASSERT_TRUE(CheckItemFields(Text, Owner, Category).Ok()) << F;
                        // Braces wrapped tightly give the text exactly; the blank before
                        // "*/" stays in the text, as it does in any hand-written comment.
                        EXPECT_EQ(ReadBack("{" + Body(F) + "}"), F);
                        TItemFields Spaced = F;
                        if (!Text.empty())
                            Spaced.Text += L" ";
                        EXPECT_EQ(ReadBack("/* " + Body(F) + " */"), Spaced);
                        ++Checked;
                    }
    EXPECT_EQ(Checked, 5 * 4 * 4 * 6 * 2);
}

TEST(FormatItemTest, CheckItemFieldsNamesTheFirstBadValue) {
    struct TCase {
        std::wstring Text, Owner, Category;
        std::string Error; // empty: accepted
    };
    const TCase Cases[] = {
        {L"x", L"Ann", L"UI", ""},
        {L"", L"", L"", ""},
        {L"x  ", L"Ann\tLee", L"a@b", ""},
        {L"x", L")", L"UI (x)", ""},
        {L"x", L"Ann)", L"{UI}", ""},
        {L"'quoted", L"A'B", L"x.y", ""},
        {L" x", L"Ann", L"UI", "text must not start with a blank or with ( ) * / { }"},
        {L"(x)", L"", L"", "text must not start with a blank or with ( ) * / { }"},
        {L"\tx", L"", L"", "text must not start with a blank or with ( ) * / { }"},
        {std::wstring(L"a\0b", 3), L"", L"", "text must not contain a nul character"},
        {L"x", L"A:B", L"", "owner must not contain ':' or '-'"},
        {L"x", L"A-B", L"", "owner must not contain ':' or '-'"},
        {L"x", L"Ann\nLee", L"", "owner must not contain a line break"},
        {L"x", L"Ann\r", L"", "owner must not contain a line break"},
        {L"x", L" Ann", L"", "owner must not start with a blank"},
        {L"x", L"Ann ", L"", "owner must not end with a blank or with ( ) * / { } after a blank"},
        {L"x", L"Ann )", L"", "owner must not end with a blank or with ( ) * / { } after a blank"},
        {L"x", L"Ann\t(*)", L"",
         "owner must not end with a blank or with ( ) * / { } after a blank"},
        {L"x", L"Ann", L"a:b", "category must not contain ':' or '-'"},
        {L"x", L"A-B", L"a:b", "owner must not contain ':' or '-'"},
        {L" x", L"A-B", L"", "text must not start with a blank or with ( ) * / { }"},
    };
    for (const TCase& C : Cases) {
        TStatus S = CheckItemFields(C.Text, C.Owner, C.Category);
        EXPECT_EQ(S.Ok(), C.Error.empty()) << WideToUtf8(C.Owner);
        EXPECT_EQ(S.Message(), C.Error) << WideToUtf8(C.Owner);
    }
    if constexpr (sizeof(wchar_t) >= 4) {
        EXPECT_FALSE(CheckItemFields(std::wstring(1, wchar_t(0xD800)), L"", L"").Ok());
        EXPECT_FALSE(CheckItemFields(L"x", std::wstring(1, wchar_t(0x110000)), L"").Ok());
    }
}

TEST(FormatItemTest, CheckItemFieldsAgreesWithTheRoundTrip) {
    // Whatever CheckItemFields lets through must survive the round trip.
    const std::wstring Alphabet[] = {L"A", L"b", L" ", L"\t", L"(",      L")",      L"*",
                                     L"/", L"{", L"}", L":",  L"-",      L"@",      L"\u00E9",
                                     L"3", L"'", L".", L"\n", L"\u00A0", L"\u65E5", L"\x7F"};
    std::mt19937 Rng(99);
    auto Random = [&] {
        std::wstring S;
        for (int N = static_cast<int>(Rng() % 6); N > 0; --N)
            S += Alphabet[Rng() % std::size(Alphabet)];
        return S;
    };
    int Accepted = 0;
    for (int I = 0; I < 30000; ++I) {
        const TItemFields F{Random(), Random(), Random(), static_cast<int>(Rng() % 6),
                            Rng() % 2 == 0};
        const TStatus S = CheckItemFields(F.Text, F.Owner, F.Category);
        const auto Back = ReadBack("{" + Body(F) + "}");
        if (S.Ok()) {
            ++Accepted;
            ASSERT_EQ(Back, F);
        } else if (S.Message().find("end with") != std::string::npos) {
            // The rule for the end of a value is exact, not merely safe.
            ASSERT_NE(Back, F) << S.Message();
        }
    }
    EXPECT_GT(Accepted, 1000);
}

} // namespace
