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

std::string Ask(TAutomationServer& Server, const char* Request) {
    return Server.Execute(QString::fromUtf8(Request)).toStdString();
}

TEST(AutomationServer, AnswersEachRequest) {
    TFakeMain F;
    TAutomationServer Server(&F.Main, &F.Main);
    // "é" is two bytes in UTF-8 but one UTF-16 unit: byte offsets must be converted.
    F.Editor->setPlainText(QString::fromUtf8("h\xC3\xA9llo\nworld"));
    F.Editor->document()->setModified(false);

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
    };
    for (const TCase& C : Cases)
        EXPECT_EQ(Ask(Server, C.Request), C.Reply) << C.Request;
    EXPECT_EQ(F.Main.size(), QSize(640, 480));
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

TEST(AutomationServer, CodeEditorsAreDrivenByTheFilesBytes) {
    TTempDir Dir;
    struct TCase {
        const char* Name;
        std::string Bytes;
        const char* Goto;     // request moving the cursor
        const char* Text;     // reply to "editor-text" after typing "X" there
        std::string Expected; // the buffer afterwards
    } Cases[] = {
        // The byte order mark and each "\r\n" are one editor position but three and two bytes.
        {"bom and crlf", "\xEF\xBB\xBFone\r\ntwo\r\n", "goto 8",
         "ok \xEF\xBB\xBFone\\r\\nXtwo\\r\\n", "\xEF\xBB\xBFone\r\nXtwo\r\n"},
        {"multi-byte", "h\xC3\xA9\xF0\x9F\x98\x80!", "goto 7", "ok h\xC3\xA9\xF0\x9F\x98\x80X!",
         "h\xC3\xA9\xF0\x9F\x98\x80X!"},
    };
    int N = 0;
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        TCodeMain F(Dir, "f" + std::to_string(N++) + ".txt", C.Bytes);
        ASSERT_NE(F.Editor, nullptr);
        TAutomationServer Server(&F.Main, &F.Main);
        EXPECT_EQ(Ask(Server, "modified"), "ok 0");
        EXPECT_EQ(Ask(Server, C.Goto), "ok");
        EXPECT_EQ(Ask(Server, "type X"), "ok");
        EXPECT_EQ(F.Editor->Buffer()->GetText(), C.Expected);
        EXPECT_EQ(Ask(Server, "editor-text"), C.Text);
        EXPECT_EQ(Ask(Server, "modified"), "ok 1");
    }
}

TEST(AutomationServer, ModifiedIsTheCodeEditorsStateAndReadOnlyEditorsRefuseTyping) {
    TTempDir Dir;
    {
        // A file deleted on disk has changes to save although the document has none.
        TCodeMain F(Dir, "gone.txt", "kept\n");
        ASSERT_NE(F.Editor, nullptr);
        TAutomationServer Server(&F.Main, &F.Main);
        F.Editor->SetDeletedOnDisk(true);
        ASSERT_FALSE(F.Editor->document()->isModified());
        EXPECT_EQ(Ask(Server, "modified"), "ok 1");
    }
    {
        const std::string Bytes = "caf\xE9\n";
        TCodeMain F(Dir, "latin1.txt", Bytes);
        ASSERT_NE(F.Editor, nullptr);
        TAutomationServer Server(&F.Main, &F.Main);
        EXPECT_EQ(Ask(Server, "type x"), "error the editor is read-only");
        EXPECT_EQ(F.Editor->Buffer()->GetText(), Bytes);
        EXPECT_EQ(F.Editor->toPlainText(), QString::fromUtf8("caf\xEF\xBF\xBD\n"));
        EXPECT_EQ(Ask(Server, "modified"), "ok 0");
    }
}

TEST(AutomationServer, EnabledReportsTheActionAsItIsAndTriggerUpdatesFirst) {
    TFakeMain F;
    TAutomationServer Server(&F.Main, &F.Main);
    // A command whose state follows the host, updated only when the hub asks.
    bool Wanted = false;
    QObject::connect(&ActionUpdates(), &TActionUpdateHub::UpdateActions, F.Action,
                     [&] { F.Action->setEnabled(Wanted); });
    RequestActionUpdate();
    ASSERT_FALSE(F.Action->isEnabled());

    // The host changed but nobody asked for an update: the action is stale, and says so.
    Wanted = true;
    EXPECT_EQ(Ask(Server, "enabled DoItCommand"), "ok 0");
    EXPECT_EQ(Ask(Server, "checked DoItCommand"), "ok 0");
    EXPECT_FALSE(F.Action->isEnabled());
    // Picking it from its menu brings it up to date first.
    EXPECT_EQ(Ask(Server, "trigger DoItCommand"), "ok");
    EXPECT_EQ(Ask(Server, "enabled DoItCommand"), "ok 1");
    QApplication::processEvents();
    EXPECT_EQ(F.Triggered, 1);
}

TEST(AutomationServer, TriggersLaterAndRefusesDisabledActions) {
    TFakeMain F;
    TAutomationServer Server(&F.Main, &F.Main);
    EXPECT_EQ(Ask(Server, "trigger DoItCommand"), "ok");
    // Queued, so that a modal dialog the action opens cannot hold the reply back.
    EXPECT_EQ(F.Triggered, 0);
    QApplication::processEvents();
    EXPECT_EQ(F.Triggered, 1);

    F.Action->setEnabled(false);
    EXPECT_EQ(Ask(Server, "enabled DoItCommand"), "ok 0");
    EXPECT_EQ(Ask(Server, "trigger DoItCommand"), "error disabled");
    QApplication::processEvents();
    EXPECT_EQ(F.Triggered, 1);
}

TEST(AutomationServer, FillsAndClosesTheModalDialog) {
    TFakeMain F;
    TAutomationServer Server(&F.Main, &F.Main);
    QDialog Dialog(&F.Main);
    Dialog.setObjectName(QStringLiteral("AskDialog"));
    Dialog.setWindowTitle(QStringLiteral("Ask me"));
    auto* Layout = new QVBoxLayout(&Dialog);
    auto* Line = new QLineEdit(&Dialog);
    Line->setObjectName(QStringLiteral("Line"));
    auto* Memo = new QPlainTextEdit(&Dialog);
    Memo->setObjectName(QStringLiteral("Memo"));
    auto* Box = new QCheckBox(QStringLiteral("Done"), &Dialog);
    Box->setObjectName(QStringLiteral("Box"));
    auto* Combo = new QComboBox(&Dialog);
    Combo->setObjectName(QStringLiteral("Combo"));
    Combo->addItems({QStringLiteral("Ann"), QStringLiteral("Ben")});
    auto* Ok = new QPushButton(QStringLiteral("&OK"), &Dialog);
    QObject::connect(Ok, &QPushButton::clicked, &Dialog, &QDialog::accept);
    for (QWidget* W :
         {static_cast<QWidget*>(Line), static_cast<QWidget*>(Memo), static_cast<QWidget*>(Box),
          static_cast<QWidget*>(Combo), static_cast<QWidget*>(Ok)})
        Layout->addWidget(W);
    Dialog.setModal(true);
    Dialog.show();
    ASSERT_EQ(QApplication::activeModalWidget(), &Dialog);

    struct TCase {
        const char* Request;
        const char* Reply;
    };
    const TCase Cases[] = {
        {"modal", "ok QDialog AskDialog Ask me"},
        {"modal-set Line one two", "ok"},
        {"modal-set Memo first\\nsecond", "ok"},
        {"modal-set Box 1", "ok"},
        {"modal-set Combo Ben", "ok"},
        {"modal-set Combo Cleo", "error no item Cleo"},
        {"modal-set Missing x", "error no control Missing"},
        {"modal-button Cancel", "error no button Cancel"},
        {"modal-button OK", "ok"},
    };
    for (const TCase& C : Cases)
        EXPECT_EQ(Ask(Server, C.Request), C.Reply) << C.Request;
    EXPECT_EQ(Line->text(), QStringLiteral("one two"));
    EXPECT_EQ(Memo->toPlainText(), QStringLiteral("first\nsecond"));
    EXPECT_TRUE(Box->isChecked());
    EXPECT_EQ(Combo->currentText(), QStringLiteral("Ben"));
    EXPECT_TRUE(Dialog.isVisible()); // the click is queued
    QApplication::processEvents();
    EXPECT_FALSE(Dialog.isVisible());
    EXPECT_EQ(Dialog.result(), QDialog::Accepted);
}

TEST(AutomationServer, TicksTheItemsOfACheckListInTheModalDialog) {
    TFakeMain F;
    TAutomationServer Server(&F.Main, &F.Main);
    QDialog Dialog(&F.Main);
    auto* Layout = new QVBoxLayout(&Dialog);
    auto* Named = new QListWidget(&Dialog); // owned by Dialog (Qt parent)
    Named->setObjectName(QStringLiteral("CheckList"));
    auto* Unnamed = new QListWidget(&Dialog); // owned by Dialog (Qt parent)
    Layout->addWidget(Named);
    Layout->addWidget(Unnamed);
    auto Add = [](QListWidget* List, const char* Text, Qt::ItemFlags Flags, Qt::CheckState State) {
        auto* Item = new QListWidgetItem(QString::fromUtf8(Text), List); // owned by List
        Item->setFlags(Flags);
        if (Flags & Qt::ItemIsUserCheckable)
            Item->setCheckState(State);
        return Item;
    };
    const Qt::ItemFlags Checkable = Qt::ItemIsEnabled | Qt::ItemIsUserCheckable;
    QListWidgetItem* Markdown = Add(Named, "Markdown tasks", Checkable, Qt::Checked);
    QListWidgetItem* Tasks = Add(Named, "Markdown", Checkable, Qt::Checked);
    Add(Named, "Plain", Qt::ItemIsEnabled, Qt::Unchecked);
    Add(Named, "Greyed", Qt::ItemIsUserCheckable, Qt::Checked);
    QListWidgetItem* Other = Add(Unnamed, "Other", Checkable, Qt::Unchecked);
    int Clicks = 0;
    QObject::connect(Named, &QListWidget::itemClicked, &Dialog, [&] { ++Clicks; });
    Dialog.setModal(true);
    Dialog.show();
    ASSERT_EQ(QApplication::activeModalWidget(), &Dialog);

    struct TCase {
        const char* Request;
        const char* Reply;
    };
    const TCase Cases[] = {
        {"modal-checked CheckList Markdown tasks", "ok 1"},
        {"modal-check CheckList Markdown tasks 0", "ok"},
        {"modal-checked CheckList Markdown tasks", "ok 0"},
        {"modal-checked CheckList Markdown", "ok 1"},     // the whole text, not a prefix
        {"modal-check CheckList Markdown tasks 0", "ok"}, // unticked stays unticked
        {"modal-check CheckList Markdown 0", "ok"},
        {"modal-check CheckList Markdown 1", "ok"},
        {"modal-check CheckList Markdown tasks", "error usage: modal-check LIST ITEM_TEXT 0|1"},
        {"modal-check CheckList Markdown tasks 2", "error usage: modal-check LIST ITEM_TEXT 0|1"},
        {"modal-check CheckList 1", "error usage: modal-check LIST ITEM_TEXT 0|1"},
        {"modal-checked CheckList", "error usage: modal-checked LIST ITEM_TEXT"},
        {"modal-check CheckList markdown tasks 1", "error no item markdown tasks"},
        {"modal-check CheckList Plain 1", "error not checkable: Plain"},
        {"modal-check CheckList Greyed 0", "error disabled"},
        {"modal-checked CheckList Greyed", "ok 1"},
        {"modal-check NoList Other 1", "error no list NoList"},
        {"modal-check - Other 1", "error no item Other"}, // "-" is the first list
        {"modal-check - Markdown tasks 1", "ok"},
        {"modal-check - Markdown tasks 0", "ok"},
    };
    for (const TCase& C : Cases)
        EXPECT_EQ(Ask(Server, C.Request), C.Reply) << C.Request;
    EXPECT_EQ(Markdown->checkState(), Qt::Unchecked);
    EXPECT_EQ(Tasks->checkState(), Qt::Checked);
    EXPECT_EQ(Other->checkState(), Qt::Unchecked);
    EXPECT_EQ(Clicks, 6) << "every tick is a click the dialog hears";
    Dialog.close();
    EXPECT_EQ(Ask(Server, "modal-check CheckList Markdown 0"), "error no modal window");
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
