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
#include <sstream>

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

std::string Format(const char* Pattern, int A, int B = 0) {
    char Buf[128];
    std::snprintf(Buf, sizeof Buf, Pattern, A, B);
    return Buf;
}

/// The list as the window shows it: check mark, action item (one line), priority (blank for
/// none), module, owner and category, aligned, then the two status-bar lines.
std::string TableText(TToDoList& List) {
    std::ostringstream Out;
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
                            Utf8ToWide(ShownFileName(Item->GetModuleName())),
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
        Out << WideToUtf8(Line) << '\n';
    }
    Out << '\n'
        << Format(ToDoStrings::_sStatusBarItems, List.GetTotalCount(), List.GetHiddenCount())
        << '\n'
        << Format(ToDoStrings::_sStatusBarPending, List.GetPendingCount()) << '\n';
    return Out.str();
}

std::string KeyText(const std::wstring& Key, const char* Empty) {
    return Key.empty() ? Empty : WideToUtf8(Key);
}

} // namespace

std::string ListText(TToDoList& List, TListFormat Format) {
    if (Format == TListFormat::Table)
        return TableText(List);
    std::ostringstream Out;
    TStreamClipboard Clipboard(Out);
    SetClipboard(&Clipboard);
    if (Format == TListFormat::Html)
        List.CopyTableToClipboard();
    else
        List.CopyTextToClipboard();
    SetClipboard(nullptr);
    return Out.str();
}

int RunList(const TListOptions& Options) {
    TListSession Session;
    TToDoList& List = Session.List();
    if (TStatus S = Session.OpenProject(); !S)
        return Fail(ecFailed, S.Message());
    if (Options.Format == TListFormat::Html && !Session.Project())
        return Fail(ecUsage, "the HTML table needs a project (its caption is the project's "
                             "file name): drop --no-project");
    bool Ok = Session.OpenFiles(Options.Paths);
    ApplyRowView(List, Options.View);
    Session.ParseAndWait();
    std::cout << ListText(List, Options.Format);
    std::cout.flush();
    RecordRows(List);
    return Ok ? ecSuccess : ecFailed;
}

int RunFilter(const TFilterOptions& Options) {
    TListSession Session;
    TToDoList& List = Session.List();
    if (TStatus S = Session.OpenProject(); !S)
        return Fail(ecFailed, S.Message());
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
