// The host pieces the window stands on: help links into the user guide, the dockable form's
// own desktop keys, the desktop class registry, the posted-message link and the clipboard.

#include "ui_host.h"

#include "host/ini_file.h"
#include "host/window_link.h"
#include "ui/shell/dockable_form.h"
#include "ui/shell/help.h"
#include "ui/shell/qt_clipboard.h"
#include "ui/shell/window_sink.h"

#include <QAction>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QMainWindow>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

/// Catches the URLs that help hands to the desktop instead of starting a browser.
class TUrlCatcher : public QObject {
    Q_OBJECT
public:
    TUrlCatcher() { QDesktopServices::setUrlHandler("file", this, "Open"); }
    ~TUrlCatcher() override { QDesktopServices::unsetUrlHandler("file"); }
    std::vector<QUrl> Urls;
public slots:
    void Open(const QUrl& Url) { Urls.push_back(Url); }
};

TEST(Help, EveryHelpContextOpensItsOwnSectionOfTheGuide) {
    // The contexts the window, its actions and the dialogs hand to help.
    const int Contexts[] = {6001, 6002, 6003, 6004, 6005, 6008, 6011, 6012, 6013, 6040,
                            6041, 6042, 6043, 6044, 6045, 6046, 6047, 6048, 6049};
    TUrlCatcher Catcher;
    for (int Context : Contexts) {
        SCOPED_TRACE(Context);
        const QUrl Url = HelpUrl(Context);
        ASSERT_TRUE(Url.isLocalFile());
        EXPECT_EQ(Url.fragment(), QStringLiteral("help-%1").arg(Context));
        QFile Guide(Url.toLocalFile());
        ASSERT_TRUE(Guide.open(QIODevice::ReadOnly));
        EXPECT_TRUE(
            Guide.readAll().contains(QStringLiteral("id=\"help-%1\"").arg(Context).toUtf8()))
            << "the guide has no section for this context";
        EXPECT_TRUE(ShowHelp(Context));
    }
    ASSERT_EQ(Catcher.Urls.size(), std::size(Contexts));
    EXPECT_EQ(Catcher.Urls.back(), HelpUrl(6049));
}

TEST(Help, WithoutAGuideNothingOpens) {
    TTempDir Empty;
    ::setenv("TODOLIST_DOC_DIR", Empty.File("").c_str(), 1);
    // The source tree's guide is still found: an empty doc dir only adds a place to look.
    EXPECT_FALSE(HelpUrl(6005).isEmpty());
    ::unsetenv("TODOLIST_DOC_DIR");
}

TEST(Help, F1TakesTheContextOfTheNearestControlThatHasOne) {
    QWidget Form;
    auto* Group = new QWidget(&Form);
    auto* Inner = new QWidget(Group);
    auto* Own = new QWidget(Group);
    SetHelpContext(Group, 6011);
    SetHelpContext(Own, 6012);
    EXPECT_EQ(HelpContextAt(Inner, 6013), 6011);
    EXPECT_EQ(HelpContextAt(Own, 6013), 6012);
    EXPECT_EQ(HelpContextAt(&Form, 6013), 6013);
    EXPECT_EQ(HelpContextAt(nullptr, 6013), 6013);
}

TEST(DockableForm, KeepsItsPlaceInTheDesktopState) {
    TTempDir Dir;
    QMainWindow Main;
    auto* Form = new TDockableForm(&Main);
    Form->SetDeskSection("Test Window");
    Main.addDockWidget(Qt::BottomDockWidgetArea, Form);
    Main.show();
    Form->setFloating(true);
    Form->setGeometry(40, 50, 300, 200);
    Form->DockableCmd()->setChecked(false);
    Form->StayOnTopCmd()->setChecked(true);

    TIniFile Desktop(Dir.File("desk.ini"));
    Form->SaveWindowState(Desktop, true);
    EXPECT_TRUE(Desktop.ReadBool("Test Window", "Floating", false));
    EXPECT_EQ(Desktop.ReadInteger("Test Window", "Width", 0), 300);
    EXPECT_FALSE(Form->ZoomWindowCmd()->isEnabled());

    QMainWindow Main2;
    auto* Again = new TDockableForm(&Main2);
    Again->SetDeskSection("Test Window");
    Main2.addDockWidget(Qt::BottomDockWidgetArea, Again);
    Main2.show();
    Again->LoadWindowState(Desktop);
    EXPECT_TRUE(Again->isFloating());
    EXPECT_FALSE(Again->DockableCmd()->isChecked());
    EXPECT_EQ(Again->allowedAreas(), Qt::NoDockWidgetArea);
    EXPECT_TRUE(Again->StayOnTopCmd()->isChecked());
    EXPECT_EQ(Again->geometry().size(), QSize(300, 200));

    // A form without a section keeps nothing.
    TDockableForm Plain;
    TIniFile Empty(Dir.File("empty.ini"));
    Plain.SaveWindowState(Empty, false);
    EXPECT_TRUE(Empty.ReadSections().empty());
}

TEST(DockableForm, TheDesktopKnowsEachClassOnce) {
    RegisterDesktopFormClass([](QWidget* P) { return new TDockableForm(P); }, "A", "TA");
    RegisterDesktopFormClass([](QWidget* P) { return new TDockableForm(P); }, "B", "TB");
    RegisterDesktopFormClass([](QWidget* P) { return new TDockableForm(P); }, "A2", "TA");
    ASSERT_EQ(DesktopFormClasses().size(), 2u);
    EXPECT_EQ(DesktopFormClasses()[0].ClassName, "TB");
    EXPECT_EQ(DesktopFormClasses()[1].Section, "A2");
    UnregisterDesktopFormClass("TA");
    UnregisterDesktopFormClass("TB");
    UnregisterDesktopFormClass("unknown");
    EXPECT_TRUE(DesktopFormClasses().empty());
}

/// Records the posted messages it receives, in order.
class TReceiver : public QObject {
public:
    std::vector<TWindowMessage> Got;
    bool event(QEvent* E) override {
        AcquirePostedEvent(E);
        if (E->type() != TWindowMessageEvent::EventType())
            return QObject::event(E);
        auto* M = static_cast<TWindowMessageEvent*>(E);
        Got.push_back({M->Msg, M->WParam, M->LParam});
        return true;
    }
};

TEST(WindowSink, MessagesPostedFromAnyThreadArriveInOrderOnTheGuiThread) {
    TReceiver Receiver;
    TQtWindowSink Sink(&Receiver);
    const THandle Handle = Sink.Register();
    ASSERT_NE(Handle, 0u);
    EXPECT_FALSE(IsWindowVisible(Handle));
    Sink.SetVisible(true);
    EXPECT_TRUE(IsWindowVisible(Handle));

    std::thread Poster([&] {
        for (int I = 0; I < 100; ++I)
            PostMessageA(Handle, 1298, 0, I);
    });
    Poster.join();
    EXPECT_TRUE(Receiver.Got.empty()) << "delivered on the poster's thread";
    ASSERT_TRUE(TUiHost::WaitFor([&] { return Receiver.Got.size() == 100; }));
    for (int I = 0; I < 100; ++I)
        EXPECT_EQ(Receiver.Got[I].LParam, I);

    Sink.Unregister();
    EXPECT_FALSE(PostMessageA(Handle, 1298, 0, 1)) << "a forgotten handle finds nothing";
}

TEST(CallPoster, CallsFromAnyThreadRunInOrderOnTheGuiThreadAndDieWithThePoster) {
    std::vector<std::string> Ran;
    std::vector<bool> OnGuiThread;
    auto Poster = std::make_unique<TCallPoster>();
    std::thread Worker([&] {
        for (int I = 0; I < 100; ++I) {
            // Heap-held captures written on this thread: what the hand-off must make visible.
            std::string Text = "call " + std::to_string(I) + std::string(40, '.');
            Poster->Post([&, Text] {
                Ran.push_back(Text);
                OnGuiThread.push_back(QThread::currentThread() ==
                                      QCoreApplication::instance()->thread());
            });
        }
    });
    Worker.join();
    EXPECT_TRUE(Ran.empty()) << "ran on the posting thread";
    ASSERT_TRUE(TUiHost::WaitFor([&] { return Ran.size() == 100; }));
    for (int I = 0; I < 100; ++I) {
        EXPECT_EQ(Ran[I].substr(0, Ran[I].find('.')), "call " + std::to_string(I));
        EXPECT_TRUE(OnGuiThread[I]);
    }

    std::thread Late([&] { Poster->Post([&] { Ran.push_back("after the poster went"); }); });
    Late.join();
    Poster.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(Ran.size(), 100u) << "a call pending when its poster goes never runs";
}

TEST(QtClipboard, TheCoreCopiesToTheDesktopClipboard) {
    TQtClipboard Board;
    Board.SetAsWideText(L"Pending\tFix \u00e9\r\n");
    EXPECT_EQ(Board.AsWideText(), L"Pending\tFix \u00e9\r\n");
    Board.Clear();
    EXPECT_EQ(Board.AsWideText(), L"");
}

} // namespace

#include "ui_pieces_test.moc"
