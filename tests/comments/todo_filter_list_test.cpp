#include "comments/todo_filter_list.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

using TKeys = std::set<std::wstring>;

// The keys ListValues reports (in the table's own order, which is not checked).
TKeys Listed(const TToDoFilterList& L, bool Hidden, bool Unused) {
    TFilterValueList Out{{L"stale", nullptr}};
    L.ListValues(Out, Hidden, Unused);
    TKeys Keys;
    for (const auto& [Key, Entry] : Out)
        Keys.insert(Entry && Entry->Key == Key ? Key : L"bad entry");
    return Keys;
}

TEST(ToDoFilterListTest, AddFindListResetAndClear) {
    TToDoFilterList L;
    const std::pair<const wchar_t*, int> Entries[] = {{L"hidden", -1}, {L"unused", 0}, {L"one", 1},
                                                      {L"many", 7},    {L"odd", -2},   {L"", 1}};
    for (auto [Key, Value] : Entries)
        L.Add(Key, Value);
    EXPECT_EQ(L.Add(L"one", 2), L.Find(L"one")); // a key is never added twice
    EXPECT_EQ(L.Find(L"one")->Value, 2);
    EXPECT_EQ(L.Find(L"ONE"), nullptr); // keys are case-sensitive
    EXPECT_EQ(Listed(L, false, false), (TKeys{L"", L"many", L"one"}));
    EXPECT_EQ(Listed(L, true, false), (TKeys{L"", L"hidden", L"many", L"one"}));
    EXPECT_EQ(Listed(L, false, true), (TKeys{L"", L"many", L"one", L"unused"}));
    L.Reset(); // counts are forgotten, hidden keys stay hidden
    EXPECT_EQ(Listed(L, true, true), (TKeys{L"", L"hidden", L"many", L"one", L"odd", L"unused"}));
    EXPECT_EQ(Listed(L, true, false), TKeys{L"hidden"});
    L.Clear();
    EXPECT_EQ(Listed(L, true, true), TKeys{});
}

} // namespace
