#include "host/file_io.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <random>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;

std::string ErrnoText(int Error) {
    std::string S = std::strerror(Error);
    if (!S.empty() && std::isupper(static_cast<unsigned char>(S[0])) &&
        !(S.size() > 1 && std::isupper(static_cast<unsigned char>(S[1]))))
        S[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(S[0])));
    return S;
}

TFd::~TFd() {
    if (FFd >= 0)
        ::close(FFd);
}

void TFd::Reset(int Fd) {
    if (FFd >= 0)
        ::close(FFd);
    FFd = Fd;
}

int TFd::Close() {
    const int R = ::close(FFd);
    FFd = -1;
    return R;
}

bool WriteAll(int Fd, std::string_view Text, int& Error) {
    while (!Text.empty()) {
        const ssize_t N = ::write(Fd, Text.data(), std::min<size_t>(Text.size(), size_t(1) << 30));
        if (N < 0) {
            if (errno == EINTR)
                continue;
            Error = errno;
            return false;
        }
        Text.remove_prefix(static_cast<size_t>(N));
    }
    return true;
}

std::string TempFileName(const fs::path& Folder, const std::string& Base) {
    static const char Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 Random{std::random_device{}() ^
                                        std::hash<std::thread::id>{}(std::this_thread::get_id())};
    std::string Suffix(6, 'X');
    for (char& C : Suffix)
        C = Alphabet[Random() % (sizeof Alphabet - 1)];
    return (Folder / ("." + Base.substr(0, 200) + ".todolist-" + Suffix)).string();
}

TResult<std::string> FollowSymlink(const std::string& FileName) {
    std::error_code Ec;
    if (!fs::is_symlink(FileName, Ec))
        return FileName;
    fs::path Resolved = fs::canonical(FileName, Ec);
    if (Ec)
        return TStatus::Error("cannot follow the symbolic link: " + ErrnoText(Ec.value()));
    return Resolved.string();
}

namespace {

std::function<void(const fs::path&)>& BeforeReplaceHook() {
    static std::function<void(const fs::path&)> Hook;
    return Hook;
}

} // namespace

void SetBeforeReplaceHookForTesting(std::function<void(const fs::path& Target)> Hook) {
    BeforeReplaceHook() = std::move(Hook);
}

TStatus WriteFileAtomically(const fs::path& Target, std::string_view Text,
                            const TAtomicWriteOptions& Options, bool* Abandoned,
                            struct stat* Written) {
    if (Abandoned)
        *Abandoned = false;
    fs::path Folder = Target.parent_path();
    if (Folder.empty())
        Folder = ".";
    const struct stat* Existing = Options.Existing;
    // Whenever the mode is set below, only we may read the copy until then.
    const bool SetMode = Existing || Options.NewFileModeExact;
    const mode_t Mode = Existing ? (Existing->st_mode & 07777) : Options.NewFileMode;

    std::string Temp;
    TFd Fd;
    for (int Attempt = 0; Attempt < 100 && Fd.Get() < 0; ++Attempt) {
        Temp = TempFileName(Folder, Target.filename().string());
        const int NewFd =
            ::open(Temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, SetMode ? 0600 : Mode);
        const int E = errno;
        if (NewFd >= 0)
            Fd.Reset(NewFd);
        else if (E != EEXIST)
            return TStatus::Error("cannot create a temporary file in " + Folder.string() + ": " +
                                  ErrnoText(E));
    }
    if (Fd.Get() < 0)
        return TStatus::Error("cannot create a temporary file in " + Folder.string());

    // From here on every failure removes the copy; the file has not been touched.
    auto Fail = [&](const std::string& Why) {
        ::unlink(Temp.c_str());
        return TStatus::Error(Why);
    };
    auto FailWrite = [&](int E) { return Fail("cannot write " + Temp + ": " + ErrnoText(E)); };
    int Error = 0;
    if (!WriteAll(Fd.Get(), Text, Error))
        return FailWrite(Error);
    if (Existing && (Existing->st_uid != ::geteuid() || Existing->st_gid != ::getegid())) {
        [[maybe_unused]] const int Kept = ::fchown(Fd.Get(), Existing->st_uid, Existing->st_gid);
    }
    if (SetMode && ::fchmod(Fd.Get(), Mode) != 0) {
        const int E = errno;
        return Fail("cannot set the permissions of " + Temp + ": " + ErrnoText(E));
    }
    // EINVAL: a file system that cannot sync; the data is as safe as it gets there.
    if (::fsync(Fd.Get()) != 0 && errno != EINVAL)
        return FailWrite(errno);
    if (Written && ::fstat(Fd.Get(), Written) != 0)
        return FailWrite(errno);
    if (Fd.Close() != 0)
        return FailWrite(errno);

    if (BeforeReplaceHook())
        BeforeReplaceHook()(Target);
    if (Options.StillSame && !Options.StillSame()) {
        ::unlink(Temp.c_str());
        if (Abandoned)
            *Abandoned = true;
        return {};
    }
    if (::rename(Temp.c_str(), Target.c_str()) != 0) {
        const int E = errno;
        return Fail("cannot replace the file: " + ErrnoText(E));
    }

    // Make the rename itself durable. The file is in place already; a folder that cannot be
    // synced (some file systems refuse) is no reason to report a failed write.
    TFd Dir(::open(Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (Dir.Get() >= 0)
        (void)::fsync(Dir.Get());
    return {};
}
