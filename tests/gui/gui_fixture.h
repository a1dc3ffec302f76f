// What the widget tests of the desktop program share: a private home, message boxes answered
// as a user would, waiting for the event loop, typing, and files changed by another program.
#pragma once

#include "tests/host/temp_dir.h"

#include "main_window.h"

#include "host/ini_file.h"
#include "ui/shell/ide_services.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

/// A main window as the program has it, closed down (project and editors) when it goes.
struct TWindow {
    TWindow() : Main(std::make_unique<TMainWindow>()) {
        CorvaneIDEServices =
            std::shared_ptr<IInterface>(static_cast<IIDEServices*>(Main.get()), [](IInterface*) {});
    }
    ~TWindow() {
        Main->PrepareExit(false);
        Main->DestroyPackageForms();
        CorvaneIDEServices.reset();
    }
    TMainWindow* operator->() const { return Main.get(); }
    std::unique_ptr<TMainWindow> Main;
};

/// Temporary config, cache and settings for one test; the user's own are never touched.
class TTestHome {
public:
    TTestHome() {
        for (const char* Var : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR", "HOME"})
            ::setenv(Var, Dir.File(Var).c_str(), 1);
        ::unsetenv("TODOLIST_AUTOMATION_SOCKET");
        SetAppIniFileName(Dir.File("todolist.ini"));
    }
    ~TTestHome() { SetAppIniFileName(""); }
    TTestHome(const TTestHome&) = delete;
    TTestHome& operator=(const TTestHome&) = delete;
    /// The path of Name in the program's config folder ($XDG_CONFIG_HOME/todolist).
    std::string ConfigFile(const std::string& Name) const {
        return Dir.File("XDG_CONFIG_HOME/todolist/" + Name);
    }
    TTempDir Dir;
};

/// Answers the message boxes that open from now on, in order, with the buttons named in
/// Answers (their text without '&'); records each box's text and buttons. A box nobody
/// expected is cancelled (its escape button, else rejected) and recorded, so a test sees it.
class TBoxAnswerer {
public:
    explicit TBoxAnswerer(std::vector<QString> Answers) : FAnswers(std::move(Answers)) {
        FTimer.setInterval(5);
        QObject::connect(&FTimer, &QTimer::timeout, [this] { Poll(); });
        FTimer.start();
    }
    struct TBox {
        QString Text;
        QStringList Buttons;
    };
    std::vector<TBox> Boxes;

private:
    void Poll() {
        auto* Box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!Box || !Box->isVisible() || Box == FLast)
            return;
        FLast = Box; // a box is answered once, even when it stays up a moment after the click
        TBox Seen{Box->text(), {}};
        for (QAbstractButton* B : Box->buttons())
            Seen.Buttons << B->text().remove('&');
        Boxes.push_back(Seen);
        const QString Wanted = Boxes.size() <= FAnswers.size() ? FAnswers[Boxes.size() - 1] : "";
        for (QAbstractButton* B : Box->buttons())
            if (B->text().remove('&') == Wanted) {
                B->click();
                return;
            }
        Box->escapeButton() ? Box->escapeButton()->click() : Box->reject();
    }
    std::vector<QString> FAnswers;
    QPointer<QMessageBox> FLast;
    QTimer FTimer;
};

/// Runs the event loop until Done() holds (or a generous limit passes); returns Done().
inline bool WaitFor(const std::function<bool()>& Done) {
    QElapsedTimer Timer;
    Timer.start();
    while (!Done() && Timer.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return Done();
}

/// Types Text (UTF-8) into Editor key by key, as a user would.
inline void Type(QWidget* Editor, const std::string& Text) {
    for (QChar Ch : QString::fromStdString(Text)) {
        QKeyEvent Press(QEvent::KeyPress, 0, Qt::NoModifier, QString(Ch));
        QApplication::sendEvent(Editor, &Press);
        QKeyEvent Release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(Ch));
        QApplication::sendEvent(Editor, &Release);
    }
}

/// Writes Bytes to Path as another program would, with a later modification time.
inline void WriteLater(const std::string& Path, std::string_view Bytes) {
    namespace fs = std::filesystem;
    const auto Time =
        fs::exists(Path) ? fs::last_write_time(Path) : fs::file_time_type::clock::now();
    std::ofstream(Path, std::ios::binary).write(Bytes.data(), std::ssize(Bytes));
    fs::last_write_time(Path, Time + std::chrono::seconds(5));
}
