#include "list/filter_keys.h"

#include "host/utf8.h"

std::string JoinFilterKeys(const std::vector<std::wstring>& Keys) {
    if (Keys.size() == 1 && Keys[0].empty())
        return "\\e";
    std::string Result;
    for (size_t I = 0; I < Keys.size(); ++I) {
        if (I > 0)
            Result += ',';
        for (char C : WideToUtf8(Keys[I])) {
            if (C == ',' || C == '\\')
                Result += '\\';
            Result += C;
        }
    }
    return Result;
}

std::vector<std::wstring> SplitFilterKeys(std::string_view Stored) {
    std::vector<std::wstring> Keys;
    if (Stored.empty())
        return Keys;
    std::string Key;
    for (size_t I = 0; I < Stored.size(); ++I) {
        char C = Stored[I];
        if (C == '\\' && I + 1 < Stored.size()) {
            char Next = Stored[++I];
            if (Next != 'e')
                Key += Next;
        } else if (C == ',') {
            Keys.push_back(Utf8ToWide(Key));
            Key.clear();
        } else {
            Key += C;
        }
    }
    Keys.push_back(Utf8ToWide(Key));
    return Keys;
}
