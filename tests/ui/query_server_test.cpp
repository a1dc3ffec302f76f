#include "ui/query_server.h"

#include "ui_host.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

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

TEST(QueryServer, AnswersQueriesOnEachConnection) {
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
}

TEST(QueryServer, ReassemblesSplitRequestsAndDropsBadConnections) {
    TTempDir Dir;
    TFakeWindow Window;
    TQueryServer Server([&](unsigned M, std::uint32_t W) { return Window(M, W); });
    const std::string Path = Dir.File("q.sock");
    ASSERT_TRUE(Server.Listen(Path).Ok());
    const std::string Count = EncodeRequest({qmItemCount, 0});
    const std::string Text = EncodeRequest({qmCellText, MakeQueryParam(1, 2)});
    const std::string CountAnswer = EncodeAnswer({12, 7, std::nullopt});
    const std::string TextAnswer = EncodeAnswer({4, 7, TCopyData{qmCellText, "c1r2\0"s}});
    const struct {
        std::vector<std::string> Parts;
        std::string Expected; // everything the server sends before it hangs up
    } Cases[] = {
        {{Count.substr(0, 5), Count.substr(5) + Text.substr(0, 1), Text.substr(1) + Count},
         CountAnswer + TextAnswer + CountAnswer},
        {{Count + "GET / HTTP/1.0\r\n\r\n" + Count}, CountAnswer}, // closed at the bad bytes
        {{"TDQ2" + Count.substr(4)}, ""},                          // another frame version
        {{EncodeRequest({qmChecked, 99}) + Count}, ""},            // the window's handler threw
    };
    for (const auto& C : Cases)
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
