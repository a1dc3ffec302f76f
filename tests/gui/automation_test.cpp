// The automation server in-process, over a bare main window: the requests the end-to-end tests
// and the screenshot script rely on, and the socket side (several lines in one write, a stale
// socket file).

#include "automation.h"
#include "code_editor.h"

#include "tests/host/temp_dir.h"

#include "host/edit_buffer.h"
#include "host/module.h"
#include "ui/shell/ide_services.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

/// A main window with what the server looks for: an action, the editor tabs with one editor.
struct TFakeMain {
    QMainWindow Main;
    QAction* Action;        // owned by Main (Qt parent)
    QPlainTextEdit* Editor; // owned by the tabs (Qt parent)
    int Triggered = 0;

    TFakeMain() {
        Main.setObjectName(QStringLiteral("MainWindow"));
        Action = new QAction(QStringLiteral("Do it"), &Main);
        Action->setObjectName(QStringLiteral("DoItCommand"));
        QObject::connect(Action, &QAction::triggered, [this] { ++Triggered; });
        auto* Tabs = new QTabWidget(&Main);
        Tabs->setObjectName(QStringLiteral("EditorTabs"));
        Editor = new QPlainTextEdit(Tabs);
        Editor->setObjectName(QStringLiteral("CodeEditor"));
        Editor->setProperty("fileName", QStringLiteral("/p/unit1.pas"));
        Tabs->addTab(Editor, QStringLiteral("unit1.pas"));
        Main.setCentralWidget(Tabs);
        Main.show();
    }
};

/// A modal dialog over Main with a control of each kind the server fills, and two check lists
/// (one without a name).
struct TDialog {
    QDialog Dialog;
    QLineEdit* Line; // the controls are owned by Dialog (Qt parent)
    QPlainTextEdit* Memo;
    QCheckBox* Box;
    QComboBox* Combo;
    QListWidget* Named;
    QListWidget* Unnamed;
    int Clicks = 0; // on the named list's items

    explicit TDialog(QWidget* Main) : Dialog(Main) {
        Dialog.setObjectName(QStringLiteral("AskDialog"));
        Dialog.setWindowTitle(QStringLiteral("Ask me"));
        auto* Layout = new QVBoxLayout(&Dialog);
        Line = Add<QLineEdit>(Layout, "Line");
        Memo = Add<QPlainTextEdit>(Layout, "Memo");
        Box = Add<QCheckBox>(Layout, "Box");
        Combo = Add<QComboBox>(Layout, "Combo");
        Combo->addItems({QStringLiteral("Ann"), QStringLiteral("Ben")});
        Named = Add<QListWidget>(Layout, "CheckList");
        Unnamed = Add<QListWidget>(Layout, "");
        auto* Ok = Add<QPushButton>(Layout, "");
        Ok->setText(QStringLiteral("&OK"));
        QObject::connect(Ok, &QPushButton::clicked, &Dialog, &QDialog::accept);
        const Qt::ItemFlags Checkable = Qt::ItemIsEnabled | Qt::ItemIsUserCheckable;
        Item(Named, "Markdown tasks", Checkable, Qt::Checked);
        Item(Named, "Markdown", Checkable, Qt::Checked);
        Item(Named, "Plain", Qt::ItemIsEnabled, Qt::Unchecked);
        Item(Named, "Greyed", Qt::ItemIsUserCheckable, Qt::Checked);
        Item(Unnamed, "Other", Checkable, Qt::Unchecked);
        QObject::connect(Named, &QListWidget::itemClicked, &Dialog, [this] { ++Clicks; });
        Dialog.setModal(true);
    }
    template <class T> T* Add(QVBoxLayout* Layout, const char* Name) {
        auto* W = new T(&Dialog);
        W->setObjectName(QString::fromUtf8(Name));
        Layout->addWidget(W);
        return W;
    }
    static void Item(QListWidget* List, const char* Text, Qt::ItemFlags Flags,
                     Qt::CheckState State) {
        auto* Item = new QListWidgetItem(QString::fromUtf8(Text), List); // owned by List
        Item->setFlags(Flags);
        if (Flags & Qt::ItemIsUserCheckable)
            Item->setCheckState(State);
    }
    Qt::CheckState State(QListWidget* List, const char* Text) const {
        return List->findItems(QString::fromUtf8(Text), Qt::MatchExactly).front()->checkState();
    }
};

std::string Ask(TAutomationServer& Server, const char* Request) {
    return Server.Execute(QString::fromUtf8(Request)).toStdString();
}

TEST(AutomationServer, AnswersEachRequestAndDoesWhatItAsks) {
    TFakeMain F;
    TDialog D(&F.Main);
    TAutomationServer Server(&F.Main, &F.Main);
    // "é" is two bytes in UTF-8 but one UTF-16 unit: byte offsets must be converted.
    F.Editor->setPlainText(QString::fromUtf8("h\xC3\xA9llo\nworld"));
    F.Editor->document()->setModified(false);

    const char* const ShowDialog = "(the dialog opens)";
    const char* const CheckUsage = "error usage: modal-check LIST ITEM_TEXT 0|1";
    struct TCase {
        const char* Request;
        const char* Reply;
    };
    const TCase Cases[] = {
        {"editor", "ok /p/unit1.pas"},
        {"modified", "ok 0"},
        {"goto 3", "ok"}, // after "hé"
        {"type [\\n\\t\\\\]", "ok"},
        {"editor-text", "ok h\xC3\xA9[\\n\\t\\\\]llo\\nworld"},
        {"modified", "ok 1"},
        {"goto 99", "ok"}, // past the end: the end
        {"type !", "ok"},
        {"editor-text", "ok h\xC3\xA9[\\n\\t\\\\]llo\\nworld!"},
        {"goto -1", "error bad offset -1"},
        {"goto x", "error bad offset x"},
        {"enabled DoItCommand", "ok 1"},
        {"checked DoItCommand", "ok 0"},
        {"enabled NoSuchCommand", "error no action NoSuchCommand"},
        {"modal", "ok"},
        {"modal-button OK", "error no modal window"},
        {"dock-visible NoDock", "error no dock NoDock"},
        {"resize 0 10", "error usage: resize W H"},
        {"resize 640 480", "ok"},
        {"click-cell 1", "error usage: click-cell COL ROW [X]"},
        {"click-cell 0 1", "error no to-do window"},
        {"open-project /p/x.dpr", "error the main window has no method openProject"},
        {"frobnicate now", "error unknown command frobnicate"},
        {ShowDialog, nullptr},
        {"modal", "ok QDialog AskDialog Ask me"},
        {"modal-set Line one two", "ok"},
        {"modal-set Memo first\\nsecond", "ok"},
        {"modal-set Box 1", "ok"},
        {"modal-set Combo Ben", "ok"},
        {"modal-set Combo Cleo", "error no item Cleo"},
        {"modal-set Missing x", "error no control Missing"},
        {"modal-checked CheckList Markdown tasks", "ok 1"},
        {"modal-check CheckList Markdown tasks 0", "ok"},
        {"modal-checked CheckList Markdown tasks", "ok 0"},
        {"modal-checked CheckList Markdown", "ok 1"},     // the whole text, not a prefix
        {"modal-check CheckList Markdown tasks 0", "ok"}, // unticked stays unticked
        {"modal-check CheckList Markdown 0", "ok"},
        {"modal-check CheckList Markdown 1", "ok"},
        {"modal-check CheckList Markdown tasks", CheckUsage},
        {"modal-check CheckList Markdown tasks 2", CheckUsage},
        {"modal-check CheckList 1", CheckUsage},
        {"modal-checked CheckList", "error usage: modal-checked LIST ITEM_TEXT"},
        {"modal-check CheckList markdown tasks 1", "error no item markdown tasks"},
        {"modal-check CheckList Plain 1", "error not checkable: Plain"},
        {"modal-check CheckList Greyed 0", "error disabled"},
        {"modal-checked CheckList Greyed", "ok 1"},
        {"modal-check NoList Other 1", "error no list NoList"},
        {"modal-check - Other 1", "error no item Other"}, // "-" is the first list
        {"modal-check - Markdown tasks 1", "ok"},
        {"modal-check - Markdown tasks 0", "ok"},
        {"modal-button Cancel", "error no button Cancel"},
        {"modal-button OK", "ok"},
    };
    for (const TCase& C : Cases) {
        if (C.Request == ShowDialog) {
            D.Dialog.show();
            ASSERT_EQ(QApplication::activeModalWidget(), &D.Dialog);
            continue;
        }
        EXPECT_EQ(Ask(Server, C.Request), C.Reply) << C.Request;
    }
    EXPECT_EQ(F.Main.size(), QSize(640, 480));
    EXPECT_EQ(D.Line->text(), QStringLiteral("one two"));
    EXPECT_EQ(D.Memo->toPlainText(), QStringLiteral("first\nsecond"));
    EXPECT_TRUE(D.Box->isChecked());
    EXPECT_EQ(D.Combo->currentText(), QStringLiteral("Ben"));
    EXPECT_EQ(D.State(D.Named, "Markdown tasks"), Qt::Unchecked);
    EXPECT_EQ(D.State(D.Named, "Markdown"), Qt::Checked);
    EXPECT_EQ(D.State(D.Unnamed, "Other"), Qt::Unchecked);
    EXPECT_EQ(D.Clicks, 6) << "every tick is a click the dialog hears";
    EXPECT_TRUE(D.Dialog.isVisible()); // the click is queued
    QApplication::processEvents();
    EXPECT_FALSE(D.Dialog.isVisible());
    EXPECT_EQ(D.Dialog.result(), QDialog::Accepted);
}

/// A main window whose editor tab is a code editor over the file Name of Dir, written with Bytes.
struct TCodeMain {
    QMainWindow Main;
    std::shared_ptr<TModule> Module;
    TCodeEditor* Editor = nullptr; // owned by the tabs (Qt parent)

    TCodeMain(const TTempDir& Dir, const std::string& Name, std::string_view Bytes) {
        auto Opened = OpenModule(Dir.Write(Name, Bytes));
        EXPECT_TRUE(Opened.Ok());
        if (!Opened)
            return;
        Module = Opened.Value();
        auto* Tabs = new QTabWidget(&Main); // owned by Main (Qt parent)
        Tabs->setObjectName(QStringLiteral("EditorTabs"));
        Editor = new TCodeEditor(Module, Tabs);
        Tabs->addTab(Editor, QString::fromStdString(Name));
        Main.setCentralWidget(Tabs);
        Main.show();
    }
    ~TCodeMain() {
        if (Module)
            CloseModule(Module->GetFileName());
    }
};

TEST(AutomationServer, CodeEditorsAreDrivenByTheFilesBytesAndTheirOwnState) {
    TTempDir Dir;
    struct TCase {
        const char* Name;
        std::string Bytes;
        bool DeletedOnDisk;
        std::vector<std::pair<const char*, std::string>> Steps; // request, reply
        std::string Expected;                                   // the buffer afterwards
    } Cases[] = {
        // The byte order mark and each "\r\n" are one editor position but three and two bytes.
        {"bom and crlf",
         "\xEF\xBB\xBFone\r\ntwo\r\n",
         false,
         {{"modified", "ok 0"},
          {"goto 8", "ok"},
          {"type X", "ok"},
          {"editor-text", "ok \xEF\xBB\xBFone\\r\\nXtwo\\r\\n"},
          {"modified", "ok 1"}},
         "\xEF\xBB\xBFone\r\nXtwo\r\n"},
        {"multi-byte",
         "h\xC3\xA9\xF0\x9F\x98\x80!",
         false,
         {{"goto 7", "ok"}, {"type X", "ok"}, {"editor-text", "ok h\xC3\xA9\xF0\x9F\x98\x80X!"}},
         "h\xC3\xA9\xF0\x9F\x98\x80X!"},
        // A file deleted on disk has changes to save although the document has none.
        {"deleted on disk", "kept\n", true, {{"modified", "ok 1"}}, "kept\n"},
        {"not utf-8",
         "caf\xE9\n",
         false,
         {{"type x", "error the editor is read-only"}, {"modified", "ok 0"}},
         "caf\xE9\n"},
    };
    int N = 0;
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        TCodeMain F(Dir, "f" + std::to_string(N++) + ".txt", C.Bytes);
        ASSERT_NE(F.Editor, nullptr);
        TAutomationServer Server(&F.Main, &F.Main);
        F.Editor->SetDeletedOnDisk(C.DeletedOnDisk);
        ASSERT_FALSE(F.Editor->document()->isModified()) << "the code editor's state answers";
        for (const auto& [Request, Reply] : C.Steps)
            EXPECT_EQ(Ask(Server, Request), Reply) << Request;
        EXPECT_EQ(F.Editor->Buffer()->GetText(), C.Expected);
    }
}

TEST(AutomationServer, TriggerIsQueuedUpdatesTheActionFirstAndRefusesDisabledOnes) {
    TFakeMain F;
    TAutomationServer Server(&F.Main, &F.Main);
    // A command whose state follows the host, updated only when the hub asks.
    bool Wanted = false;
    QObject::connect(&ActionUpdates(), &TActionUpdateHub::UpdateActions, F.Action,
                     [&] { F.Action->setEnabled(Wanted); });
    RequestActionUpdate();
    EXPECT_EQ(Ask(Server, "trigger DoItCommand"), "error disabled");

    // The host changed but nobody asked for an update: the action is stale, and says so.
    Wanted = true;
    EXPECT_EQ(Ask(Server, "enabled DoItCommand"), "ok 0");
    // Picking it from its menu brings it up to date first.
    EXPECT_EQ(Ask(Server, "trigger DoItCommand"), "ok");
    EXPECT_EQ(Ask(Server, "enabled DoItCommand"), "ok 1");
    // Queued, so that a modal dialog the action opens cannot hold the reply back.
    EXPECT_EQ(F.Triggered, 0);
    QApplication::processEvents();
    EXPECT_EQ(F.Triggered, 1);
}

/// Connects to Path, writes Bytes in one go and reads until Lines line breaks have arrived.
std::string Exchange(const std::string& Path, const std::string& Bytes, int Lines) {
    const int S = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un Address{};
    Address.sun_family = AF_UNIX;
    std::strncpy(Address.sun_path, Path.c_str(), sizeof Address.sun_path - 1);
    std::string Got;
    if (::connect(S, reinterpret_cast<const sockaddr*>(&Address), sizeof Address) == 0 &&
        ::write(S, Bytes.data(), Bytes.size()) == static_cast<ssize_t>(Bytes.size())) {
        char Buffer[256];
        while (std::count(Got.begin(), Got.end(), '\n') < Lines) {
            const ssize_t N = ::read(S, Buffer, sizeof Buffer);
            if (N <= 0)
                break;
            Got.append(Buffer, static_cast<size_t>(N));
        }
    }
    ::close(S);
    return Got;
}

TEST(AutomationServer, ServesLinesInOrderOnAStaleSocketFile) {
    TFakeMain F;
    TTempDir Dir;
    // What a run that crashed leaves behind.
    const std::string Path = Dir.Write("auto.sock", "stale");
    TAutomationServer Server(&F.Main, &F.Main);
    ASSERT_EQ(Server.Listen(QString::fromStdString(Path)), QString());

    std::atomic<bool> Done{false};
    std::string Got;
    std::thread Client([&] {
        Got = Exchange(Path, "editor\r\nnonsense\nmodal\n", 3);
        Done = true;
    });
    QElapsedTimer Clock;
    Clock.start();
    while (!Done && Clock.elapsed() < 30000)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    Client.join();
    EXPECT_EQ(Got, "ok /p/unit1.pas\nerror unknown command nonsense\nok\n");
}

} // namespace
