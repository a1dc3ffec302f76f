#include "e2e_program.h"

#include "host/window_query.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <set>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

/// The environment of the parent with Overrides replacing (or adding) variables and the
/// variables named in Removed left out.
std::vector<std::string> ChildEnvironment(const std::map<std::string, std::string>& Overrides,
                                          const std::set<std::string>& Removed) {
    std::vector<std::string> Env;
    for (char** E = environ; *E; ++E) {
        const std::string Entry = *E;
        const std::string Name = Entry.substr(0, Entry.find('='));
        if (!Overrides.contains(Name) && !Removed.contains(Name))
            Env.push_back(Entry);
    }
    for (const auto& [Name, Value] : Overrides)
        Env.push_back(Name + '=' + Value);
    return Env;
}

} // namespace

bool WaitUntil(const std::function<bool()>& Done, std::chrono::milliseconds Patience) {
    const auto End = Clock::now() + Patience;
    while (!Done()) {
        if (Clock::now() > End)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return true;
}

TGuiProgram::TGuiProgram() {
    FAutomationSocket = FDir.File("auto.sock");
    FQuerySocket = FDir.File("window.sock");
    FStderrFile = FDir.File("stderr.txt");
    for (const char* Sub : {"home", "config", "cache"})
        std::filesystem::create_directories(FDir.File(Sub));
    // Qt refuses a runtime folder that others may read.
    ::mkdir(FDir.File("run").c_str(), 0700);
}

TGuiProgram::~TGuiProgram() {
    Disconnect();
    if (FPid > 0) {
        ::kill(FPid, SIGKILL);
        ::waitpid(FPid, nullptr, 0);
    }
}

std::string TGuiProgram::SettingsFile() const {
    return FDir.File("config/todolist/todolist.ini");
}

std::string TGuiProgram::CopyExample(const std::string& Name) const {
    const std::string To = FDir.File(Name);
    std::filesystem::copy(std::filesystem::path(TODO_EXAMPLES_DIR) / Name, To,
                          std::filesystem::copy_options::recursive);
    return To;
}

bool TGuiProgram::Start(const std::vector<std::string>& Args) {
    if (FPid > 0) {
        FError = "the program is still running";
        return false;
    }
    Disconnect();
    FError.clear();
    ::unlink(FAutomationSocket.c_str());

    // The settings file is named outright: a TODOLIST_CONFIG of the caller's would otherwise
    // win over the temporary XDG_CONFIG_HOME and the run would write the user's settings. The
    // package folder and automation socket of the caller's environment are dropped for the same
    // reason: the program under test loads the build's packages and answers on its own socket.
    const std::vector<std::string> Env = ChildEnvironment(
        {
            {"QT_QPA_PLATFORM", "offscreen"},
            {"HOME", FDir.File("home")},
            {"XDG_CONFIG_HOME", FDir.File("config")},
            {"XDG_CACHE_HOME", FDir.File("cache")},
            {"XDG_RUNTIME_DIR", FDir.File("run")},
            {"TODOLIST_CONFIG", SettingsFile()},
            {"TODOLIST_QUERY_SOCKET", FQuerySocket},
            // Sorting follows the locale: one that sorts by code point.
            {"LC_ALL", "C.UTF-8"},
        },
        {"TODOLIST_PACKAGE_DIR", "TODOLIST_AUTOMATION_SOCKET"});
    std::vector<std::string> Argv = {TODOLIST_GUI_EXE, "--automation", FAutomationSocket};
    Argv.insert(Argv.end(), Args.begin(), Args.end());

    // Everything the child needs is prepared before fork: after it only exec-safe calls.
    std::vector<char*> ArgvPtr, EnvPtr;
    for (const std::string& A : Argv)
        ArgvPtr.push_back(const_cast<char*>(A.c_str()));
    ArgvPtr.push_back(nullptr);
    for (const std::string& E : Env)
        EnvPtr.push_back(const_cast<char*>(E.c_str()));
    EnvPtr.push_back(nullptr);
    const int Err = ::open(FStderrFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    const int Out =
        ::open(FDir.File("stdout.txt").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    const std::string WorkDir = FDir.File("");

    FPid = ::fork();
    if (FPid == 0) {
        ::dup2(Out, STDOUT_FILENO);
        ::dup2(Err, STDERR_FILENO);
        if (::chdir(WorkDir.c_str()) != 0)
            ::_exit(127);
        ::execve(ArgvPtr[0], ArgvPtr.data(), EnvPtr.data());
        ::_exit(127);
    }
    ::close(Err);
    ::close(Out);
    if (FPid < 0) {
        FError = std::string("fork failed: ") + std::strerror(errno);
        return false;
    }
    if (!WaitUntil([&] { return !Running() || Connect(); })) {
        FError = "the automation socket never answered";
        return false;
    }
    if (FSocket < 0) {
        FError = "the program ended during start-up";
        return false;
    }
    return true;
}

bool TGuiProgram::Running() {
    if (FPid <= 0)
        return false;
    int Status = 0;
    if (::waitpid(FPid, &Status, WNOHANG) == FPid) {
        FPid = -1;
        return false;
    }
    return true;
}

bool TGuiProgram::Connect() {
    Disconnect();
    const int S = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un Address{};
    Address.sun_family = AF_UNIX;
    if (S < 0 || FAutomationSocket.size() >= sizeof Address.sun_path) {
        if (S >= 0)
            ::close(S);
        return false;
    }
    std::memcpy(Address.sun_path, FAutomationSocket.c_str(), FAutomationSocket.size() + 1);
    if (::connect(S, reinterpret_cast<const sockaddr*>(&Address), sizeof Address) != 0) {
        ::close(S);
        return false;
    }
    FSocket = S;
    return true;
}

void TGuiProgram::Disconnect() {
    if (FSocket >= 0)
        ::close(FSocket);
    FSocket = -1;
    FPending.clear();
}

std::string TGuiProgram::Send(const std::string& Request) {
    if (FSocket < 0 && !Connect())
        return {};
    const std::string Line = Request + '\n';
    for (size_t Sent = 0; Sent < Line.size();) {
        const ssize_t N = ::send(FSocket, Line.data() + Sent, Line.size() - Sent, MSG_NOSIGNAL);
        if (N <= 0) {
            Disconnect();
            return {};
        }
        Sent += static_cast<size_t>(N);
    }
    const auto End = Clock::now() + E2EPatience;
    for (;;) {
        if (const size_t Eol = FPending.find('\n'); Eol != std::string::npos) {
            std::string Reply = FPending.substr(0, Eol);
            FPending.erase(0, Eol + 1);
            return Reply;
        }
        const auto Left =
            std::chrono::duration_cast<std::chrono::milliseconds>(End - Clock::now()).count();
        pollfd P{FSocket, POLLIN, 0};
        if (Left <= 0 || ::poll(&P, 1, static_cast<int>(Left)) <= 0) {
            Disconnect();
            return {};
        }
        char Buffer[4096];
        const ssize_t N = ::recv(FSocket, Buffer, sizeof Buffer, 0);
        if (N <= 0) {
            Disconnect();
            return {};
        }
        FPending.append(Buffer, static_cast<size_t>(N));
    }
}

std::optional<std::string> TGuiProgram::Ok(const std::string& Request) {
    const std::string Reply = Send(Request);
    if (Reply == "ok")
        return std::string();
    if (Reply.starts_with("ok "))
        return Reply.substr(3);
    ADD_FAILURE() << "\"" << Request << "\" answered \"" << Reply << "\"\n" << Error();
    return std::nullopt;
}

bool TGuiProgram::WaitForModal(const std::string& ClassName) {
    return WaitUntil([&] { return Send("modal").starts_with("ok " + ClassName + ' '); });
}

int TGuiProgram::Quit() {
    if (Send("quit") != "ok") {
        FError = "quit was not answered";
        return WaitForExit(std::chrono::seconds(1));
    }
    return WaitForExit();
}

int TGuiProgram::WaitForExit(std::chrono::milliseconds Patience) {
    Disconnect();
    if (FPid <= 0)
        return -1;
    int Status = 0;
    const bool Ended =
        WaitUntil([&] { return ::waitpid(FPid, &Status, WNOHANG) == FPid; }, Patience);
    if (!Ended) {
        FError = "the program did not end; killed";
        ::kill(FPid, SIGKILL);
        ::waitpid(FPid, &Status, 0);
        FPid = -1;
        return -1;
    }
    FPid = -1;
    if (WIFSIGNALED(Status))
        FError = "the program died of signal " + std::to_string(WTERMSIG(Status));
    return WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
}

std::string TGuiProgram::Stderr() const {
    return Read(FStderrFile);
}

std::string TGuiProgram::Error() const {
    return (FError.empty() ? std::string() : FError + "\n") + "--- program stderr ---\n" + Stderr();
}

long long TGuiProgram::ItemCount() const {
    const TResult<TQueryAnswer> A = SendQuery(FQuerySocket, qmItemCount, 0);
    return A ? A.Value().Result : -1;
}

std::string TGuiProgram::CellText(int Col, int Index) const {
    const TResult<TQueryAnswer> A = SendQuery(FQuerySocket, qmCellText, MakeQueryParam(Col, Index));
    if (!A || !A.Value().Reply)
        return {};
    std::string Text = A.Value().Reply->Bytes;
    if (!Text.empty() && Text.back() == '\0')
        Text.pop_back();
    return Text;
}

int TGuiProgram::ColumnWidth(int Col) const {
    const TResult<TQueryAnswer> A = SendQuery(FQuerySocket, qmCellRect, MakeQueryParam(Col, 0));
    const std::optional<TQueryRect> R =
        A && A.Value().Reply ? DecodeRect(A.Value().Reply->Bytes) : std::nullopt;
    return R ? R->Right - R->Left : -1;
}

int TGuiProgram::Checked(int Index) const {
    const TResult<TQueryAnswer> A =
        SendQuery(FQuerySocket, qmChecked, static_cast<std::uint32_t>(Index));
    return A ? static_cast<int>(A.Value().Result) : -1;
}

std::vector<std::string> TGuiProgram::Texts() const {
    std::vector<std::string> Out;
    const long long Count = ItemCount();
    for (int I = 0; I < Count; ++I) {
        std::string Text = CellText(0, I);
        // The blank before a comment's closer stays in the item's text; nobody sees it.
        while (!Text.empty() && (Text.back() == ' ' || Text.back() == '\t'))
            Text.pop_back();
        Out.push_back(std::move(Text));
    }
    return Out;
}

int TGuiProgram::IndexOf(const std::string& Text) const {
    const std::vector<std::string> All = Texts();
    for (size_t I = 0; I < All.size(); ++I)
        if (All[I] == Text)
            return static_cast<int>(I);
    return -1;
}

std::string TGuiProgram::Read(const std::string& Path) {
    return ReadBytes(Path);
}
