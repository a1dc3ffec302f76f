#include "host_startup.h"

#include "main_window.h"

#include "host/c_language.h"
#include "host/comment_syntax.h"
#include "host/events.h"
#include "host/ini_file.h"
#include "host/module.h"
#include "host/packages.h"
#include "host/parse_thread.h"
#include "host/project_loader.h"
#include "host/source_creators.h"
#include "ui/shell/ide_services.h"
#include "ui/shell/qt_clipboard.h"

#include "automation.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

constexpr const char* HostSection = "Desktop Host";

} // namespace

TResult<TStartupOptions> ParseCommandLine(const std::vector<std::string>& Args) {
    TStartupOptions Options;
    bool OptionsDone = false;
    bool HaveProject = false;
    for (size_t I = 0; I < Args.size(); ++I) {
        const std::string& Arg = Args[I];
        if (OptionsDone || Arg.empty() || Arg[0] != '-' || Arg == "-") {
            if (HaveProject)
                return TStatus::Error("more than one project given: " + Options.Project + " and " +
                                      Arg);
            Options.Project = Arg;
            HaveProject = true;
            continue;
        }
        if (Arg == "--") {
            OptionsDone = true;
            continue;
        }
        std::string Name = Arg;
        std::optional<std::string> Inline;
        if (const size_t Eq = Arg.find('='); Eq != std::string::npos && Arg.starts_with("--")) {
            Name = Arg.substr(0, Eq);
            Inline = Arg.substr(Eq + 1);
        }
        auto Value = [&](std::string& Out) -> TStatus {
            if (Inline) {
                Out = *Inline;
            } else {
                if (I + 1 >= Args.size())
                    return TStatus::Error("option " + Name + " needs a value");
                Out = Args[++I];
            }
            if (Out.empty())
                return TStatus::Error("option " + Name + " needs a value");
            return {};
        };
        auto NoValue = [&]() -> TStatus {
            return Inline ? TStatus::Error("option " + Name + " takes no value") : TStatus();
        };
        TStatus S;
        if (Name == "--package") {
            std::string File;
            S = Value(File);
            Options.Packages.push_back(File);
        } else if (Name == "--no-default-packages") {
            S = NoValue();
            Options.NoDefaultPackages = true;
        } else if (Name == "--settings") {
            S = Value(Options.SettingsFile);
        } else if (Name == "--automation") {
            S = Value(Options.AutomationSocket);
        } else if (Name == "--help" || Name == "-h") {
            S = NoValue();
            Options.Help = true;
        } else if (Name == "--version") {
            S = NoValue();
            Options.Version = true;
        } else {
            S = TStatus::Error("unknown option " + Name + " (try --help)");
        }
        if (!S)
            return S;
    }
    return Options;
}

std::string UsageText() {
    return "usage: todolist-gui [options] [PROJECT]\n"
           "\n"
           "Opens PROJECT (a Pascal project file .dpr/.lpr/.dpk, any other project file, or a\n"
           "folder) in the desktop program; without it, the project open when the program last\n"
           "ended, if it still exists. A source file given instead is opened in an editor, in\n"
           "the last project when it lies in that project's folder, else in its own folder.\n"
           "\n"
           "options:\n"
           "  --package FILE          load the package FILE too (repeatable)\n"
           "  --no-default-packages   do not load the packages of the package folder\n"
           "  --settings FILE         use the settings file FILE\n"
           "  --automation SOCKET     serve automation requests on the local socket SOCKET\n"
           "  --help                  show this text and exit\n"
           "  --version               show the version and exit\n"
           "\n"
           "environment:\n"
           "  TODOLIST_PACKAGE_DIR         the package folder instead of the default\n"
           "  TODOLIST_AUTOMATION_SOCKET   as --automation\n"
           "  TODOLIST_CONFIG              the settings file instead of the default\n";
}

TStartTarget StartTarget(const std::string& Given, const std::string& Last) {
    std::error_code Ec;
    const bool LastExists = !Last.empty() && fs::exists(Last, Ec);
    if (Given.empty())
        return {LastExists ? Last : std::string(), {}};
    const bool SourceFile = fs::is_regular_file(Given, Ec) && !IsUsesClauseProjectFile(Given) &&
                            LanguageOfFile(Given) != TLanguage::None;
    if (!SourceFile)
        return {Given, {}};
    const fs::path File = fs::absolute(Given, Ec).lexically_normal();
    if (LastExists) {
        const fs::path LastPath = fs::absolute(Last, Ec).lexically_normal();
        const fs::path Folder = fs::is_directory(LastPath, Ec) ? LastPath : LastPath.parent_path();
        const fs::path Inside = File.lexically_relative(Folder);
        if (!Inside.empty() && *Inside.begin() != "..")
            return {Last, File.string()};
    }
    // Walking the home or the root folder for one file would read and watch far too much: the
    // file opens on its own there.
    const fs::path Folder = File.parent_path();
    const char* Home = std::getenv("HOME");
    const bool TooWide = Folder == Folder.root_path() ||
                         (Home && *Home && Folder == fs::path(Home).lexically_normal());
    return {TooWide ? std::string() : Folder.string(), File.string()};
}

std::string DefaultPackageFolder() {
    if (const char* Dir = std::getenv("TODOLIST_PACKAGE_DIR"); Dir && *Dir)
        return Dir;
    const fs::path Bin = QCoreApplication::applicationDirPath().toStdString();
    return (Bin / TODO_GUI_PACKAGE_SUBDIR).lexically_normal().string();
}

THostSession::THostSession(TStartupOptions Options) : FOptions(std::move(Options)) {
    if (FOptions.AutomationSocket.empty())
        if (const char* Socket = std::getenv("TODOLIST_AUTOMATION_SOCKET"); Socket && *Socket)
            FOptions.AutomationSocket = Socket;
    // Nobody can answer a message box under automation or without a screen.
    FQuiet = !FOptions.AutomationSocket.empty() ||
             QGuiApplication::platformName() == QLatin1String("offscreen") ||
             QGuiApplication::platformName() == QLatin1String("minimal");
    FPackages = std::make_unique<TPackageList>();
}

THostSession::~THostSession() {
    Shutdown();
}

void THostSession::Report(const std::string& Title, const std::string& Message) {
    if (FQuiet) {
        std::fprintf(stderr, "todolist-gui: error: %s\n", Message.c_str());
        return;
    }
    QMessageBox::warning(FMain.get(), QString::fromStdString(Title),
                         QString::fromStdString(Message));
}

void THostSession::LoadPackages() {
    std::vector<std::string> Files;
    if (!FOptions.NoDefaultPackages)
        Files = PackagesInFolder(DefaultPackageFolder());
    Files.insert(Files.end(), FOptions.Packages.begin(), FOptions.Packages.end());
    for (const std::string& File : Files)
        if (TStatus S = FPackages->Load(File); !S)
            Report("Package", "Could not load package " + File + ": " + S.Message());
}

void THostSession::OpenStartProject() {
    // The last project only when it is still there: a moved project is no error.
    const TStartTarget Target =
        StartTarget(FOptions.Project, AppIniFile().ReadString(HostSection, "LastProject", ""));
    const std::string& Path = Target.Project;
    if (Path.empty()) {
        FMain->EnterDefaultDesktop();
    } else if (const QString Why = FMain->openProject(QString::fromStdString(Path));
               !Why.isEmpty()) {
        Report("Open Project", "Could not open the project " + Path + ": " + Why.toStdString());
        FMain->EnterDefaultDesktop();
    }
    // The file handed over opens even when its project could not.
    if (Target.File.empty())
        return;
    if (const QString Why = FMain->openFile(QString::fromStdString(Target.File)); !Why.isEmpty())
        Report("Open File", "Could not open " + Target.File + ": " + Why.toStdString());
}

void THostSession::Start() {
    if (FStarted)
        return;
    FStarted = true;
    if (!FOptions.SettingsFile.empty())
        SetAppIniFileName(FOptions.SettingsFile);
    FClipboard = std::make_unique<TQtClipboard>();
    SetClipboard(FClipboard.get());
    FThread = std::make_unique<TParseThread>();
    SetParseThread(FThread.get());

    LoadPackages();
    // Both use hooks the packages have just set; without a package they do nothing.
    InitializeCLanguage();
    FCLanguage = true;
    RegisterSourceManagerCreators();

    FMain = std::make_unique<TMainWindow>(); // registers the editor action list
    // Not owned: the session owns the window and clears this before the window goes.
    CorvaneIDEServices =
        std::shared_ptr<IInterface>(static_cast<IIDEServices*>(FMain.get()), [](IInterface*) {});
    // Handler by handler: one package failing to start must not keep the others from starting.
    EvMainFormCreated().RaiseCatching([this](std::exception_ptr Error) {
        try {
            std::rethrow_exception(Error);
        } catch (const std::exception& E) {
            Report("Package", std::string("A package failed to start: ") + E.what());
        } catch (...) {
            Report("Package", "A package failed to start: unknown error");
        }
    });
    FMain->UpdateMenuShortcuts();
    OpenStartProject();
    FMain->show();
    RequestActionUpdate();
    if (!FOptions.AutomationSocket.empty())
        StartAutomationServer(FMain.get(), QString::fromStdString(FOptions.AutomationSocket));
}

void THostSession::Shutdown() {
    if (FShutDown)
        return;
    FShutDown = true;
    if (FMain) {
        // Closing the window normally did this already; quitting otherwise still asks.
        FMain->PrepareExit(false);
        FMain->DestroyPackageForms();
    }
    EditorActionLists().clear();
    CorvaneIDEServices.reset();
    // Before the packages go: it unregisters through a hook a package filled, whose code and
    // registry leave with that package.
    if (FCLanguage)
        FinalizeCLanguage();
    FCLanguage = false;
    FPackages->Clear();
    FMain.reset();
    if (FStarted)
        if (TStatus S = AppIniFile().UpdateFile(); !S)
            std::fprintf(stderr, "todolist-gui: error: cannot save the settings: %s\n",
                         S.Message().c_str());
    SetParseThread(nullptr);
    if (FThread)
        FThread->Stop();
    FThread.reset();
    SetClipboard(nullptr);
    FClipboard.reset();
}
