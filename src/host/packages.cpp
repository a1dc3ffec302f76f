#include "host/packages.h"

#include "host/module.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <iostream>
#include <system_error>

#include <dlfcn.h>
#include <sys/stat.h>

namespace {

using TEntryPoint = void (*)();

/// The text of the last dl* failure, or Fallback when there is none.
std::string DlError(const char* Fallback) {
    const char* Text = ::dlerror();
    return Text ? Text : Fallback;
}

/// "<file>: <reason>", without naming the file twice when the loader's own text already starts
/// with it (dlopen's messages usually do).
std::string Failure(const std::string& FileName, std::string Reason) {
    const std::string Prefix = FileName + ": ";
    if (Reason.starts_with(Prefix))
        return Reason;
    return Prefix + Reason;
}

/// Runs Entry; an exception becomes the message "<file>: <what>", success an empty string.
std::string Call(TEntryPoint Entry, const std::string& FileName) {
    try {
        Entry();
        return {};
    } catch (const std::exception& E) {
        return Failure(FileName, E.what());
    } catch (...) {
        return Failure(FileName, "unknown exception");
    }
}

/// The address of the entry point Name, or null with Error set to the loader's reason.
TEntryPoint FindEntry(void* Handle, const char* Name, std::string& Error) {
    ::dlerror(); // a null symbol is only an error when dlerror says so
    void* Address = ::dlsym(Handle, Name);
    if (const char* Text = ::dlerror()) {
        Error = Text;
        return nullptr;
    }
    if (!Address)
        Error = std::string("entry point ") + Name + " is null";
    // POSIX guarantees that a data pointer from dlsym converts to a function pointer.
    return reinterpret_cast<TEntryPoint>(Address);
}

/// Closes Handle, reporting a failure on stderr (there is nobody else left to tell).
void Close(void* Handle, const std::string& FileName) {
    if (::dlclose(Handle) != 0)
        std::cerr << Failure(FileName, DlError("cannot close the library")) << '\n';
}

} // namespace

std::optional<TFileIdentity> FileIdentityOf(const std::string& FileName) {
    struct stat Info {};
    if (::stat(FileName.c_str(), &Info) != 0)
        return std::nullopt;
    return TFileIdentity{static_cast<std::uint64_t>(Info.st_dev),
                         static_cast<std::uint64_t>(Info.st_ino)};
}

TPackage::TPackage(std::string FileName, void* Handle, std::optional<TFileIdentity> Identity)
    : FFileName(std::move(FileName)), FHandle(Handle), FIdentity(Identity) {}

TResult<std::unique_ptr<TPackage>> TPackage::Load(const std::string& FileName) {
    // A name without a slash would make dlopen search the library path instead of opening the
    // file meant; the absolute name also keys the package in TPackageList.
    const std::string Name = NormalizeFileName(FileName);
    if (Name.empty())
        return TStatus::Error("cannot load a package without a file name");

    ::dlerror();
    // RTLD_LOCAL: packages do not see each other's symbols; they meet through the host only.
    void* Handle = ::dlopen(Name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!Handle)
        return TStatus::Error(Failure(Name, DlError("cannot open the library")));
    // Taken after dlopen, from the file it opened (unless it was replaced in between).
    const std::optional<TFileIdentity> Identity = FileIdentityOf(Name);

    std::string Error;
    TEntryPoint Initialize = FindEntry(Handle, "PackageInitialize", Error);
    TEntryPoint Finalize = Initialize ? FindEntry(Handle, "PackageFinalize", Error) : nullptr;
    if (!Initialize || !Finalize) {
        Close(Handle, Name);
        return TStatus::Error(Failure(Name, Error));
    }
    std::string Ignored; // IDERegister is optional
    TEntryPoint Register = FindEntry(Handle, "IDERegister", Ignored);

    if (Error = Call(Initialize, Name); !Error.empty()) {
        // PackageInitialize did not finish: its shut-downs must not run on half a start-up.
        Close(Handle, Name);
        return TStatus::Error(Error);
    }
    if (Register) {
        if (Error = Call(Register, Name); !Error.empty()) {
            if (std::string FinalizeError = Call(Finalize, Name); !FinalizeError.empty())
                std::cerr << FinalizeError << '\n';
            Close(Handle, Name);
            return TStatus::Error(Error);
        }
    }
    return std::unique_ptr<TPackage>(new TPackage(Name, Handle, Identity));
}

TPackage::~TPackage() {
    std::string Error;
    if (TEntryPoint Finalize = FindEntry(FHandle, "PackageFinalize", Error))
        Error = Call(Finalize, FFileName);
    else
        Error = Failure(FFileName, Error);
    if (!Error.empty())
        std::cerr << Error << '\n';
    Close(FHandle, FFileName);
}

TStatus TPackageList::Load(const std::string& FileName) {
    const std::string Name = NormalizeFileName(FileName);
    // The loader hands back a library it has mapped already when the file is the same one,
    // whatever the path: compared by identity, against our own packages only. Asking the
    // loader instead (RTLD_NOLOAD) would also find libraries it keeps mapped for reasons of
    // its own, such as one that was unloaded but stays because of a unique symbol.
    const std::optional<TFileIdentity> Identity = FileIdentityOf(Name);
    if (std::any_of(FPackages.begin(), FPackages.end(), [&](const auto& P) {
            return P->FileName() == Name || (Identity && P->Identity() == Identity);
        }))
        return {};
    auto Loaded = TPackage::Load(Name);
    if (!Loaded)
        return Loaded.Status();
    FPackages.push_back(std::move(Loaded.Value()));
    return {};
}

void TPackageList::Clear() {
    // A later package may use what an earlier one registered, so it goes first.
    while (!FPackages.empty()) {
        auto Last = std::move(FPackages.back());
        FPackages.pop_back();
        Last.reset();
    }
}

std::vector<std::string> PackagesInFolder(const std::string& Folder) {
    std::vector<std::string> Files;
    std::error_code Ec;
    std::filesystem::directory_iterator It(Folder, Ec), End;
    for (; !Ec && It != End; It.increment(Ec)) {
        const auto& Path = It->path();
        std::error_code TypeEc;
        if (Path.extension() == ".so" && It->is_regular_file(TypeEc))
            Files.push_back(Path.string());
    }
    std::sort(Files.begin(), Files.end());
    return Files;
}
