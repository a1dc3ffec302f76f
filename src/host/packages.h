#pragma once
// Run-time packages: shared libraries the host loads at start-up and unloads at exit. A package
// and the host meet only through the host's interfaces; the package exports three C entry
// points the host calls:
//
//   extern "C" void PackageInitialize(); // its units' start-ups, in the package's fixed order
//   extern "C" void IDERegister();       // optional: registers what needs the host running
//   extern "C" void PackageFinalize();   // its units' shut-downs, in the reverse order
//
// An entry point may throw; the host reports the error as the package's.

#include "host/status.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

/// A file as the file system knows it, whatever path (symbolic links, other spellings, hard
/// links) reaches it.
struct TFileIdentity {
    std::uint64_t Device = 0;
    std::uint64_t Inode = 0;
    bool operator==(const TFileIdentity&) const = default;
};

/// The identity of the file FileName names, symbolic links followed; nullopt when it cannot be
/// examined (missing, no permission).
std::optional<TFileIdentity> FileIdentityOf(const std::string& FileName);

/// One loaded package. Destroying it unloads it: PackageFinalize, then the library is closed.
/// Main thread only.
class TPackage {
public:
    /// Opens the shared library FileName, runs PackageInitialize and then IDERegister. Fails
    /// with a clear message, leaving nothing loaded, when the file cannot be opened, lacks
    /// PackageInitialize or PackageFinalize, or an entry point throws (PackageFinalize is then
    /// called when PackageInitialize had finished). Messages start with the file name. Loading
    /// a library that is loaded already runs its entry points again: TPackageList prevents it.
    static TResult<std::unique_ptr<TPackage>> Load(const std::string& FileName);
    ~TPackage();
    TPackage(const TPackage&) = delete;
    TPackage& operator=(const TPackage&) = delete;

    /// The library's file name, absolute and normal (NormalizeFileName).
    const std::string& FileName() const { return FFileName; }
    /// The library file's identity when it was loaded (nullopt when it could not be examined).
    const std::optional<TFileIdentity>& Identity() const { return FIdentity; }

private:
    TPackage(std::string FileName, void* Handle, std::optional<TFileIdentity> Identity);

    std::string FFileName;
    void* FHandle; // from dlopen; closed by the destructor
    std::optional<TFileIdentity> FIdentity;
};

/// The packages of the program in load order. Unloads them in the reverse order when cleared
/// or destroyed.
class TPackageList {
public:
    ~TPackageList() { Clear(); }
    /// Loads FileName and appends it; a package already loaded succeeds without loading it
    /// again: the same normalised name, or the same file under another path (a symbolic or
    /// hard link), which the loader would hand back as the loaded library, running its entry
    /// points a second time.
    TStatus Load(const std::string& FileName);
    /// Unloads every package, last loaded first.
    void Clear();
    const std::vector<std::unique_ptr<TPackage>>& Packages() const { return FPackages; }

private:
    std::vector<std::unique_ptr<TPackage>> FPackages;
};

/// The shared libraries (*.so) of Folder in name order; empty when the folder is missing.
std::vector<std::string> PackagesInFolder(const std::string& Folder);
