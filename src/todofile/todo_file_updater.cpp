#include "todofile/todo_file_updater.h"

#include "host/edit_buffer.h"
#include "todofile/todo_file_name.h"
#include "todofile/todo_file_scanner.h"

#include <utility>

namespace {

/// Calls Proc for every comment token of Text with its 0-based offset.
void ForEachComment(std::string_view Text, const TParseItemsProc& Proc) {
    TStringSourceReader Reader(Text);
    TToDoFileScanner Scanner;
    Scanner.StartScanner(Reader);
    while (Scanner.Token() != tfEnd) {
        if (Scanner.Token() == tfComment)
            Proc(Scanner.GetTokenIdent(), Scanner.GetTokenPos() - 1);
        Scanner.NextToken();
    }
    Scanner.StopScanner();
}

} // namespace

TToDoFileUpdater::TToDoFileUpdater(TRef<IModule> Module) : TCodeUpdater(std::move(Module)) {}

TStatus TToDoFileUpdater::DeleteText(int StartPos, int EndPos, int Section) {
    std::scoped_lock Lock(UpdateLock());
    DeleteBySection(Section, StartPos, EndPos);
    return CommitUpdates();
}

TStatus TToDoFileUpdater::UpdateText(int StartPos, int EndPos, std::string_view Text, int Section) {
    std::scoped_lock Lock(UpdateLock());
    DeleteBySection(Section, StartPos, EndPos);
    AddBySection(Section, StartPos, std::string(Text));
    return CommitUpdates();
}

TStatus TToDoFileUpdater::AddText(int Pos, std::string_view Text, int Section) {
    std::scoped_lock Lock(UpdateLock());
    AddBySection(Section, Pos, std::string(Text));
    return CommitUpdates();
}

TStatus TToDoFileUpdater::MakeComment(std::string& Text) {
    const std::string Raw = "{" + Text + "}\r\n";
    std::string Result;
    Result.reserve(Raw.size() + 8);
    for (size_t I = 0; I < Raw.size(); ++I) {
        if (Raw[I] == '\r' || Raw[I] == '\n') {
            Result += "\r\n";
            if (Raw[I] == '\r' && I + 1 < Raw.size() && Raw[I + 1] == '\n')
                ++I;
        } else {
            Result += Raw[I];
        }
    }
    Text = std::move(Result);
    return {};
}

void TToDoFileUpdater::ParseItems(const TParseItemsProc& Proc) {
    auto Source = GetModule() ? GetModule()->GetSource() : nullptr;
    if (!Source)
        return;
    ForEachComment(Source->GetText(), Proc);
}

bool TToDoFileUpdater::HoldsText(int Pos, std::string_view Text) {
    auto Source = GetModule() ? GetModule()->GetSource() : nullptr;
    return Source && Source->HoldsText(Pos, Text);
}

bool TToDoFileUpdater::IsOneComment(std::string_view Text) {
    int Count = 0;
    bool Whole = false;
    ForEachComment(Text, [&](std::string_view Comment, int Pos) {
        ++Count;
        Whole = Pos == 0 && Comment.size() == Text.size();
    });
    return Count == 1 && Whole;
}

std::string TToDoFileUpdater::GetModuleName() {
    const std::string Name = GetModule() ? GetModule()->GetFileName() : std::string();
    const size_t Slash = Name.find_last_of('/');
    return Slash == std::string::npos ? Name : Name.substr(Slash + 1);
}

TRef<IInterface> TToDoFileUpdater::QueryInterface(const std::type_info& Type) {
    return OfferInterfaces<IToDoUpdater, IModuleUpdater, IInterfaceProvider>(shared_from_this(),
                                                                             Type);
}

TRef<IModuleUpdater> TToDoCreateUpdaters::CreateModuleUpdater(const TRef<IModule>& Module) {
    return std::make_shared<TToDoFileUpdater>(Module);
}

bool TToDoCreateUpdaters::CanHandleFile(const std::string& FileName) {
    return IsToDoFileName(FileName);
}
