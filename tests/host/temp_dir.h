#pragma once

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

/// A fresh folder under the system's temporary folder, removed with its contents at the end.
class TTempDir {
public:
    TTempDir() {
        static std::atomic<int> Counter{0};
        FPath = std::filesystem::temp_directory_path() /
                ("todolist-host-test-" + std::to_string(::getpid()) + "-" +
                 std::to_string(Counter++) + "-" + std::to_string(std::random_device()()));
        std::filesystem::create_directories(FPath);
    }
    ~TTempDir() {
        std::error_code Ec;
        std::filesystem::remove_all(FPath, Ec);
    }

    std::string File(std::string_view Name) const { return (FPath / Name).string(); }

    /// Writes Bytes to Name and returns its path.
    std::string Write(std::string_view Name, std::string_view Bytes) const {
        std::ofstream(File(Name), std::ios::binary).write(Bytes.data(), std::ssize(Bytes));
        return File(Name);
    }

    /// The names in the folder, sorted.
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

/// Sets (or, for a null Value, removes) an environment variable for one scope.
struct TEnvGuard {
    TEnvGuard(const char* Name, const char* Value) : FName(Name) {
        if (const char* Old = std::getenv(Name))
            FOld = Old;
        Value ? ::setenv(Name, Value, 1) : ::unsetenv(Name);
    }
    ~TEnvGuard() { FOld ? ::setenv(FName, FOld->c_str(), 1) : ::unsetenv(FName); }
    const char* FName;
    std::optional<std::string> FOld;
};

/// The bytes of a file, or "<missing>".
inline std::string ReadBytes(const std::string& Path) {
    std::ifstream In(Path, std::ios::binary);
    return In ? std::string(std::istreambuf_iterator<char>(In), {}) : "<missing>";
}
