// todolist list and todolist filter: the collated list as the window shows it, and the filters.
#include "cli_common.h"
#include "commands.h"
#include "list_session.h"

#include "comments/trim_text.h"
#include "host/clipboard.h"
#include "host/utf8.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <iostream>

namespace {

/// Columns a terminal gives Text.
size_t DisplayWidth(const std::wstring& Text) {
    size_t Width = 0;
    for (wchar_t C : Text) {
        int W = ::wcwidth(C);
        Width += W > 0 ? static_cast<size_t>(W) : 0;
    }
    return Width;
}

/// The module as a user reads it best: relative to the current folder when it lies inside it.
std::string ShownModule(const std::string& Module) {
    if (Module.empty())
        return Module;
    std::error_code Ec;
    auto Cwd = std::filesystem::current_path(Ec);
    if (Ec)
        return Module;
    auto Rel = std::filesystem::path(Module).lexically_relative(Cwd);
    if (Rel.empty() || *Rel.begin() == "..")
        return Module;
    return Rel.string();
}

std::string Format(const char* Pattern, int A, int B = 0) {
    char Buf[128];
    std::snprintf(Buf, sizeof Buf, Pattern, A, B);
    return Buf;
}

/// The list as the window shows it: check mark, action item (one line), priority (blank for
/// none), module, owner and category, aligned, then the two status-bar lines.
void PrintTable(TToDoList& List) {
    using TRow = std::vector<std::wstring>;
    std::vector<TRow> Rows;
    Rows.push_back({L"", Utf8ToWide(ToDoStrings::_sActionItem), Utf8ToWide(ToDoStrings::_sPriority),
                    Utf8ToWide(ToDoStrings::_sModule), Utf8ToWide(ToDoStrings::_sOwner),
                    Utf8ToWide(ToDoStrings::_sCategory)});
    {
        std::scoped_lock Lock(List.ItemsLock());
        for (int I = 0; I < List.GetItemCount(); ++I) {
            auto Item = List.GetItem(I);
            int Priority = Item->GetPriority();
            Rows.push_back({Item->GetChecked() ? L"[x]" : L"[ ]",
                            TrimText(Utf8ToWide(Item->GetText())),
                            Priority ? std::to_wstring(Priority) : L"",
                            Utf8ToWide(ShownModule(Item->GetModuleName())),
                            TrimText(Utf8ToWide(Item->GetOwner())),
                            TrimText(Utf8ToWide(Item->GetCategory()))});
        }
    }
    std::vector<size_t> Widths(Rows[0].size(), 0);
    Widths[0] = DisplayWidth(L"[ ]"); // also when no item gives the check column its width
    for (const TRow& R : Rows)
        for (size_t C = 0; C < R.size(); ++C)
            Widths[C] = std::max(Widths[C], DisplayWidth(R[C]));
    for (const TRow& R : Rows) {
        std::wstring Line;
        for (size_t C = 0; C < R.size(); ++C) {
            if (C > 0)
                Line += L"  ";
            Line += R[C];
            if (C + 1 < R.size())
                Line.append(Widths[C] - DisplayWidth(R[C]), L' ');
        }
        while (!Line.empty() && Line.back() == L' ')
            Line.pop_back();
        std::cout << WideToUtf8(Line) << '\n';
    }
    std::cout << '\n'
              << Format(ToDoStrings::_sStatusBarItems, List.GetTotalCount(), List.GetHiddenCount())
              << '\n'
              << Format(ToDoStrings::_sStatusBarPending, List.GetPendingCount()) << '\n';
}

/// Sets the order the way the window's Sort menu does: choosing an order makes it current in
/// its remembered direction (ascending in a fresh list); choosing it again reverses it.
void ApplySort(TToDoList& List, TToDoSortOrder Order, bool Descending) {
    if (List.GetSortOrder() != Order)
        List.SetSortOrder(Order);
    if (List.SortAscending() == Descending)
        List.SetSortOrder(Order);
}

std::string KeyText(const std::wstring& Key, const char* Empty) {
    return Key.empty() ? Empty : WideToUtf8(Key);
}

} // namespace

int RunList(const TListOptions& Options) {
    TListSession Session;
    TToDoList& List = Session.List();
    bool Ok = Session.OpenFiles(Options.Paths);
    ApplySort(List, Options.Sort, Options.Descending);
    List.SetShowChecked(Options.ShowCompleted);
    Session.ParseAndWait();
    if (Options.Format == TListFormat::Tsv) {
        TStreamClipboard Out(std::cout);
        SetClipboard(&Out);
        List.CopyTextToClipboard();
        SetClipboard(nullptr);
    } else {
        PrintTable(List);
    }
    std::cout.flush();
    return Ok ? ecSuccess : ecFailed;
}

int RunFilter(const TFilterOptions& Options) {
    TListSession Session;
    TToDoList& List = Session.List();
    bool Ok = Session.OpenFiles(Options.Paths);
    Session.ParseAndWait(); // the keys the listed files carry
    struct TKind {
        TToDoFilterList& Filter;
        const std::vector<std::string>& Hide;
        const std::vector<std::string>& Show;
        int ShownValue; // what a shown key gets, as the filter dialog gives it
        const char* Title;
        const char* Empty;
    };
    TKind Kinds[] = {
        {List.CategoryFilter(), Options.HideCategories, Options.ShowCategories, 0, "Categories",
         "(no category)"},
        {List.OwnerFilter(), Options.HideOwners, Options.ShowOwners, 0, "Owners", "(no owner)"},
        {List.OriginFilter(), Options.HideOrigins, Options.ShowOrigins, 1, "Origins", "(none)"},
    };
    {
        std::scoped_lock Lock(List.ItemsLock());
        for (TKind& K : Kinds) {
            TFilterValueList Values;
            if (Options.ShowAll) {
                K.Filter.ListValues(Values, true, true);
                for (auto& [Key, Entry] : Values)
                    if (Entry->Value == -1)
                        Entry->Value = K.ShownValue;
            }
            for (const std::string& Key : K.Show) {
                TFilterEntry* E = K.Filter.Find(Utf8ToWide(Key));
                if (E && E->Value == -1)
                    E->Value = K.ShownValue;
                else
                    Warn("'" + Key + "' is not hidden");
            }
            for (const std::string& Key : K.Hide) {
                // Origins are a closed set here; other packages' kinds only come with the
                // desktop program, so an unknown origin is stored but most likely a typo.
                if (&K.Filter == &List.OriginFilter() && !K.Filter.Find(Utf8ToWide(Key)))
                    Warn("'" + Key + "' is not one of the origins \"" + ToDoStrings::_ikHasView +
                         "\", \"" + ToDoStrings::_ikInProject + "\", \"" +
                         ToDoStrings::_ikProjectItem + "\"; hidden all the same");
                K.Filter.Add(Utf8ToWide(Key), -1);
            }
        }
    }
    const bool Changes = Options.ShowAll || !Options.HideCategories.empty() ||
                         !Options.ShowCategories.empty() || !Options.HideOwners.empty() ||
                         !Options.ShowOwners.empty() || !Options.HideOrigins.empty() ||
                         !Options.ShowOrigins.empty();
    List.UpdateList();
    if (Changes) { // a mere --list writes nothing
        List.WriteFilters();
        if (!Session.SaveSettings())
            Ok = false;
    }
    if (Options.List) {
        std::scoped_lock Lock(List.ItemsLock());
        for (TKind& K : Kinds) {
            TFilterValueList Values;
            K.Filter.ListValues(Values, true, false);
            std::sort(Values.begin(), Values.end(),
                      [](const auto& A, const auto& B) { return A.first < B.first; });
            std::cout << K.Title << ":\n";
            for (const auto& [Key, Entry] : Values)
                std::cout << "  " << KeyText(Key, K.Empty)
                          << (Entry->Value == -1 ? "  (hidden)" : "") << '\n';
        }
    }
    return Ok ? ecSuccess : ecFailed;
}
