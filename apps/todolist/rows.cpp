#include "rows.h"

#include "cli_common.h"
#include "list_session.h"

#include "host/file_io.h"
#include "host/ini_file.h"
#include "host/module.h"
#include "items/source_todo_item.h"
#include "items/source_todo_manager.h"
#include "list/todo_list.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

constexpr const char* RowsHeader = "todolist rows 1";

/// The record lives beside the settings, so that --config and the tests' settings folders
/// keep it apart from the user's.
std::string RowsFileName() {
    const std::string& Settings = AppIniFile().FileName();
    if (Settings.empty())
        return {};
    return (std::filesystem::path(Settings).parent_path() / "last-list").string();
}

std::string Escape(std::string_view S) {
    std::string Out;
    for (char C : S) {
        switch (C) {
        case '\\':
            Out += "\\\\";
            break;
        case '\t':
            Out += "\\t";
            break;
        case '\n':
            Out += "\\n";
            break;
        case '\r':
            Out += "\\r";
            break;
        default:
            Out += C;
        }
    }
    return Out;
}

std::string Unescape(std::string_view S) {
    std::string Out;
    for (size_t I = 0; I < S.size(); ++I) {
        if (S[I] != '\\' || I + 1 == S.size()) {
            Out += S[I];
            continue;
        }
        char C = S[++I];
        Out += C == 't' ? '\t' : C == 'n' ? '\n' : C == 'r' ? '\r' : C;
    }
    return Out;
}

struct TRecordedRow {
    std::string File;
    std::string Comment;
};

/// Row N of the record, when there is a record holding it.
std::optional<TRecordedRow> RecordedRow(int N) {
    std::string Name = RowsFileName();
    if (Name.empty())
        return std::nullopt;
    std::ifstream In(Name, std::ios::binary);
    std::string Line;
    if (!std::getline(In, Line) || Line != RowsHeader)
        return std::nullopt;
    while (std::getline(In, Line)) {
        std::vector<std::string_view> Fields;
        std::string_view Rest = Line;
        for (size_t Tab; (Tab = Rest.find('\t')) != std::string_view::npos;) {
            Fields.push_back(Rest.substr(0, Tab));
            Rest.remove_prefix(Tab + 1);
        }
        Fields.push_back(Rest);
        int Row = 0;
        if (Fields.size() != 3 ||
            std::from_chars(Fields[0].data(), Fields[0].data() + Fields[0].size(), Row).ec !=
                std::errc() ||
            Row != N)
            continue;
        return TRecordedRow{Unescape(Fields[1]), Unescape(Fields[2])};
    }
    return std::nullopt;
}

} // namespace

void ApplyRowView(TToDoList& List, const TRowView& View) {
    if (List.GetSortOrder() != View.Sort)
        List.SetSortOrder(View.Sort);
    if (List.SortAscending() == View.Descending)
        List.SetSortOrder(View.Sort);
    List.SetShowChecked(View.ShowCompleted);
}

std::string ItemFile(TSourceToDoItem& Item) {
    auto Manager = Item.GetManager();
    return Manager ? Manager->GetFileName() : std::string();
}

void RecordRows(TToDoList& List) {
    std::string Name = RowsFileName();
    if (Name.empty())
        return;
    std::string Text = std::string(RowsHeader) + "\n";
    {
        std::scoped_lock Lock(List.ItemsLock());
        for (int I = 0; I < List.GetItemCount(); ++I) {
            auto Item = std::dynamic_pointer_cast<TSourceToDoItem>(List.GetItem(I));
            if (!Item)
                continue;
            Text += std::to_string(I + 1) + "\t" + Escape(ItemFile(*Item)) + "\t" +
                    Escape(Item->GetComment().Text) + "\n";
        }
    }
    // The record only guards '#N' against a list that changed; a listing neither fails nor
    // nags when it cannot be kept (a read-only settings folder), '#N' then names the rows as
    // they are when it runs.
    std::error_code Ec;
    std::filesystem::create_directories(std::filesystem::path(Name).parent_path(), Ec);
    (void)WriteFileAtomically(Name, Text, {});
}

std::optional<int> RowNumber(const std::string& Text) {
    if (Text.size() < 2 || Text[0] != '#')
        return std::nullopt;
    int N = 0;
    auto [End, Ec] = std::from_chars(Text.data() + 1, Text.data() + Text.size(), N);
    if (Ec != std::errc() || End != Text.data() + Text.size() || N < 1)
        return std::nullopt;
    return N;
}

TResult<std::shared_ptr<TSourceToDoItem>> ItemOfRow(TListSession& Session, int N,
                                                    const TRowView& View) {
    TToDoList& List = Session.List();
    ApplyRowView(List, View);
    Session.ParseAndWait();
    TRef<INTAToDoItem> Listed;
    int Count = 0;
    {
        std::scoped_lock Lock(List.ItemsLock());
        Count = List.GetItemCount();
        if (N <= Count)
            Listed = List.GetItem(N - 1);
    }
    if (!Listed)
        return TStatus::Error("there is no row " + std::to_string(N) + ": the list has " +
                              std::to_string(Count) + (Count == 1 ? " row" : " rows"));
    auto Item = std::dynamic_pointer_cast<TSourceToDoItem>(Listed);
    if (!Item)
        return TStatus::Error("row " + std::to_string(N) +
                              " is an item of another package; it cannot be changed here");
    const std::string File = ItemFile(*Item);
    if (auto Shown = RecordedRow(N);
        Shown && (Shown->File != File || Shown->Comment != Item->GetComment().Text))
        return TStatus::Error("row " + std::to_string(N) +
                              " is not the to-do comment 'todolist list' showed there (the "
                              "files changed since); run 'todolist list' again");
    // A source item can be changed only while its file is open in an editor.
    if (Item->GetKind() == SourceItemKind && !FindEditBuffer(File))
        if (TStatus S = CallDefaultOpenProc(File, false); !S)
            return S;
    if (!Item->CanEdit())
        return TStatus::Error("the to-do comment of row " + std::to_string(N) + " in " +
                              ShownFileName(File) + " cannot be changed (its file has no updater)");
    return Item;
}

TStatus SaveItemFile(TSourceToDoItem& Item) {
    const std::string File = ItemFile(Item);
    auto Module = FindDocModule(File);
    if (!Module)
        return TStatus::Error("cannot save " + File + ": it is not loaded");
    return Module->Save();
}

std::string DescribeItemAt(TListSession& Session, TSourceToDoItem& Item, int Offset) {
    auto Manager = Item.GetManager();
    auto Module = Manager ? FindDocModule(ItemFile(Item)) : nullptr;
    if (!Module)
        return {};
    // The manager is the service's: its parse thread parses it after the change. Parsing it here
    // as well would race with that pass (the items are rebuilt while they are read); wait for it.
    Session.ParseAndWait();
    for (auto& P : PlacedItems(*Manager, *Module->GetBuffer()))
        if (P.Item->GetComment().Start == Offset)
            return ItemLine(ShownFileName(Module->GetFileName()), P.Line, P.Column, *P.Item);
    return {};
}
