#include "comments/todo_filter_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

namespace {

std::vector<std::wstring> Keys(const TFilterValueList& L) {
    std::vector<std::wstring> Out;
    for (const auto& [Key, Entry] : L) {
        EXPECT_EQ(Key, Entry->Key);
        Out.push_back(Key);
    }
    std::sort(Out.begin(), Out.end());
    return Out;
}

TEST(ToDoFilterListTest, AddFindAndClear) {
    TToDoFilterList L;
    EXPECT_EQ(L.Find(L"UI"), nullptr);
    TFilterEntry* E = L.Add(L"UI", 3);
    ASSERT_NE(E, nullptr);
    EXPECT_EQ(L.Find(L"UI"), E);
    EXPECT_EQ(L.Find(L"ui"), nullptr); // keys are case-sensitive
    EXPECT_EQ(L.Add(L"UI", -1), E);    // never twice
    EXPECT_EQ(E->Value, -1);
    L.Add(L"", 1);
    EXPECT_NE(L.Find(L""), nullptr);
    L.Clear();
    EXPECT_EQ(L.Find(L"UI"), nullptr);
    TFilterValueList All{{L"stale", nullptr}};
    L.ListValues(All, true, true);
    EXPECT_TRUE(All.empty());
}

TEST(ToDoFilterListTest, ListValuesSelectsByValue) {
    TToDoFilterList L;
    L.Add(L"hidden", -1);
    L.Add(L"unused", 0);
    L.Add(L"one", 1);
    L.Add(L"many", 7);
    L.Add(L"odd", -2); // not a value the list gives meaning to: never listed
    struct TCase {
        bool Hidden, Unused;
        std::vector<std::wstring> Expected;
    };
    const TCase Cases[] = {
        {false, false, {L"many", L"one"}},
        {true, false, {L"hidden", L"many", L"one"}},
        {false, true, {L"many", L"one", L"unused"}},
        {true, true, {L"hidden", L"many", L"one", L"unused"}},
    };
    TFilterValueList Out;
    for (const TCase& C : Cases) {
        L.ListValues(Out, C.Hidden, C.Unused);
        EXPECT_EQ(Keys(Out), C.Expected) << C.Hidden << C.Unused;
    }

    L.Reset();
    EXPECT_EQ(L.Find(L"many")->Value, 0);
    EXPECT_EQ(L.Find(L"hidden")->Value, -1);
    L.ListValues(Out, false, false);
    EXPECT_TRUE(Out.empty());
    L.ListValues(Out, true, false);
    EXPECT_EQ(Keys(Out), std::vector<std::wstring>{L"hidden"});
}

TEST(ToDoFilterListTest, EnumeratesInBucketOrderThenAddOrder) {
    // Enough keys for long chains; many share their low bytes, so a hash that ignored the
    // high bits of a code unit would crowd them into few buckets.
    TToDoFilterList L;
    std::vector<std::wstring> Added;
    for (int I = 0; I < 3000; ++I) {
        std::wstring Key = L"key" + std::to_wstring(I);
        if (I % 2)
            Key = std::wstring(1, static_cast<wchar_t>(0x4E00 + 256 * (I % 64))) + Key;
        Added.push_back(Key);
        L.Add(Key, 1);
    }
    std::vector<std::wstring> Expected = Added;
    std::stable_sort(Expected.begin(), Expected.end(), [](const auto& A, const auto& B) {
        return TToDoFilterList::BucketOf(A) < TToDoFilterList::BucketOf(B);
    });
    TFilterValueList Out;
    L.ListValues(Out, false, false);
    std::vector<std::wstring> Listed;
    for (const auto& P : Out)
        Listed.push_back(P.first);
    EXPECT_EQ(Listed, Expected);

    std::set<int> Used;
    for (const auto& K : Added)
        Used.insert(TToDoFilterList::BucketOf(K));
    EXPECT_EQ(Used.size(), 256u);
    std::set<int> UsedWide;
    for (int I = 0; I < 256; ++I)
        UsedWide.insert(
            TToDoFilterList::BucketOf(std::wstring(1, static_cast<wchar_t>(0x100 * I))));
    EXPECT_GT(UsedWide.size(), 150u);
}

} // namespace
