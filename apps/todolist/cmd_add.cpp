// todolist add: a new project item in the project's to-do file (made on first use), or, with
// --at, a new to-do comment in a source file where the editor's cursor would be.
#include "cli_common.h"
#include "commands.h"
#include "list_session.h"

#include "host/module.h"
#include "host/todo_intf.h"
#include "host/utf8.h"
#include "items/source_todo_item.h"
#include "items/source_todo_manager.h"

#include <cstdio>

namespace {

/// Prints the item that starts at Offset of File (the file's last item without Offset) after
/// parsing the file's manager again: here without a session, else on the session's parse
/// thread, which parses the service's managers; parsing one of them here as well would race with
/// that pass (its items are rebuilt while they are read).
void Confirm(TSourceToDoManager& Manager, const std::string& File, std::optional<int> Offset,
             TListSession* Session = nullptr) {
    auto Module = FindDocModule(File);
    if (!Module)
        return;
    if (Session)
        Session->ParseAndWait();
    else
        Manager.Parse();
    auto Placed = PlacedItems(Manager, *Module->GetBuffer());
    for (auto& P : Placed)
        if (Offset ? P.Item->GetComment().Start == *Offset : &P == &Placed.back()) {
            std::printf("%s\n", ItemLine(ShownFileName(File), P.Line, P.Column, *P.Item).c_str());
            return;
        }
}

/// Inserts Body as a new comment into the source file of Where.
int AddAt(const std::string& Where, std::string Body) {
    auto Parsed = ParseLocation(Where);
    if (!Parsed)
        return Fail(ecUsage, Parsed.Status().Message());
    const TLocation& L = Parsed.Value();
    const std::string File = NormalizeFileName(L.File);
    if (!FileExists(File))
        return Fail(ecFailed, "cannot read " + L.File + ": no such file");
    if (TStatus S = CallDefaultOpenProc(File, true); !S)
        return Fail(ecFailed, S.Message());
    auto Module = FindDocModule(File);
    auto Updater = Module ? Module->QueryToDoUpdater() : nullptr;
    if (!Updater)
        return Fail(ecFailed, NotASourceFile(L.File));
    const std::string Text = Module->GetBuffer()->GetText();
    int Offset = 0;
    if (L.Offset) {
        if (*L.Offset > static_cast<int>(Text.size()))
            return Fail(ecFailed, L.Text + " lies past the end of the file");
        Offset = *L.Offset;
    } else {
        auto At = OffsetOfLine(Text, L.Line, L.Column);
        if (!At)
            return Fail(ecFailed, L.Text + ": " + At.Status().Message());
        Offset = At.Value();
    }
    if (TStatus S = Updater->MakeComment(Body); !S)
        return Fail(ecFailed, S.Message());
    if (TStatus S = Updater->AddText(Offset, Body, 1); !S)
        return Fail(ecFailed, S.Message());
    if (TStatus S = Module->Save(); !S)
        return Fail(ecFailed, S.Message());
    auto Manager = TSourceToDoManager::Create(File);
    Confirm(*Manager, File, Offset);
    return ecSuccess;
}

} // namespace

int RunAdd(const TAddOptions& O) {
    if (TStatus S = O.Priority ? CheckPriority(*O.Priority) : TStatus(); !S)
        return Fail(ecUsage, S.Message());
    const std::wstring Text = Utf8ToWide(O.Text), Owner = Utf8ToWide(O.Owner),
                       Category = Utf8ToWide(O.Category);
    if (TStatus S = CheckItemFields(Text, Owner, Category); !S)
        return Fail(ecUsage, S.Message());
    const std::string Body = WideToUtf8(FormatItem(
        Text, Owner, Category, static_cast<unsigned char>(O.Priority.value_or(0)), false));
    if (O.At)
        return AddAt(*O.At, Body);

    TListSession Session;
    if (TStatus S = Session.OpenProject(); !S)
        return Fail(ecFailed, S.Message());
    if (!Session.Project())
        return Fail(ecUsage, "no project to add to (--no-project); give --at FILE:LINE to add "
                             "a comment to a source file");
    if (Body.find('}') != std::string::npos)
        Warn("the text holds '}': the project's to-do file ends the entry there, so it will be "
             "cut when it is read back");
    TToDoList& List = Session.List();
    if (TStatus S = List.AddItem(Body); !S)
        return Fail(ecFailed, S.Message());
    auto Manager = std::dynamic_pointer_cast<TSourceToDoManager>(List.GetProjectManager());
    if (!Manager)
        return Fail(ecFailed, "cannot open the project's to-do file");
    const std::string File = Manager->GetFileName();
    auto Module = FindDocModule(File);
    if (!Module)
        return Fail(ecFailed, "cannot open " + File);
    if (TStatus S = Module->Save(); !S)
        return Fail(ecFailed, S.Message());
    Confirm(*Manager, File, std::nullopt, &Session); // the entry went last
    return ecSuccess;
}
