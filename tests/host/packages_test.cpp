#include "host/packages.h"

#include "temp_dir.h"
#include "test_packages/probe.h"

#include "host/tools_api.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include <dlfcn.h>

namespace {

using TEvents = std::vector<std::string>;

/// Records what the test packages report; registered for the length of each test.
struct TRecorder : ITestRecorder {
    void Record(const std::string& Event) override { Events.push_back(Event); }
    bool ShouldThrow(const std::string& Event) override { return Throw.count(Event) > 0; }
    TEvents Events;
    std::set<std::string> Throw;
};

/// True while the library FileName is mapped in the process.
bool IsLoaded(const std::string& FileName) {
    void* Handle = ::dlopen(FileName.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!Handle)
        return false;
    ::dlclose(Handle); // RTLD_NOLOAD still counted a reference
    return true;
}

std::string ProbeName() {
    auto Probe = FindOTAService<ITestProbe>();
    return Probe ? Probe->PackageName() : "<none>";
}

class PackagesTest : public testing::Test {
protected:
    void SetUp() override { FIndex = AddOTAExtension(Recorder); }
    void TearDown() override { RemoveOTAExtension(FIndex); }

    std::shared_ptr<TRecorder> Recorder = std::make_shared<TRecorder>();

private:
    int FIndex = -1;
};

const std::string Good = TODO_GOOD_PACKAGE;
const std::string Throwing = TODO_THROWING_PACKAGE;
const std::string NoFinalize = TODO_NO_FINALIZE_PACKAGE;

// A relative name is opened as a file, not searched for on the library path.
TEST_F(PackagesTest, LoadOpensARelativeNameRunsInitializeThenRegisterAndUnloadFinalizes) {
    {
        const auto Cwd = std::filesystem::current_path();
        std::filesystem::current_path(std::filesystem::path(Good).parent_path());
        auto Loaded = TPackage::Load(std::filesystem::path(Good).filename().string());
        std::filesystem::current_path(Cwd);
        ASSERT_TRUE(Loaded) << Loaded.Status().Message();
        EXPECT_EQ(Loaded.Value()->FileName(), Good);
        EXPECT_EQ(Recorder->Events, (TEvents{"good:PackageInitialize", "good:IDERegister"}));
        EXPECT_EQ(ProbeName(), "good");
        EXPECT_TRUE(IsLoaded(Good));
    }
    EXPECT_EQ(Recorder->Events.back(), "good:PackageFinalize");
    EXPECT_EQ(Recorder->Events.size(), 3u);
    EXPECT_EQ(ProbeName(), "<none>");
}

TEST_F(PackagesTest, FailuresNameTheFileAndLeaveNothingLoaded) {
    TTempDir Dir;
    const std::string Missing = Dir.File("missing.so");
    const std::string NotALibrary = Dir.Write("text.so", "this is not a shared library\n");
    struct TCase {
        std::string File;
        std::set<std::string> Throw;
        std::string Reason; // part of the message after the file name
        TEvents Events;     // the entry points that ran
    };
    const TCase Cases[] = {
        {Missing, {}, "No such file", {}},
        {NotALibrary, {}, "", {}},
        {NoFinalize, {}, "PackageFinalize", {}},
        {Throwing,
         {"throwing:PackageInitialize"},
         "throwing:PackageInitialize failed on purpose",
         {"throwing:PackageInitialize"}},
        // IDERegister fails after a finished start-up: the package is shut down again.
        {Throwing,
         {"throwing:IDERegister"},
         "throwing:IDERegister failed on purpose",
         {"throwing:PackageInitialize", "throwing:IDERegister", "throwing:PackageFinalize"}},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.File + " " + C.Reason);
        Recorder->Events.clear();
        Recorder->Throw = C.Throw;
        auto Loaded = TPackage::Load(C.File);
        ASSERT_FALSE(Loaded);
        const std::string& Message = Loaded.Status().Message();
        EXPECT_EQ(Message.rfind(C.File + ": ", 0), 0u) << Message;
        EXPECT_NE(Message.find(C.Reason), std::string::npos) << Message;
        EXPECT_EQ(Message.find('\n'), std::string::npos) << Message;
        EXPECT_EQ(Recorder->Events, C.Events);
        EXPECT_FALSE(IsLoaded(C.File));
    }
}

TEST_F(PackagesTest, AnExceptionFromFinalizeDoesNotEscapeTheUnload) {
    Recorder->Throw = {"throwing:PackageFinalize"};
    auto Loaded = TPackage::Load(Throwing);
    ASSERT_TRUE(Loaded) << Loaded.Status().Message();
    testing::internal::CaptureStderr();
    Loaded.Value().reset();
    const std::string Err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(Err, Throwing + ": throwing:PackageFinalize failed on purpose\n");
    EXPECT_FALSE(IsLoaded(Throwing));
}

TEST_F(PackagesTest, ListLoadsEachFileOnceAndUnloadsInReverseOrder) {
    TPackageList List;
    const std::string Relative =
        std::filesystem::path(Good).parent_path().string() + "/./" +
        std::filesystem::path(Good).filename().string(); // same file, another spelling
    for (const auto& File : {Good, Throwing, Relative, Good})
        EXPECT_TRUE(List.Load(File)) << File;
    ASSERT_EQ(List.Packages().size(), 2u);
    EXPECT_EQ(List.Packages()[0]->FileName(), Good);
    EXPECT_EQ(List.Packages()[1]->FileName(), Throwing);

    const TStatus Failed = List.Load(NoFinalize);
    EXPECT_FALSE(Failed);
    EXPECT_EQ(List.Packages().size(), 2u);

    Recorder->Events.clear();
    List.Clear();
    EXPECT_EQ(Recorder->Events, (TEvents{"throwing:PackageFinalize", "good:PackageFinalize"}));
    EXPECT_TRUE(List.Packages().empty());
    EXPECT_FALSE(IsLoaded(Good));
    EXPECT_FALSE(IsLoaded(Throwing));
}

TEST_F(PackagesTest, ListLoadsAFileReachedByAnotherPathOnceAndAgainAfterAnUnload) {
    // The loader hands back the library it has already for the same file under another name,
    // and would run its entry points again on the loaded state.
    TTempDir Dir;
    const std::filesystem::path Folder = std::filesystem::path(Good).parent_path();
    std::filesystem::create_symlink(Good, Dir.File("link.so"));
    std::filesystem::create_directory_symlink(Folder, Dir.File("folder"));
    std::vector<std::string> Aliases = {
        Dir.File("link.so"),
        Dir.File("folder") + "/" + std::filesystem::path(Good).filename().string(),
    };
    std::error_code Ec; // a hard link needs the same file system: tried where it works
    std::filesystem::create_hard_link(Good, Dir.File("hard.so"), Ec);
    if (!Ec)
        Aliases.push_back(Dir.File("hard.so"));
    // Either way round; an unloaded package loads again and registers its services anew.
    for (const std::string& Alias : Aliases)
        for (const bool AliasFirst : {false, true}) {
            SCOPED_TRACE(Alias + (AliasFirst ? " first" : " second"));
            Recorder->Events.clear();
            {
                TPackageList List;
                ASSERT_TRUE(List.Load(AliasFirst ? Alias : Good));
                EXPECT_TRUE(List.Load(AliasFirst ? Good : Alias));
                EXPECT_EQ(List.Packages().size(), 1u);
                EXPECT_EQ(ProbeName(), "good");
            }
            EXPECT_EQ(Recorder->Events, (TEvents{"good:PackageInitialize", "good:IDERegister",
                                                 "good:PackageFinalize"}));
            EXPECT_FALSE(IsLoaded(Good));
            EXPECT_EQ(ProbeName(), "<none>");
        }
}

TEST(PackagesInFolder, ListsSharedLibrariesByName) {
    TTempDir Dir;
    for (const char* Name : {"b.so", "a.so", "c.so.1", "notes.txt", "so", "d.SO"})
        Dir.Write(Name, "");
    std::filesystem::create_directory(Dir.File("folder.so"));
    std::filesystem::create_symlink(Dir.File("a.so"), Dir.File("link.so"));
    EXPECT_EQ(PackagesInFolder(Dir.File("")),
              (std::vector<std::string>{Dir.File("a.so"), Dir.File("b.so"), Dir.File("link.so")}));
    EXPECT_TRUE(PackagesInFolder(Dir.File("missing")).empty());
    EXPECT_TRUE(PackagesInFolder(Dir.File("a.so")).empty()); // a file, not a folder
}

} // namespace
