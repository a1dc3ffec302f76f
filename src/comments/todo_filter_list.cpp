#include "comments/todo_filter_list.h"

#include <cstdint>

TToDoFilterList::~TToDoFilterList() {
    Clear();
}

int TToDoFilterList::BucketOf(std::wstring_view Key) {
    uint32_t H = 2166136261u;
    for (wchar_t C : Key) {
        H ^= static_cast<uint32_t>(C);
        H *= 16777619u;
    }
    // The low byte of a multiplicative hash sees only the low bytes of the code units; the
    // fold brings the high bits in.
    H ^= (H >> 16);
    H ^= (H >> 8);
    return static_cast<int>(H & 0xFF);
}

TFilterEntry* TToDoFilterList::Find(std::wstring_view Key) const {
    for (TFilterEntry* E = FBuckets[static_cast<size_t>(BucketOf(Key))]; E; E = E->Next)
        if (E->Key == Key)
            return E;
    return nullptr;
}

TFilterEntry* TToDoFilterList::Add(std::wstring_view Key, int Value) {
    TFilterEntry** Link = &FBuckets[static_cast<size_t>(BucketOf(Key))];
    for (; *Link; Link = &(*Link)->Next) {
        if ((*Link)->Key == Key) {
            (*Link)->Value = Value;
            return *Link;
        }
    }
    *Link = new TFilterEntry{std::wstring(Key), Value, nullptr};
    return *Link;
}

void TToDoFilterList::Clear() {
    for (TFilterEntry*& Head : FBuckets) {
        while (Head) {
            TFilterEntry* Next = Head->Next;
            delete Head;
            Head = Next;
        }
    }
}

void TToDoFilterList::Reset() {
    for (TFilterEntry* Head : FBuckets)
        for (TFilterEntry* E = Head; E; E = E->Next)
            if (E->Value != -1)
                E->Value = 0;
}

void TToDoFilterList::ListValues(TFilterValueList& Strings, bool IncludeHidden,
                                 bool IncludeUnused) const {
    Strings.clear();
    for (TFilterEntry* Head : FBuckets)
        for (TFilterEntry* E = Head; E; E = E->Next)
            if (E->Value >= 1 || (IncludeHidden && E->Value == -1) ||
                (IncludeUnused && E->Value == 0))
                Strings.emplace_back(E->Key, E);
}
