#pragma once

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

/// A fresh folder under the system's temporary folder, removed with everything in it (write
/// permission restored first) when the object goes away.
class TTempDir {
public:
    TTempDir() {
        static std::atomic<int> Counter{0};
        std::random_device Random;
        FPath = std::filesystem::temp_directory_path() /
                ("todolist-host-test-" + std::to_string(::getpid()) + "-" +
                 std::to_string(Counter++) + "-" + std::to_string(Random()));
        std::filesystem::create_directories(FPath);
    }
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;
    ~TTempDir() {
        std::error_code Ec;
        namespace fs = std::filesystem;
        fs::permissions(FPath, fs::perms::owner_all, fs::perm_options::add, Ec);
        for (auto It = fs::recursive_directory_iterator(FPath, Ec);
             !Ec && It != fs::recursive_directory_iterator(); It.increment(Ec))
            fs::permissions(It->path(), fs::perms::owner_all, fs::perm_options::add, Ec);
        fs::remove_all(FPath, Ec);
    }

    const std::filesystem::path& Path() const { return FPath; }
    std::string File(std::string_view Name) const { return (FPath / Name).string(); }

    /// Writes Bytes to Name (binary) and returns its path.
    std::string Write(std::string_view Name, std::string_view Bytes) const {
        std::string P = File(Name);
        std::ofstream(P, std::ios::binary).write(Bytes.data(), std::streamsize(Bytes.size()));
        return P;
    }

    /// Names of the entries in the folder (not recursive), sorted.
    std::vector<std::string> Entries() const {
        std::vector<std::string> Names;
        for (const auto& E : std::filesystem::directory_iterator(FPath))
            Names.push_back(E.path().filename().string());
        std::sort(Names.begin(), Names.end());
        return Names;
    }

private:
    std::filesystem::path FPath;
};

/// The bytes of a file, or "<missing>" when it cannot be opened.
inline std::string ReadBytes(const std::string& Path) {
    std::ifstream In(Path, std::ios::binary);
    if (!In)
        return "<missing>";
    return std::string(std::istreambuf_iterator<char>(In), {});
}
