// todolist edit / delete: change one to-do comment in place, as the window's edit dialog and
// delete command would: the file is opened in the host's editor, the item's setters rewrite the
// comment in the buffer, and the buffer is saved safely (or not at all).
#include "cli_common.h"
#include "commands.h"
#include "list_session.h"

#include "host/comment_syntax.h"
#include "host/module.h"
#include "host/todo_intf.h"
#include "items/source_todo_item.h"
#include "items/source_todo_manager.h"

namespace {

/// The file of a location opened in an editor view, with its manager parsed.
class TOpenedFile {
public:
    ~TOpenedFile() {
        if (!FFile.empty()) {
            CloseEditorView(FFile);
            CloseModule(FFile);
        }
    }

    TStatus Open(const std::string& File) {
        if (!FileExists(File))
            return TStatus::Error("cannot read " + File + ": no such file");
        if (LanguageOfFile(File) == TLanguage::None)
            return TStatus::Error(NotASourceFile(File));
        if (auto S = CallDefaultOpenProc(File, true); !S)
            return S;
        FFile = File;
        FModule = FindDocModule(File);
        if (!FModule)
            return TStatus::Error("cannot open " + File);
        FManager = TSourceToDoManager::Create(File);
        FManager->Parse();
        return {};
    }

    /// The item a location names; an error when there is none or the location is ambiguous.
    TResult<TPlacedItem> Find(const TLocation& L) {
        std::vector<TPlacedItem> Matches;
        for (auto& P : PlacedItems(*FManager, *FModule->GetBuffer())) {
            bool Hit = L.Offset ? P.Item->GetComment().Start == *L.Offset
                                : P.Line == L.Line && (L.Column == 0 || P.Column == L.Column);
            if (Hit)
                Matches.push_back(std::move(P));
        }
        if (Matches.empty())
            return TStatus::Error("no to-do comment at " + L.Text);
        if (Matches.size() > 1)
            return TStatus::Error(L.Text + " holds " + std::to_string(Matches.size()) +
                                  " to-do comments; give the column as FILE:LINE:COL");
        return Matches.front();
    }

    TStatus Save() { return FModule->Save(); }

    /// The item starting at Offset after parsing the saved text again, for the confirmation.
    std::string Describe(const std::string& File, int Offset) {
        FManager->Parse();
        TLocation L;
        L.Offset = Offset;
        auto Found = Find(L);
        if (!Found)
            return {};
        const auto& P = Found.Value();
        return ItemLine(File, P.Line, P.Column, *P.Item);
    }

private:
    std::string FFile;
    std::shared_ptr<TModule> FModule;
    std::shared_ptr<TSourceToDoManager> FManager;
};

/// Opens the location's file and finds its item, or prints why not.
int OpenItem(const std::string& Where, TOpenedFile& File, TLocation& Location,
             std::shared_ptr<TSourceToDoItem>& Item) {
    auto Parsed = ParseLocation(Where);
    if (!Parsed)
        return Fail(ecUsage, Parsed.Status().Message());
    Location = Parsed.Value();
    if (auto S = File.Open(Location.File); !S)
        return Fail(ecFailed, S.Message());
    auto Found = File.Find(Location);
    if (!Found)
        return Fail(ecFailed, Found.Status().Message());
    Item = Found.Value().Item;
    if (!Item->CanEdit()) // open in a view and just parsed: only the updater can be missing
        return Fail(ecFailed, Item->GetManager()->NoUpdater().Message());
    return ecSuccess;
}

/// The edit dialog's order: from the end of the comment towards its start.
TStatus ApplyEdit(TSourceToDoItem& Item, const TEditOptions& O) {
    TStatus S;
    if (S.Ok() && O.Text)
        S = Item.SetText(*O.Text);
    if (S.Ok() && O.Category)
        S = Item.SetCategory(*O.Category);
    if (S.Ok() && O.Owner)
        S = Item.SetOwner(*O.Owner);
    if (S.Ok() && O.Priority)
        S = Item.SetPriority(static_cast<unsigned char>(*O.Priority));
    if (S.Ok() && O.Checked)
        S = Item.SetChecked(*O.Checked);
    return S;
}

/// edit and delete of row N of the list: the project's files parsed as `list` would, the row's
/// item changed through the service's managers, its file saved.
int RunOnRow(int Row, const TRowView& View, const std::function<TStatus(TSourceToDoItem&)>& Act,
             bool Describe) {
    TListSession Session;
    if (TStatus S = Session.OpenProject(); !S)
        return Fail(ecFailed, S.Message());
    auto Found = ItemOfRow(Session, Row, View);
    if (!Found)
        return Fail(ecFailed, Found.Status().Message());
    TSourceToDoItem& Item = *Found.Value();
    const int Offset = Item.GetComment().Start;
    if (TStatus S = Act(Item); !S) // the buffer is dropped unsaved: the file stays as it was
        return Fail(ecFailed, S.Message());
    if (TStatus S = SaveItemFile(Item); !S)
        return Fail(ecFailed, S.Message());
    if (Describe)
        if (auto Line = DescribeItemAt(Session, Item, Offset); !Line.empty())
            std::printf("%s\n", Line.c_str());
    return ecSuccess;
}

} // namespace

int RunEdit(const TEditOptions& O) {
    if (!O.Text && !O.Priority && !O.Owner && !O.Category && !O.Checked)
        return Fail(ecUsage,
                    "nothing to change: give --text, --priority, --owner, --category, --done or "
                    "--undone");
    if (TStatus S = O.Priority ? CheckPriority(*O.Priority) : TStatus(); !S)
        return Fail(ecUsage, S.Message());
    if (auto Row = RowNumber(O.Location))
        return RunOnRow(
            *Row, O.View, [&](TSourceToDoItem& Item) { return ApplyEdit(Item, O); }, true);

    TOpenedFile File;
    TLocation Location;
    std::shared_ptr<TSourceToDoItem> Item;
    if (int Rc = OpenItem(O.Location, File, Location, Item))
        return Rc;
    TStatus S = ApplyEdit(*Item, O);
    if (!S) // the buffer is dropped unsaved, so the file stays as it was
        return Fail(ecFailed, S.Message());
    if (auto Saved = File.Save(); !Saved)
        return Fail(ecFailed, Saved.Message());
    if (auto Line = File.Describe(Location.File, Item->GetComment().Start); !Line.empty())
        std::printf("%s\n", Line.c_str());
    return ecSuccess;
}

int RunDelete(const TDeleteOptions& O) {
    if (auto Row = RowNumber(O.Location))
        return RunOnRow(
            *Row, O.View, [](TSourceToDoItem& Item) { return Item.Delete(); }, false);
    TOpenedFile File;
    TLocation Location;
    std::shared_ptr<TSourceToDoItem> Item;
    if (int Rc = OpenItem(O.Location, File, Location, Item))
        return Rc;
    if (!Item->CanDelete())
        return Fail(ecFailed, "the to-do comment at " + Location.Text + " cannot be deleted");
    if (auto S = Item->Delete(); !S)
        return Fail(ecFailed, S.Message());
    if (auto Saved = File.Save(); !Saved)
        return Fail(ecFailed, Saved.Message());
    return ecSuccess;
}
