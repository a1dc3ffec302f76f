// todolist-gui: the desktop program. Parses the command line, then hands over to the host
// session (host_startup.h), which starts, runs and stops everything in its order.
#include "host_startup.h"
#include "main_window.h"

#include <QApplication>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    std::vector<std::string> Args(argv + 1, argv + argc);
    auto Parsed = ParseCommandLine(Args);
    if (!Parsed) {
        std::fprintf(stderr, "todolist-gui: error: %s\n", Parsed.Status().Message().c_str());
        return 2;
    }
    const TStartupOptions& Options = Parsed.Value();
    if (Options.Help) {
        std::fputs(UsageText().c_str(), stdout);
        return 0;
    }
    if (Options.Version) {
        std::printf("todolist-gui %s\n", TODO_GUI_VERSION);
        return 0;
    }

    QApplication App(argc, argv);
    QApplication::setApplicationName("todolist");
    QApplication::setApplicationDisplayName("To-Do List");
    QApplication::setDesktopFileName("todolist-gui");
    QApplication::setQuitOnLastWindowClosed(false); // the main window says when it is over
    int Result = 0;
    {
        THostSession Session(Options);
        Session.Start();
        QObject::connect(Session.MainWindow(), &TMainWindow::ExitRequested, &App,
                         [] { QCoreApplication::quit(); });
        Result = App.exec();
        Session.Shutdown();
    }
    return Result;
}
