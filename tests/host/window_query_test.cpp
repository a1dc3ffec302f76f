#include "host/window_query.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <thread>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace std::chrono_literals;
using namespace std::string_literals;

namespace {

constexpr auto Patience = 10s; // keeps a broken build from hanging, no speed bound

/// The bytes written as hex pairs, spaces ignored.
std::string Hex(std::string_view Text) {
    std::string Bytes;
    for (std::size_t I = 0; I < Text.size(); ++I)
        if (Text[I] != ' ')
            Bytes += static_cast<char>(std::stoi(std::string(Text.substr(I++, 2)), nullptr, 16));
    return Bytes;
}

/// A listening AF_UNIX socket at Path; the descriptor (-1 on failure).
int ListenAt(const std::string& Path, bool Listen = true) {
    const int Fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un A{};
    A.sun_family = AF_UNIX;
    Path.copy(A.sun_path, sizeof A.sun_path - 1);
    if (::bind(Fd, reinterpret_cast<sockaddr*>(&A), sizeof A) != 0 ||
        (Listen && ::listen(Fd, 4) != 0)) {
        ::close(Fd);
        return -1;
    }
    return Fd;
}

/// A window stand-in for one connection: reads the request, writes Canned, then hangs up, or
/// with Hold waits for the client to hang up first (a window that never answers).
class TCannedServer {
public:
    /// Request receives the bytes the client sent, read before Canned is written.
    TCannedServer(const std::string& Path, std::string Canned, bool Hold, std::string& Request)
        : FFd(ListenAt(Path)) {
        FThread = std::jthread([this, Canned = std::move(Canned), Hold, &Request] {
            const int C = ::accept(FFd, nullptr, nullptr);
            char Buffer[64];
            ssize_t N = 0;
            while (Request.size() < QueryRequestSize && (N = ::read(C, Buffer, 64)) > 0)
                Request.append(Buffer, static_cast<std::size_t>(N));
            if (!Canned.empty()) {
                EXPECT_EQ(::write(C, Canned.data(), Canned.size()), std::ssize(Canned));
            }
            while (Hold && ::read(C, Buffer, 64) > 0) {
            }
            ::close(C);
        });
    }
    ~TCannedServer() {
        FThread.join();
        ::close(FFd);
    }

private:
    int FFd;
    std::jthread FThread;
};

const TQueryAnswer TextAnswer{3, 1, TCopyData{qmCellText, "Fix\0"s}};

} // namespace

TEST(WindowQuery, FramesRoundTripWithTheDocumentedLayout) {
    EXPECT_EQ(MakeQueryParam(2, 3), 0x00030002u);
    EXPECT_EQ(QueryParamCol(MakeQueryParam(65535, 7)), 65535);
    EXPECT_EQ(QueryParamRow(MakeQueryParam(0, 65535)), 65535);

    const TQueryRequest Request{qmCellText, MakeQueryParam(2, 3)};
    EXPECT_EQ(EncodeRequest(Request), Hex("54445131 6A040000 02000300"));
    const struct {
        TQueryAnswer Answer;
        const char* Bytes;
    } Cases[] = {
        {TextAnswer, "54444131 0300000000000000 01000000 4A000000 6A040000 04000000 46697800"},
        {{-2, 0xA1B2C3D4, std::nullopt},
         "54444131 FEFFFFFFFFFFFFFF D4C3B2A1 00000000 00000000 00000000"},
        {{0, 0, TCopyData{qmCellRect, ""}},
         "54444131 0000000000000000 00000000 4A000000 68040000 00000000"},
    };
    for (const auto& C : Cases) {
        const std::string Frame = EncodeAnswer(C.Answer);
        EXPECT_EQ(Frame, Hex(C.Bytes)) << C.Bytes;
        std::size_t Used = 99;
        for (std::size_t N = 0; N < Frame.size(); ++N) { // every prefix waits for more
            auto Part = DecodeAnswer(std::string_view(Frame).substr(0, N), Used);
            ASSERT_TRUE(Part.Ok()) << N << ": " << Part.Status().Message();
            EXPECT_FALSE(Part.Value()) << N;
        }
        auto Whole = DecodeAnswer(Frame + EncodeAnswer(C.Answer), Used); // a second one follows
        ASSERT_TRUE(Whole.Ok()) << Whole.Status().Message();
        EXPECT_EQ(Whole.Value(), C.Answer);
        EXPECT_EQ(Used, Frame.size());
    }
    std::size_t Used = 0;
    auto Back = DecodeRequest(EncodeRequest(Request) + "TD", Used);
    ASSERT_TRUE(Back.Ok());
    EXPECT_EQ(Back.Value(), Request);
    EXPECT_EQ(Used, QueryRequestSize);
}

TEST(WindowQuery, DamagedFramesAreRefused) {
    const std::string Header = "TDA1" + std::string(12, '\0');
    const struct {
        bool Answer;
        std::string Bytes;
        const char* Error;
    } Cases[] = {
        {false, "G", "not a query frame"}, // refused before the frame is whole
        {false, "TDA1", "not a query frame"},
        {false, "TDQ2", "unsupported frame version 2"},
        {false, "TDQ\x01", "unsupported frame version 0x01"},
        {true, "GET / HTTP/1.0\r\n", "not an answer frame"},
        {true, "TDQ1", "not an answer frame"},
        {true, Header + Hex("4B000000 00000000 00000000"), "unknown reply message 75"},
        {true, Header + Hex("00000000 6A040000 00000000"), "data without a reply message"},
        {true, Header + Hex("4A000000 6A040000 01000100"),
         "reply data of 65537 bytes exceeds 65536"},
    };
    for (const auto& C : Cases) {
        std::size_t Used = 7;
        const TStatus S =
            C.Answer ? DecodeAnswer(C.Bytes, Used).Status() : DecodeRequest(C.Bytes, Used).Status();
        EXPECT_EQ(S.Message(), C.Error) << C.Bytes;
        EXPECT_EQ(Used, 0u);
    }
}

TEST(SendQuery, ReadsTheWholeAnswerOrSaysWhatWentWrong) {
    TTempDir Dir;
    const std::string Path = Dir.File("window.sock");
    const std::string Frame = EncodeAnswer(TextAnswer);
    const struct {
        std::string Canned;
        bool Hold;
        std::chrono::milliseconds Timeout;
        const char* Error; // after "... from PATH"; empty: TextAnswer comes back
    } Cases[] = {
        {Frame, false, Patience, ""},
        {Frame, true, Patience, ""}, // the answer is whole before the window hangs up
        {"", false, Patience, "bad answer from PATH: connection closed without an answer"},
        {Frame.substr(0, 20), false, Patience,
         "bad answer from PATH: connection closed after 20 bytes of the answer"},
        {"HTTP/1.0 400\r\n", false, Patience, "bad answer from PATH: not an answer frame"},
        {EncodeAnswer({3, 1, TCopyData{qmCellTextLength, "x"}}), false, Patience,
         "bad answer from PATH: reply to message 1129 instead of 1130"},
        {Frame.substr(0, 30), true, 300ms, "no answer from PATH within 300 ms"},
    };
    for (const auto& C : Cases) {
        std::filesystem::remove(Path);
        std::string Request;
        std::optional<TResult<TQueryAnswer>> Answer;
        {
            TCannedServer Server(Path, C.Canned, C.Hold, Request);
            Answer = SendQuery(Path, qmCellText, MakeQueryParam(2, 3), C.Timeout);
        }
        EXPECT_EQ(Request, EncodeRequest({qmCellText, 0x00030002}));
        std::string Error = C.Error;
        if (const auto At = Error.find("PATH"); At != Error.npos)
            Error.replace(At, 4, Path);
        EXPECT_EQ(Answer->Status().Message(), Error) << C.Canned.size();
        if (Error.empty()) {
            EXPECT_EQ(Answer->Value(), TextAnswer);
        }
    }
}

TEST(SendQuery, SaysWhyItCannotConnect) {
    TTempDir Dir;
    const std::string Stale = Dir.File("stale.sock");
    ::close(ListenAt(Stale, false)); // a socket file nobody listens on
    const std::pair<std::string, const char*> Cases[] = {
        {Dir.File("missing.sock"), "no such file or directory"},
        {Stale, "connection refused"},
        {Dir.File(std::string(120, 'x')), "file name too long"},
    };
    for (const auto& [Path, Why] : Cases)
        EXPECT_EQ(SendQuery(Path, qmItemCount, 0, Patience).Status().Message(),
                  "cannot connect to " + Path + ": " + Why);
}

TEST(QuerySocket, PathsFollowTheEnvironment) {
    const std::string Tmp = "/tmp/todolist-" + std::to_string(::getuid()) + "/window-42.sock";
    const struct {
        const char *Socket, *Runtime, *Expected;
    } Cases[] = {
        {"/x/q.sock", "/run/user/7", "/x/q.sock"},
        {"", "/run/user/7", "/run/user/7/todolist/window-42.sock"},
        {nullptr, "relative", Tmp.c_str()}, // not absolute: ignored
        {nullptr, nullptr, Tmp.c_str()},
    };
    for (const auto& C : Cases) {
        TEnvGuard Socket("TODOLIST_QUERY_SOCKET", C.Socket), Runtime("XDG_RUNTIME_DIR", C.Runtime);
        EXPECT_EQ(DefaultQuerySocketPath(42), C.Expected);
    }

    TTempDir Dir;
    TEnvGuard Socket("TODOLIST_QUERY_SOCKET", nullptr),
        Runtime("XDG_RUNTIME_DIR", Dir.File("").c_str());
    const std::string Folder = Dir.File("todolist");
    EXPECT_EQ(FindQuerySocket().Status().Message(),
              "no window is running (no socket in " + Folder + ")");
    std::filesystem::create_directory(Folder);
    const std::string Mine = DefaultQuerySocketPath(::getpid());
    Dir.Write("todolist/window-" + std::to_string(::getpid()) + ".sock", "");
    Dir.Write("todolist/window-999999999.sock", ""); // left by a process that is gone
    Dir.Write("todolist/window-x.sock", "");
    auto Found = FindQuerySocket();
    EXPECT_EQ(Found.Ok() ? Found.Value() : Found.Status().Message(), Mine);
    Dir.Write("todolist/window-1.sock", ""); // a second running process
    EXPECT_EQ(FindQuerySocket().Status().Message(),
              "several windows are running (" + Folder + "/window-1.sock, " + Mine + ")");
}

TEST(QuerySocket, OnlyAPrivateFolderOfThisUserIsTrusted) {
    TTempDir Dir;
    const std::string Private = Dir.File("private"), Open = Dir.File("open"),
                      Link = Dir.File("link"), File = Dir.Write("file", "x");
    ASSERT_EQ(::mkdir(Private.c_str(), 0700), 0);
    ASSERT_EQ(::mkdir(Open.c_str(), 0700), 0);
    ASSERT_EQ(::chmod(Open.c_str(), 0777), 0);
    ASSERT_EQ(::symlink(Private.c_str(), Link.c_str()), 0);
    for (const auto& Folder : {Open, Link, File, Dir.File("missing")})
        EXPECT_FALSE(CheckSocketFolder(Folder).Ok()) << Folder;
    EXPECT_TRUE(CheckSocketFolder(Private).Ok());
}

TEST(WindowQuery, CellRectanglesTravelAsFourLittleEndianNumbers) {
    const std::string Bytes = EncodeRect({-1, 2, 300, 70000});
    EXPECT_EQ(Bytes, std::string("\xFF\xFF\xFF\xFF\x02\0\0\0\x2C\x01\0\0\x70\x11\x01\0", 16));
    const auto Back = DecodeRect(Bytes);
    ASSERT_TRUE(Back);
    EXPECT_EQ(Back->Left, -1);
    EXPECT_EQ(Back->Bottom, 70000);
    EXPECT_FALSE(DecodeRect(Bytes.substr(1)));
    EXPECT_FALSE(DecodeRect(Bytes + '\0'));
}
