#include "host/window_query.h"

#include "host/file_io.h"

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr std::string_view RequestMagic = "TDQ";
constexpr std::string_view AnswerMagic = "TDA";
constexpr char FrameVersion = '1';

void PutU32(std::string& Out, std::uint32_t Value) {
    for (int Shift = 0; Shift < 32; Shift += 8)
        Out += static_cast<char>(Value >> Shift & 0xFF);
}

void PutI64(std::string& Out, std::int64_t Value) {
    const auto U = static_cast<std::uint64_t>(Value);
    PutU32(Out, static_cast<std::uint32_t>(U));
    PutU32(Out, static_cast<std::uint32_t>(U >> 32));
}

/// The little-endian 32-bit number at Bytes[At]; the caller has checked the size.
std::uint32_t GetU32(std::string_view Bytes, std::size_t At) {
    std::uint32_t Value = 0;
    for (int I = 3; I >= 0; --I)
        Value = Value << 8 | static_cast<unsigned char>(Bytes[At + I]);
    return Value;
}

std::int64_t GetI64(std::string_view Bytes, std::size_t At) {
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(GetU32(Bytes, At + 4)) << 32 |
                                     GetU32(Bytes, At));
}

/// Checks as much of the 4-byte signature (Family, then the version) as Bytes holds, so that a
/// stream of foreign bytes is refused on its first byte. Empty when it fits so far.
std::string CheckSignature(std::string_view Bytes, std::string_view Family, const char* What) {
    const std::size_t N = std::min(Bytes.size(), Family.size());
    if (Bytes.substr(0, N) != Family.substr(0, N))
        return std::string("not ") + What;
    if (Bytes.size() <= Family.size() || Bytes[Family.size()] == FrameVersion)
        return {};
    const auto Version = static_cast<unsigned char>(Bytes[Family.size()]);
    if (Version >= '0' && Version <= '9')
        return std::string("unsupported frame version ") + static_cast<char>(Version);
    static const char Hex[] = "0123456789abcdef";
    return std::string("unsupported frame version 0x") + Hex[Version >> 4] + Hex[Version & 15];
}

std::string SecondsText(std::chrono::milliseconds Time) {
    const auto Ms = Time.count();
    return Ms % 1000 == 0 ? std::to_string(Ms / 1000) + " s" : std::to_string(Ms) + " ms";
}

using TClock = std::chrono::steady_clock;

/// Milliseconds left until Deadline, for poll (0 once it has passed).
int MsLeft(TClock::time_point Deadline) {
    const auto Left =
        std::chrono::duration_cast<std::chrono::milliseconds>(Deadline - TClock::now()).count();
    return static_cast<int>(std::clamp<decltype(Left)>(Left, 0, 24 * 3600 * 1000));
}

/// Waits until Fd is ready for Events or Deadline passes. False on timeout; errno set (and
/// false) on a poll failure other than EINTR is reported through Error.
bool WaitFor(int Fd, short Events, TClock::time_point Deadline, int& Error) {
    Error = 0;
    for (;;) {
        pollfd P{Fd, Events, 0};
        const int N = ::poll(&P, 1, MsLeft(Deadline));
        if (N > 0)
            return true;
        if (N == 0)
            return false;
        if (errno != EINTR) {
            Error = errno;
            return false;
        }
    }
}

} // namespace

std::uint32_t MakeQueryParam(int Col, int Row) {
    assert(Col >= 0 && Col <= 0xFFFF && Row >= 0 && Row <= 0xFFFF && "query parameter overflow");
    return static_cast<std::uint32_t>(Row) << 16 | static_cast<std::uint32_t>(Col);
}

int QueryParamCol(std::uint32_t WParam) {
    return static_cast<int>(WParam & 0xFFFF);
}

int QueryParamRow(std::uint32_t WParam) {
    return static_cast<int>(WParam >> 16);
}

std::string EncodeRect(const TQueryRect& Rect) {
    std::string Out;
    for (std::int32_t V : {Rect.Left, Rect.Top, Rect.Right, Rect.Bottom})
        PutU32(Out, static_cast<std::uint32_t>(V));
    return Out;
}

std::optional<TQueryRect> DecodeRect(std::string_view Bytes) {
    if (Bytes.size() != 16)
        return std::nullopt;
    const auto At = [&](std::size_t Offset) {
        return static_cast<std::int32_t>(GetU32(Bytes, Offset));
    };
    return TQueryRect{At(0), At(4), At(8), At(12)};
}

std::string EncodeRequest(const TQueryRequest& Request) {
    std::string Out(RequestMagic);
    Out += FrameVersion;
    PutU32(Out, Request.Msg);
    PutU32(Out, Request.WParam);
    return Out;
}

std::string EncodeAnswer(const TQueryAnswer& Answer) {
    assert((!Answer.Reply || Answer.Reply->Bytes.size() <= MaxQueryData) && "reply too large");
    std::string Out(AnswerMagic);
    Out += FrameVersion;
    PutI64(Out, Answer.Result);
    PutU32(Out, Answer.Window);
    PutU32(Out, Answer.Reply ? WM_COPYDATA : 0);
    PutU32(Out, Answer.Reply ? Answer.Reply->DataNumber : 0);
    PutU32(Out, Answer.Reply ? static_cast<std::uint32_t>(Answer.Reply->Bytes.size()) : 0);
    if (Answer.Reply)
        Out += Answer.Reply->Bytes;
    return Out;
}

TResult<std::optional<TQueryRequest>> DecodeRequest(std::string_view Bytes, std::size_t& Used) {
    Used = 0;
    if (std::string S = CheckSignature(Bytes, RequestMagic, "a query frame"); !S.empty())
        return TStatus::Error(S);
    if (Bytes.size() < QueryRequestSize)
        return std::optional<TQueryRequest>();
    Used = QueryRequestSize;
    return std::optional<TQueryRequest>(TQueryRequest{GetU32(Bytes, 4), GetU32(Bytes, 8)});
}

TResult<std::optional<TQueryAnswer>> DecodeAnswer(std::string_view Bytes, std::size_t& Used) {
    Used = 0;
    if (std::string S = CheckSignature(Bytes, AnswerMagic, "an answer frame"); !S.empty())
        return TStatus::Error(S);
    if (Bytes.size() < QueryAnswerHeaderSize)
        return std::optional<TQueryAnswer>();
    TQueryAnswer Answer;
    Answer.Result = GetI64(Bytes, 4);
    Answer.Window = GetU32(Bytes, 12);
    const std::uint32_t ReplyMsg = GetU32(Bytes, 16);
    const std::uint32_t DataNumber = GetU32(Bytes, 20);
    const std::uint32_t Length = GetU32(Bytes, 24);
    if (ReplyMsg != 0 && ReplyMsg != WM_COPYDATA)
        return TStatus::Error("unknown reply message " + std::to_string(ReplyMsg));
    if (ReplyMsg == 0 && (DataNumber != 0 || Length != 0))
        return TStatus::Error("data without a reply message");
    if (Length > MaxQueryData)
        return TStatus::Error("reply data of " + std::to_string(Length) + " bytes exceeds " +
                              std::to_string(MaxQueryData));
    if (Bytes.size() - QueryAnswerHeaderSize < Length)
        return std::optional<TQueryAnswer>();
    if (ReplyMsg == WM_COPYDATA)
        Answer.Reply =
            TCopyData{DataNumber, std::string(Bytes.substr(QueryAnswerHeaderSize, Length))};
    Used = QueryAnswerHeaderSize + Length;
    return std::optional<TQueryAnswer>(std::move(Answer));
}

TResult<TQueryAnswer> SendQuery(const std::string& SocketPath, unsigned Msg, std::uint32_t WParam,
                                std::chrono::milliseconds Timeout) {
    const auto Deadline = TClock::now() + Timeout;
    const auto CannotConnect = [&](int Error) {
        return TStatus::Error("cannot connect to " + SocketPath + ": " + ErrnoText(Error));
    };
    const auto NoAnswer = [&] {
        return TStatus::Error("no answer from " + SocketPath + " within " + SecondsText(Timeout));
    };
    const auto BadAnswer = [&](const std::string& Why) {
        return TStatus::Error("bad answer from " + SocketPath + ": " + Why);
    };

    sockaddr_un Address{};
    Address.sun_family = AF_UNIX;
    if (SocketPath.empty() || SocketPath.size() >= sizeof Address.sun_path)
        return CannotConnect(SocketPath.empty() ? ENOENT : ENAMETOOLONG);
    SocketPath.copy(Address.sun_path, SocketPath.size());

    TFd Socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (Socket.Get() < 0)
        return CannotConnect(errno);
    // A blocking connect only waits when the window's backlog is full; the send timeout bounds
    // that wait. The exchange afterwards is non-blocking under poll.
    const auto Ms = std::max<long long>(MsLeft(Deadline), 1);
    const timeval Limit{static_cast<time_t>(Ms / 1000), static_cast<suseconds_t>(Ms % 1000 * 1000)};
    ::setsockopt(Socket.Get(), SOL_SOCKET, SO_SNDTIMEO, &Limit, sizeof Limit);
    int R;
    do
        R = ::connect(Socket.Get(), reinterpret_cast<const sockaddr*>(&Address), sizeof Address);
    while (R < 0 && errno == EINTR);
    if (R < 0)
        return errno == EAGAIN || errno == EINPROGRESS ? NoAnswer() : CannotConnect(errno);
    ::fcntl(Socket.Get(), F_SETFL, ::fcntl(Socket.Get(), F_GETFL) | O_NONBLOCK);

    int Error = 0;
    std::string_view Pending;
    const std::string Request = EncodeRequest({Msg, WParam});
    for (Pending = Request; !Pending.empty();) {
        if (!WaitFor(Socket.Get(), POLLOUT, Deadline, Error))
            return Error ? CannotConnect(Error) : NoAnswer();
        const ssize_t N = ::send(Socket.Get(), Pending.data(), Pending.size(), MSG_NOSIGNAL);
        if (N < 0 && errno != EINTR && errno != EAGAIN)
            return errno == EPIPE || errno == ECONNRESET
                       ? BadAnswer("connection closed without an answer")
                       : TStatus::Error("cannot send to " + SocketPath + ": " + ErrnoText(errno));
        if (N > 0)
            Pending.remove_prefix(static_cast<std::size_t>(N));
    }

    std::string Received;
    for (;;) {
        if (!WaitFor(Socket.Get(), POLLIN, Deadline, Error))
            return Error ? BadAnswer(ErrnoText(Error)) : NoAnswer();
        char Buffer[4096];
        const ssize_t N = ::recv(Socket.Get(), Buffer, sizeof Buffer, 0);
        if (N < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (N < 0 && errno != ECONNRESET)
            return BadAnswer(ErrnoText(errno));
        if (N <= 0)
            return BadAnswer(Received.empty()
                                 ? "connection closed without an answer"
                                 : "connection closed after " + std::to_string(Received.size()) +
                                       " bytes of the answer");
        Received.append(Buffer, static_cast<std::size_t>(N));
        std::size_t Used = 0;
        auto Decoded = DecodeAnswer(Received, Used);
        if (!Decoded)
            return BadAnswer(Decoded.Status().Message());
        if (!Decoded.Value())
            continue;
        TQueryAnswer& Answer = *Decoded.Value();
        if (Answer.Reply && Answer.Reply->DataNumber != Msg)
            return BadAnswer("reply to message " + std::to_string(Answer.Reply->DataNumber) +
                             " instead of " + std::to_string(Msg));
        return std::move(Answer);
    }
}

std::string QuerySocketFolder() {
    if (const char* Runtime = std::getenv("XDG_RUNTIME_DIR"); Runtime && *Runtime == '/')
        return (std::filesystem::path(Runtime) / "todolist").string();
    return "/tmp/todolist-" + std::to_string(::getuid());
}

TStatus CheckSocketFolder(const std::string& Folder) {
    struct stat Info {};
    if (::lstat(Folder.c_str(), &Info) != 0)
        return TStatus::Error("cannot use the socket folder " + Folder + ": " + ErrnoText(errno));
    if (!S_ISDIR(Info.st_mode) || Info.st_uid != ::getuid() || (Info.st_mode & 022) != 0)
        return TStatus::Error("the socket folder " + Folder +
                              " is not a private folder of this user; remove it and try again");
    return {};
}

std::string DefaultQuerySocketPath(int Pid) {
    if (const char* Path = std::getenv("TODOLIST_QUERY_SOCKET"); Path && *Path)
        return Path;
    return QuerySocketFolder() + "/window-" + std::to_string(Pid) + ".sock";
}

TResult<std::string> FindQuerySocket() {
    if (const char* Path = std::getenv("TODOLIST_QUERY_SOCKET"); Path && *Path)
        return std::string(Path);
    const std::string Folder = QuerySocketFolder();
    if (::access(Folder.c_str(), F_OK) != 0)
        return TStatus::Error("no window is running (no socket in " + Folder + ")");
    if (TStatus S = CheckSocketFolder(Folder); !S)
        return S;
    std::vector<std::string> Found;
    std::error_code Ec;
    for (const auto& Entry : std::filesystem::directory_iterator(Folder, Ec)) {
        const std::string Name = Entry.path().filename().string();
        constexpr std::string_view Prefix = "window-", Suffix = ".sock";
        if (Name.size() <= Prefix.size() + Suffix.size() || !Name.starts_with(Prefix) ||
            !Name.ends_with(Suffix))
            continue;
        const std::string Digits =
            Name.substr(Prefix.size(), Name.size() - Prefix.size() - Suffix.size());
        if (Digits.size() > 9 || Digits.find_first_not_of("0123456789") != std::string::npos)
            continue;
        // A window that crashed leaves its socket behind; only a running process can answer.
        const int Pid = std::stoi(Digits);
        if (Pid > 0 && (::kill(Pid, 0) == 0 || errno == EPERM))
            Found.push_back(Entry.path().string());
    }
    if (Found.empty())
        return TStatus::Error("no window is running (no socket in " + Folder + ")");
    if (Found.size() > 1) {
        std::sort(Found.begin(), Found.end());
        std::string List;
        for (const std::string& F : Found)
            List += (List.empty() ? "" : ", ") + F;
        return TStatus::Error("several windows are running (" + List + ")");
    }
    return Found.front();
}
