#include "host/module.h"

#include "host/source_updater.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <barrier>
#include <filesystem>
#include <thread>

namespace fs = std::filesystem;

namespace {

/// Closes whatever a test left open, so the process-wide table starts empty for the next.
class ModuleTest : public ::testing::Test {
protected:
    void TearDown() override {
        SetActiveModule(nullptr);
        for (const auto& Name : FOpened)
            CloseModule(Name);
    }
    std::string Track(std::string Name) {
        FOpened.push_back(Name);
        return Name;
    }

    TTempDir Dir;

private:
    std::vector<std::string> FOpened;
};

} // namespace

TEST_F(ModuleTest, NormalizeFileNameIsAbsoluteAndLexical) {
    std::string Cwd = fs::current_path().string();
    struct TCase {
        std::string In, Out;
    } Cases[] = {
        {"/a/b/../c.pas", "/a/c.pas"},
        {"/a/./b//c.pas", "/a/b/c.pas"},
        {"x.pas", Cwd + "/x.pas"},
        {"./sub/../x.pas", Cwd + "/x.pas"},
        {"", ""},
    };
    for (const auto& C : Cases)
        EXPECT_EQ(NormalizeFileName(C.In), C.Out) << C.In;

    // A symbolic link keeps its own name: the module is keyed by what the user opened.
    fs::create_directory(Dir.File("real"));
    fs::create_directory_symlink(Dir.File("real"), Dir.File("link"));
    EXPECT_EQ(NormalizeFileName(Dir.File("link/a.pas")), Dir.File("link/a.pas"));
}

TEST_F(ModuleTest, DifferentSpellingsFindTheSameModule) {
    fs::create_directory(Dir.File("a"));
    std::string Path = Track(Dir.Write("a.pas", "{ TODO : x }"));
    auto Opened = OpenModule(Dir.File("a/../a.pas"));
    ASSERT_TRUE(Opened.Ok()) << Opened.Status().Message();
    auto Module = Opened.Value();
    EXPECT_EQ(Module->GetFileName(), Path);
    EXPECT_EQ(Module->GetBuffer()->GetText(), "{ TODO : x }");
    EXPECT_EQ(Module->GetBuffer()->GetFileName(), Path);

    EXPECT_EQ(FindDocModule(Path), Module);
    EXPECT_EQ(FindDocModule(Dir.File("./a.pas")), Module);
    EXPECT_EQ(OpenModule(Dir.File(".//a.pas")).Value(), Module);

    CloseModule(Dir.File("a/./../a.pas"));
    EXPECT_EQ(FindDocModule(Path), nullptr);
    CloseModule(Path); // closing again changes nothing
}

TEST_F(ModuleTest, OpenModuleReportsAnUnreadableFile) {
    std::string Missing = Track(Dir.File("missing.pas"));
    auto Opened = OpenModule(Missing);
    ASSERT_FALSE(Opened.Ok());
    EXPECT_EQ(Opened.Status().Message(), "cannot read " + Missing + ": no such file or directory");
    EXPECT_EQ(FindDocModule(Missing), nullptr);
}

TEST_F(ModuleTest, ViewsDecideWhatTheEditorShows) {
    std::string A = Track(Dir.Write("a.pas", "a"));
    std::string B = Track(Dir.Write("b.c", "b"));

    auto Module = OpenModule(A).Value();
    EXPECT_FALSE(Module->HasView());
    EXPECT_EQ(FindEditBuffer(A), nullptr) << "a module without a view has no editor buffer";

    ASSERT_TRUE(CallDefaultOpenProc(A, false).Ok());
    EXPECT_EQ(FindDocModule(A), Module) << "opening a view reuses the loaded module";
    EXPECT_TRUE(Module->HasView());
    EXPECT_EQ(FindEditBuffer(A), Module->GetBuffer());
    EXPECT_EQ(ActiveModule(), nullptr);

    ASSERT_TRUE(CallDefaultOpenProc(B, true).Ok());
    EXPECT_EQ(ActiveModule(), FindDocModule(B));
    ASSERT_TRUE(CallDefaultOpenProc(A, true).Ok());
    EXPECT_EQ(ActiveModule(), Module);

    CloseEditorView(A);
    EXPECT_EQ(FindEditBuffer(A), nullptr);
    EXPECT_EQ(FindDocModule(A), Module) << "closing the view keeps the module loaded";
    EXPECT_EQ(ActiveModule(), nullptr);

    ASSERT_TRUE(CallDefaultOpenProc(B, true).Ok());
    auto BModule = FindDocModule(B);
    CloseModule(B);
    EXPECT_EQ(ActiveModule(), nullptr) << "a closed module is not active any more";
    EXPECT_FALSE(BModule->HasView());
    EXPECT_EQ(FindEditBuffer(B), nullptr);

    EXPECT_FALSE(CallDefaultOpenProc(Track(Dir.File("none.pas")), true).Ok());
}

TEST_F(ModuleTest, FileExistsOnlyForRegularFiles) {
    std::string File = Dir.Write("a.pas", "");
    fs::create_directory(Dir.File("folder.pas"));
    EXPECT_TRUE(FileExists(File));
    EXPECT_FALSE(FileExists(Dir.File("folder.pas")));
    EXPECT_FALSE(FileExists(Dir.File("missing.pas")));
    EXPECT_FALSE(FileExists(""));
}

TEST_F(ModuleTest, ThreadsOpeningOneFileShareOneModule) {
    std::string Path = Track(Dir.Write("shared.pas", "x"));
    constexpr int Threads = 8;
    std::barrier Start(Threads);
    std::vector<std::shared_ptr<TModule>> Got(Threads);
    std::vector<std::thread> Pool;
    for (int T = 0; T < Threads; ++T)
        Pool.emplace_back([&, T] {
            Start.arrive_and_wait();
            auto Opened = OpenModule(T % 2 ? Path : Dir.File("./shared.pas"));
            if (Opened.Ok())
                Got[T] = Opened.Value();
        });
    for (auto& Th : Pool)
        Th.join();
    ASSERT_NE(Got[0], nullptr);
    for (const auto& M : Got)
        EXPECT_EQ(M, Got[0]);
    EXPECT_EQ(FindDocModule(Path), Got[0]);
}

TEST_F(ModuleTest, ConcurrentOpenAndCloseKeepTheTableConsistent) {
    constexpr int Files = 5, Threads = 6, Rounds = 300;
    std::vector<std::string> Names;
    for (int F = 0; F < Files; ++F)
        Names.push_back(Track(Dir.Write("f" + std::to_string(F) + ".pas", std::to_string(F))));
    std::atomic<int> Failures{0};
    std::vector<std::thread> Pool;
    for (int T = 0; T < Threads; ++T)
        Pool.emplace_back([&, T] {
            for (int R = 0; R < Rounds; ++R) {
                int F = (T + R) % Files;
                const std::string& Name = Names[F];
                auto Opened = OpenModule(
                    R % 3 ? Name : Dir.File("x/../" + fs::path(Name).filename().string()));
                if (!Opened.Ok() || Opened.Value()->GetFileName() != Name ||
                    Opened.Value()->GetBuffer()->GetText() != std::to_string(F))
                    ++Failures;
                if (R % 4 == 0 && !CallDefaultOpenProc(Name, R % 8 == 0).Ok())
                    ++Failures;
                if (auto Found = FindDocModule(Name); Found && Found->GetFileName() != Name)
                    ++Failures;
                if (auto Active = ActiveModule(); Active && Active->GetFileName().empty())
                    ++Failures;
                (void)FindEditBuffer(Name);
                if (R % 5 == 0)
                    CloseEditorView(Name);
                CloseModule(Name);
            }
        });
    for (auto& Th : Pool)
        Th.join();
    EXPECT_EQ(Failures, 0);
    for (const auto& Name : Names)
        EXPECT_EQ(FindDocModule(Name), nullptr);
    EXPECT_EQ(ActiveModule(), nullptr);
}
