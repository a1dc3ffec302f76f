#include "list_session.h"

#include "cli_common.h"
#include "host/ini_file.h"
#include "host/module.h"
#include "host/source_creators.h"
#include "items/todo_mgr.h"

#include <chrono>

TListSession::TListSession() {
    // The host's order: its parse thread exists before the package starts, the package's units
    // start, then the host registers its creators and the service is made.
    SetParseThread(&FThread);
    InitializeToDoMgr();
    InitializeToDoList();
    RegisterSourceManagerCreators();
    CreateToDoList();
    FDisplay.Handle = RegisterWindow(&FWindow);
    ToDoList->SetDisplayForm(&FDisplay);
}

TListSession::~TListSession() {
    if (ToDoList)
        ToDoList->SetDisplayForm(nullptr);
    UnregisterWindow(FDisplay.Handle);
    FreeToDoList(); // writes the filters into the settings store
    FinalizeToDoList();
    FinalizeToDoMgr();
    SetParseThread(nullptr);
    FThread.Stop();
    // Nothing is saved here: the commands that change a setting save it themselves and report
    // a failure, and the filters the service writes back on its way out are the ones it read.
}

bool TListSession::OpenFiles(const std::vector<std::string>& Paths) {
    auto Handled = [](const std::string& Name) {
        for (TToDoManagerCreator* Creator : ToDoManagerCreators())
            if (Creator->CanHandleFile(Name))
                return true;
        return false;
    };
    bool Ok = true;
    auto Open = [&](const std::string& File, bool) {
        const std::string Name = NormalizeFileName(File);
        if (ToDoList->FindManager(Name))
            return;
        if (!Handled(Name)) {
            Warn(NotASourceFile(File));
            Ok = false;
        } else if (TStatus S = CallDefaultOpenProc(Name, false); !S) {
            Warn(S.Message());
            Ok = false;
        } else {
            ToDoList->CreateManager(Name, false);
        }
    };
    if (!CollectFiles(Paths, Open))
        Ok = false;
    return Ok;
}

void TListSession::ParseAndWait() {
    FThread.Modified();
    // Generous: the wait only ends early when a pass is done; it never cuts a parse short.
    FThread.WaitIdle(std::chrono::hours(24));
    FWindow.TakeMessages();
}

bool TListSession::SaveSettings() {
    if (TStatus S = AppIniFile().UpdateFile(); !S) {
        Fail(ecFailed, S.Message());
        return false;
    }
    return true;
}
