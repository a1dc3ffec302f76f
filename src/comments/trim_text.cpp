#include "comments/trim_text.h"

namespace {

std::wstring Trim(const std::wstring& S) {
    size_t First = 0;
    size_t Last = S.size();
    while (First < Last && S[First] <= L' ')
        ++First;
    while (Last > First && S[Last - 1] <= L' ')
        --Last;
    return S.substr(First, Last - First);
}

} // namespace

std::wstring TrimText(const std::wstring& S) {
    std::wstring Joined;
    Joined.reserve(S.size());
    for (size_t I = 0; I < S.size(); ++I) {
        if (S[I] == L'\r' && I + 1 < S.size() && S[I + 1] == L'\n') {
            Joined.push_back(L' ');
            ++I;
        } else if (S[I] == L'\n' || S[I] == L'\r') {
            // Files written on Unix (LF) and old Macs (CR) break lines too; a text must come out
            // on one line whatever the file's line endings.
            Joined.push_back(L' ');
        } else {
            Joined.push_back(S[I]);
        }
    }
    std::wstring NoTabs;
    NoTabs.reserve(Joined.size());
    for (wchar_t C : Trim(Joined))
        if (C != L'\t')
            NoTabs.push_back(C);
    return Trim(NoTabs);
}
