#include "comments/todo_filter_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

// The keys ListValues reports, sorted (the order is the table's own).
std::vector<std::wstring> Listed(const TToDoFilterList& L, bool Hidden, bool Unused) {
    TFilterValueList Out{{L"stale", nullptr}};
    L.ListValues(Out, Hidden, Unused);
    std::vector<std::wstring> Keys;
    for (const auto& [Key, Entry] : Out)
        Keys.push_back(Entry && Entry->Key == Key ? Key : L"bad entry");
    std::sort(Keys.begin(), Keys.end());
    return Keys;
}

TEST(ToDoFilterListTest, AddFindListResetAndClear) {
    TToDoFilterList L;
    for (const auto& [Key, Value] : {std::pair{L"hidden", -1},
                                     {L"unused", 0},
                                     {L"one", 1},
                                     {L"many", 7},
                                     {L"odd", -2},
                                     {L"", 1}})
        L.Add(Key, Value);
    EXPECT_EQ(L.Add(L"one", 2), L.Find(L"one")); // a key is never added twice
    EXPECT_EQ(L.Find(L"one")->Value, 2);
    EXPECT_EQ(L.Find(L"ONE"), nullptr); // keys are case-sensitive
    using TKeys = std::vector<std::wstring>;
    EXPECT_EQ(Listed(L, false, false), (TKeys{L"", L"many", L"one"}));
    EXPECT_EQ(Listed(L, true, false), (TKeys{L"", L"hidden", L"many", L"one"}));
    EXPECT_EQ(Listed(L, false, true), (TKeys{L"", L"many", L"one", L"unused"}));
    EXPECT_EQ(Listed(L, true, true), (TKeys{L"", L"hidden", L"many", L"one", L"unused"}));

    L.Reset(); // counts are forgotten, hidden keys stay hidden
    EXPECT_EQ(Listed(L, true, false), TKeys{L"hidden"});
    EXPECT_EQ(L.Find(L"many")->Value, 0);
    L.Clear();
    EXPECT_EQ(L.Find(L"hidden"), nullptr);
    EXPECT_EQ(Listed(L, true, true), TKeys{});
}

} // namespace
