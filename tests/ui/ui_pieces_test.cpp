// The host pieces the window stands on: help links into the user guide, the dockable form's
// own desktop keys, the desktop class registry, the posted-message link, and the query server
// that answers other programs on the window's socket.

#include "ui_host.h"

#include "host/ini_file.h"
#include "host/window_link.h"
#include "ui/query_server.h"
#include "ui/shell/dockable_form.h"
#include "ui/shell/help.h"
#include "ui/shell/window_sink.h"

#include <QAction>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QMainWindow>
#include <QThread>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

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
    // An empty doc dir only adds a place to look: the guide is still found after it.
    TTempDir Empty;
    ::setenv("TODOLIST_DOC_DIR", Empty.File("").c_str(), 1);
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
    ::unsetenv("TODOLIST_DOC_DIR");
    ASSERT_EQ(Catcher.Urls.size(), std::size(Contexts));
    EXPECT_EQ(Catcher.Urls.back(), HelpUrl(6049));
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

} // namespace

using namespace std::chrono_literals;
using namespace std::string_literals;

namespace {

constexpr auto Patience = 10s; // keeps a broken build from hanging, no speed bound

/// Connects to Path, sends each of Parts (pausing between them so that they arrive in separate
/// reads), then reads until the server hangs up. What the server sent.
std::string RawExchange(const std::string& Path, const std::vector<std::string>& Parts) {
    const int Fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un A{};
    A.sun_family = AF_UNIX;
    Path.copy(A.sun_path, sizeof A.sun_path - 1);
    const timeval Limit{10, 0}; // as Patience: a broken server must not hang the test
    ::setsockopt(Fd, SOL_SOCKET, SO_RCVTIMEO, &Limit, sizeof Limit);
    std::string Received = "<cannot connect>";
    if (::connect(Fd, reinterpret_cast<sockaddr*>(&A), sizeof A) == 0) {
        Received.clear();
        for (const std::string& Part : Parts) {
            EXPECT_EQ(::write(Fd, Part.data(), Part.size()), std::ssize(Part));
            std::this_thread::sleep_for(50ms);
        }
        ::shutdown(Fd, SHUT_WR);
        char Buffer[256];
        for (ssize_t N; (N = ::read(Fd, Buffer, sizeof Buffer)) > 0;)
            Received.append(Buffer, static_cast<std::size_t>(N));
    }
    ::close(Fd);
    return Received;
}

/// A window's answers: the count is 12; text queries copy "c<col>r<row>"; checked throws for
/// index 99 (a handler bug the server must survive). Each call is recorded.
struct TFakeWindow {
    std::vector<TQueryRequest> Calls;
    TQueryAnswer operator()(unsigned Msg, std::uint32_t WParam) {
        Calls.push_back({Msg, WParam});
        if (Msg == qmChecked && WParam == 99)
            throw std::out_of_range("list index out of bounds (99)");
        if (Msg != qmCellText)
            return {Msg == qmItemCount ? 12 : 0, 7, std::nullopt};
        const std::string Text = "c" + std::to_string(QueryParamCol(WParam)) + "r" +
                                 std::to_string(QueryParamRow(WParam));
        return {std::ssize(Text), 7, TCopyData{Msg, Text + '\0'}};
    }
};

} // namespace

void PrintTo(const TQueryAnswer& A, std::ostream* Out) {
    *Out << "{" << A.Result << ", " << A.Window;
    if (A.Reply)
        *Out << ", " << A.Reply->DataNumber << " \"" << A.Reply->Bytes << "\"";
    *Out << "}";
}

TEST(QueryServer, AnswersQueriesReassemblesSplitRequestsAndDropsBadConnections) {
    TTempDir Dir;
    TFakeWindow Window;
    TQueryServer Server([&](unsigned M, std::uint32_t W) { return Window(M, W); });
    const std::string Path = Dir.File("run/todolist/window.sock"); // folders made on listen
    ASSERT_TRUE(Server.Listen(Path).Ok());
    EXPECT_EQ(Server.SocketPath(), Path);
    struct stat Info {};
    ASSERT_EQ(::stat(Dir.File("run/todolist").c_str(), &Info), 0);
    EXPECT_EQ(Info.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat(Path.c_str(), &Info), 0);
    EXPECT_EQ(Info.st_mode & 0077, 0u) << "other users may connect";

    const struct {
        unsigned Msg;
        std::uint32_t WParam;
        TQueryAnswer Answer;
        bool Handled;
    } Cases[] = {
        {qmItemCount, 0, {12, 7, std::nullopt}, true},
        {qmCellText, MakeQueryParam(3, 65535), {8, 7, TCopyData{qmCellText, "c3r65535\0"s}}, true},
        {1124, 5, {}, false}, // outside the window's queries: 0, and the window is not asked
        {WM_COPYDATA, 5, {}, false},
    };
    for (const auto& C : Cases) {
        Window.Calls.clear();
        auto Answer = FromClient([&] { return SendQuery(Path, C.Msg, C.WParam, Patience); });
        ASSERT_TRUE(Answer.Ok()) << Answer.Status().Message();
        EXPECT_EQ(Answer.Value(), C.Answer) << C.Msg;
        const std::vector<TQueryRequest> Asked = C.Handled
                                                     ? std::vector<TQueryRequest>{{C.Msg, C.WParam}}
                                                     : std::vector<TQueryRequest>{};
        EXPECT_EQ(Window.Calls, Asked) << C.Msg;
    }

    // Requests split across reads or sent back to back; connections dropped at bad frames.
    const std::string Count = EncodeRequest({qmItemCount, 0});
    const std::string Text = EncodeRequest({qmCellText, MakeQueryParam(1, 2)});
    const std::string CountAnswer = EncodeAnswer({12, 7, std::nullopt});
    const std::string TextAnswer = EncodeAnswer({4, 7, TCopyData{qmCellText, "c1r2\0"s}});
    const struct {
        std::vector<std::string> Parts;
        std::string Expected; // everything the server sends before it hangs up
    } Raw[] = {
        {{Count.substr(0, 5), Count.substr(5) + Text.substr(0, 1), Text.substr(1) + Count},
         CountAnswer + TextAnswer + CountAnswer},
        {{Count + "GET / HTTP/1.0\r\n\r\n" + Count}, CountAnswer}, // closed at the bad bytes
        {{"TDQ2" + Count.substr(4)}, ""},                          // another frame version
        {{EncodeRequest({qmChecked, 99}) + Count}, ""},            // the window's handler threw
    };
    for (const auto& C : Raw)
        EXPECT_EQ(FromClient([&] { return RawExchange(Path, C.Parts); }), C.Expected)
            << C.Parts.front().size();
    // The server goes on serving after dropping those connections.
    EXPECT_TRUE(FromClient([&] { return SendQuery(Path, qmItemCount, 0, Patience); }).Ok());
}

TEST(QueryServer, ReplacesOnlyADeadSocketAndRemovesItsOwnOnClose) {
    TTempDir Dir;
    const auto Answer = [](unsigned, std::uint32_t) { return TQueryAnswer{1, 1, std::nullopt}; };
    const std::string Path = Dir.File("w.sock");
    { // a socket file left by a window that crashed: bound, never served, never removed
        const int Fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un A{};
        A.sun_family = AF_UNIX;
        Path.copy(A.sun_path, sizeof A.sun_path - 1);
        ASSERT_EQ(::bind(Fd, reinterpret_cast<sockaddr*>(&A), sizeof A), 0);
        ::close(Fd);
    }
    TQueryServer First(Answer), Second(Answer);
    ASSERT_TRUE(First.Listen(Path).Ok());
    EXPECT_EQ(Second.Listen(Path).Message(),
              "cannot listen on " + Path + ": another program answers there");
    const std::string Plain = Dir.Write("plain", "keep me");
    EXPECT_EQ(Second.Listen(Plain).Message(),
              "cannot listen on " + Plain + ": a file that is not a socket is in the way");
    EXPECT_EQ(ReadBytes(Plain), "keep me");
    EXPECT_EQ(Second.SocketPath(), "");
    EXPECT_TRUE(FromClient([&] { return SendQuery(Path, qmItemCount, 0, Patience); }).Ok());

    First.Close();
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(Path)));
    EXPECT_EQ(First.SocketPath(), "");
    EXPECT_EQ(SendQuery(Path, qmItemCount, 0, Patience).Status().Message(),
              "cannot connect to " + Path + ": no such file or directory");
    ASSERT_TRUE(Second.Listen(Path).Ok()); // the path is free again
}

#include "ui_pieces_test.moc"
