#include "items/project_todo_manager.h"

#include "host/canvas.h"
#include "host/module.h"
#include "todofile/todo_file_name.h"
#include "todofile/todo_module.h"

// ---------------------------------------------------------------------------------------------
// TProjectToDoItem

TStatus TProjectToDoItem::Delete() {
    // Entries are written one per line; one that goes takes its line along.
    return DeleteComment(/*ClearParsedFirst=*/false, /*WholeLine=*/true);
}

void TProjectToDoItem::DrawImage(TCanvas& Canvas, const TRect& Rect) {
    Canvas.DrawImage(iiProjectToDoFile, Rect.Left, Rect.Top, true);
}

void TProjectToDoItem::DoubleClicked() {
    if (CanEdit())
        (void)Edit();
}

// ---------------------------------------------------------------------------------------------
// TProjectToDoManager

TProjectToDoManager::TProjectToDoManager(std::string FileName, std::string SourceFileName)
    : TSourceToDoManager(std::move(FileName), std::move(SourceFileName)) {}

std::shared_ptr<TProjectToDoManager> TProjectToDoManager::Create(std::string FileName,
                                                                 std::string SourceFileName) {
    auto Manager =
        std::make_shared<TProjectToDoManager>(std::move(FileName), std::move(SourceFileName));
    Manager->CreateUpdater();
    return Manager;
}

std::shared_ptr<TSourceToDoItem> TProjectToDoManager::CreateItem(std::string S, int Pos,
                                                                 const TToDoCommentFields& Fields) {
    return std::make_shared<TProjectToDoItem>(
        std::static_pointer_cast<TSourceToDoManager>(shared_from_this()), std::move(S), Pos,
        Fields);
}

void TProjectToDoManager::CreateUpdater() {
    std::string ToDoFileName;
    TRef<IToDoUpdater> Updater = OpenProjectToDoUpdater(ToDoFileName);
    if (ToDoFileName.empty())
        return;
    const std::string Old = GetFileName();
    if (Old != ToDoFileName)
        Rename(Old, ToDoFileName);
    if (Updater)
        SetUpdater(std::move(Updater));
}

void TProjectToDoManager::ProjectChanged() {
    if (SetProjectManagerProc)
        SetProjectManagerProc(nullptr);
    auto Self = weak_from_this().lock();
    if (Self && DeleteToDoManagerProc)
        DeleteToDoManagerProc(Self);
}

TStatus TProjectToDoManager::AddItem(int Pos, const std::string& Text) {
    TRef<IToDoUpdater> Updater = GetUpdater();
    if (!Updater) {
        CreateUpdater();
        Updater = GetUpdater();
    }
    if (!Updater)
        return {};
    std::string Entry = Text;
    if (TStatus S = Updater->MakeComment(Entry); !S)
        return S;
    int At = Pos - 1;
    if (At < 0) {
        // A new entry goes last, on a line of its own.
        auto Module = FindDocModule(GetFileName());
        auto Buffer = Module ? Module->GetBuffer() : nullptr;
        if (!Buffer)
            return TStatus::Error("cannot add to " + GetFileName() + ": the file is not loaded");
        std::string Current = Buffer->GetText();
        At = static_cast<int>(Current.size());
        if (!Current.empty() && Current.back() != '\n' && Current.back() != '\r')
            Entry.insert(0, "\r\n");
    }
    if (TStatus S = Updater->AddText(At, Entry, 1); !S)
        return S;
    SetIsParsed(false);
    return {};
}

// ---------------------------------------------------------------------------------------------
// TProjectManagerCreator

TRef<IToDoManager> CreateProjectToDoManager(const std::string& FileName) {
    auto Manager = TProjectToDoManager::Create(FileName);
    if (SetProjectManagerProc)
        SetProjectManagerProc(Manager);
    return Manager;
}

TRef<IToDoManager> TProjectManagerCreator::CreateManager(const std::string& FileName) {
    return CreateProjectToDoManager(FileName);
}

bool TProjectManagerCreator::CanHandleFile(const std::string& FileName) {
    return IsToDoFileName(FileName);
}
