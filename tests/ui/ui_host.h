#pragma once

// The smallest host the window and the dialogs run in: a parse thread, the package's core units
// started in their order, the to-do list service, a project over files in a temporary folder,
// and the settings store in another temporary folder. The caller's window registers itself with
// the service as it would in the desktop program.

#include "tests/host/temp_dir.h"

#include "comments/cfile_handler.h"
#include "host/c_language.h"
#include "host/events.h"
#include "host/file_project.h"
#include "host/ini_file.h"
#include "host/module.h"
#include "host/parse_thread.h"
#include "host/project.h"
#include "host/source_creators.h"
#include "items/todo_mgr.h"
#include "list/todo_list.h"
#include "list/todo_units.h"
#include "ui/shell/qt_clipboard.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

class TUiHost {
public:
    TTempDir Dir;         ///< the project's files
    TTempDir SettingsDir; ///< settings, caches, the preview file
    TParseThread Thread;
    TQtClipboard QtClipboard;

    /// With CreateService false the service is left to the caller (the package's commands make
    /// it when the main window exists); the units are started either way.
    explicit TUiHost(bool CreateService = true) {
        ::setenv("XDG_CONFIG_HOME", SettingsDir.File("config").c_str(), 1);
        ::setenv("XDG_CACHE_HOME", SettingsDir.File("cache").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", SettingsDir.File("run").c_str(), 1);
        SetAppIniFileName(SettingsDir.File("todolist.ini"));
        SetClipboard(&QtClipboard);
        SetParseThread(&Thread);
        StartUnits(ToDoUnits());
        InitializeCLanguage(); // the host's C unit registers with the started IDEToDoUtils
        RegisterSourceManagerCreators();
        if (CreateService)
            CreateToDoList();
    }

    ~TUiHost() {
        MainProjectGroup().SetActiveProject(nullptr);
        for (const std::string& F : Dir.Entries()) {
            CloseEditorView(Dir.File(F));
            CloseModule(Dir.File(F));
        }
        if (ToDoList)
            ToDoList->SetDisplayForm(nullptr);
        FreeToDoList();
        FinalizeCLanguage();
        StopUnits(ToDoUnits());
        SetParseThread(nullptr);
        Thread.Stop();
        SetClipboard(nullptr);
        SetAppIniFileName("");
    }

    TUiHost(const TUiHost&) = delete;
    TUiHost& operator=(const TUiHost&) = delete;

    TToDoList& List() { return *ToDoList; }

    /// Writes the files (name, content) into Dir and opens a project "<Name>.dpr" over them as
    /// the active project. Files named "*.todo" are written but not made units.
    std::shared_ptr<TProject>
    OpenProject(const std::string& Name,
                std::initializer_list<std::pair<const char*, std::string>> Files) {
        std::vector<std::string> Units;
        for (const auto& [File, Text] : Files) {
            Dir.Write(File, Text);
            if (!std::string_view(File).ends_with(".todo"))
                Units.push_back(Dir.File(File));
        }
        auto Project = TProject::Create(Dir.File(Name + ".dpr"), Units);
        MainProjectGroup().SetActiveProject(Project);
        return Project;
    }

    /// Runs the Qt event loop until Done() holds or Timeout passes; the result is Done().
    static bool WaitFor(const std::function<bool()>& Done,
                        std::chrono::milliseconds Timeout = std::chrono::seconds(20)) {
        QElapsedTimer Timer;
        Timer.start();
        while (!Done()) {
            if (Timer.elapsed() > Timeout.count())
                return Done();
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            QThread::msleep(2);
        }
        return true;
    }

    /// Asks for a parse pass and waits until it ran and its messages were delivered.
    void ParseAndSettle() {
        Thread.Modified();
        Thread.WaitIdle(std::chrono::seconds(20));
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents();
    }
};

/// Runs Fn on a thread of its own while this thread serves Qt events (so that a window on this
/// thread can answer it), and returns Fn's result. Fn must make no Qt call: Qt's own locks are
/// invisible to ThreadSanitizer. Gives up serving after a minute, then still waits for Fn.
template <class TFn> auto FromClient(TFn Fn) {
    std::optional<decltype(Fn())> Result;
    std::atomic<bool> Done{false};
    std::thread Client([&] {
        Result.emplace(Fn());
        Done = true;
    });
    TUiHost::WaitFor([&] { return Done.load(); }, std::chrono::minutes(1));
    Client.join();
    return std::move(*Result);
}
