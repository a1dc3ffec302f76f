#pragma once

#include <array>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

/// One key of a filter list and its value: -1 hidden, 0 known but carried by no current item,
/// 1 or more the number of current items that carry it.
struct TFilterEntry {
    std::wstring Key;
    int Value = 0;
    TFilterEntry* Next = nullptr; ///< next entry of the same bucket; owned by the list
};

/// The keys and entries ListValues reports, in bucket order. The entry pointers stay valid
/// until the list is cleared or destroyed.
using TFilterValueList = std::vector<std::pair<std::wstring, TFilterEntry*>>;

/// A hash table from a category, owner or origin to its filter value. It has exactly 256
/// buckets, each a singly linked chain; a new key is appended at the tail of its chain, so a
/// chain lists its keys in the order they were added. The bucket of a key is the 32-bit FNV-1a
/// hash of its code units, folded to 8 bits by xor. The enumeration order (bucket 0 to 255,
/// each chain from its head) is the order in which hidden keys are stored in the settings.
///
/// Not thread-safe: the to-do list service guards its filter lists with its own lock.
class TToDoFilterList {
public:
    static constexpr int BucketCount = 256;

    TToDoFilterList() = default;
    TToDoFilterList(const TToDoFilterList&) = delete;
    TToDoFilterList& operator=(const TToDoFilterList&) = delete;
    ~TToDoFilterList();

    /// The entry of Key (compared exactly, case-sensitive), or null.
    TFilterEntry* Find(std::wstring_view Key) const;

    /// Adds Key with Value and returns its entry. A key that is already present is not added
    /// twice: its entry gets Value and is returned.
    TFilterEntry* Add(std::wstring_view Key, int Value);

    /// Removes every entry.
    void Clear();

    /// Sets every value other than -1 to 0: counts are forgotten, hidden keys stay hidden.
    void Reset();

    /// Clears Strings, then adds each key with its entry, walking the buckets from 0 to 255
    /// and each chain from its head: keys with value 1 or more always, with value -1 when
    /// IncludeHidden, with value 0 when IncludeUnused.
    void ListValues(TFilterValueList& Strings, bool IncludeHidden, bool IncludeUnused) const;

    /// Bucket index of Key (0 to 255).
    static int BucketOf(std::wstring_view Key);

private:
    std::array<TFilterEntry*, BucketCount> FBuckets{};
};
