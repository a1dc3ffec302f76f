#include "host/module.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <barrier>
#include <thread>

namespace fs = std::filesystem;

namespace {

/// Closes what a test left open, so that the process-wide table starts empty for the next.
class ModuleTest : public testing::Test {
protected:
    void TearDown() override {
        SetActiveModule(nullptr);
        for (const auto& Name : Dir.Entries())
            CloseModule(Dir.File(Name));
    }
    TTempDir Dir;
};

} // namespace

TEST_F(ModuleTest, SpellingsOfOneFileShareOneModule) {
    fs::create_directory(Dir.File("sub"));
    const std::string Path = Dir.Write("a.pas", "{ TODO : x }");
    const auto Module = OpenModule(Dir.File("sub/../a.pas")).Value();
    ASSERT_NE(Module, nullptr);
    EXPECT_EQ(Module->GetFileName(), Path);
    EXPECT_EQ(Module->GetBuffer()->GetText(), "{ TODO : x }");
    EXPECT_EQ(FindDocModule(Dir.File("./a.pas")), Module);
    EXPECT_EQ(OpenModule(Path.substr(0, Path.size() - 5) + "/a.pas").Value(), Module); // "//"
    EXPECT_EQ(NormalizeFileName("x.pas"), (fs::current_path() / "x.pas").string());
    CloseModule(Dir.File("sub/./../a.pas"));
    EXPECT_EQ(FindDocModule(Path), nullptr);

    const std::string Missing = Dir.File("missing.pas");
    EXPECT_EQ(OpenModule(Missing).Status().Message(),
              "cannot read " + Missing + ": no such file or directory");
    EXPECT_EQ(FindDocModule(Missing), nullptr);
    EXPECT_TRUE(FileExists(Path));
    EXPECT_FALSE(FileExists(Missing) || FileExists(Dir.File("sub")) || FileExists(""));
}

TEST_F(ModuleTest, OnlyAModuleWithAViewHasAnEditBuffer) {
    const std::string A = Dir.Write("a.pas", "a"), B = Dir.Write("b.c", "b");
    const auto Module = OpenModule(A).Value();
    EXPECT_EQ(FindEditBuffer(A), nullptr);

    ASSERT_TRUE(CallDefaultOpenProc(A, false).Ok());
    EXPECT_EQ(FindDocModule(A), Module) << "a view reuses the loaded module";
    EXPECT_EQ(FindEditBuffer(A), Module->GetBuffer());
    EXPECT_EQ(ActiveModule(), nullptr);
    ASSERT_TRUE(CallDefaultOpenProc(A, true).Ok());
    EXPECT_EQ(ActiveModule(), Module);

    CloseEditorView(A);
    EXPECT_EQ(FindEditBuffer(A), nullptr);
    EXPECT_EQ(FindDocModule(A), Module) << "closing the view keeps the module loaded";
    EXPECT_EQ(ActiveModule(), nullptr);

    ASSERT_TRUE(CallDefaultOpenProc(B, true).Ok());
    const auto BModule = FindDocModule(B);
    CloseModule(B);
    EXPECT_EQ(ActiveModule(), nullptr);
    EXPECT_FALSE(BModule->HasView());
    EXPECT_EQ(FindEditBuffer(B), nullptr);
    EXPECT_FALSE(CallDefaultOpenProc(Dir.File("none.pas"), true).Ok());
}

TEST_F(ModuleTest, ThreadsOpeningAndClosingModulesAgree) {
    constexpr int Files = 5, Threads = 6, Rounds = 300;
    for (int F = 0; F < Files; ++F)
        Dir.Write("f" + std::to_string(F) + ".pas", std::to_string(F));
    std::barrier Start(Threads);
    std::vector<std::shared_ptr<TModule>> First(Threads);
    std::atomic<int> Failures{0};
    std::vector<std::jthread> Pool;
    for (int T = 0; T < Threads; ++T)
        Pool.emplace_back([&, T] {
            // All open one file at once under two spellings, then open and close files in turn.
            Start.arrive_and_wait();
            First[T] = OpenModule(Dir.File(T % 2 ? "f0.pas" : "x/../f0.pas")).Value();
            Start.arrive_and_wait();
            for (int R = 0; R < Rounds; ++R) {
                const std::string F = std::to_string((T + R) % Files);
                const std::string Name = Dir.File("f" + F + ".pas");
                auto Opened = OpenModule(R % 3 ? Name : Dir.File("x/../f" + F + ".pas"));
                Failures += !Opened.Ok() || Opened.Value()->GetFileName() != Name ||
                            Opened.Value()->GetBuffer()->GetText() != F;
                Failures += R % 4 == 0 && !CallDefaultOpenProc(Name, R % 8 == 0).Ok();
                (void)FindEditBuffer(Name);
                if (R % 5 == 0)
                    CloseEditorView(Name);
                CloseModule(Name);
            }
        });
    Pool.clear();
    EXPECT_NE(First[0], nullptr);
    EXPECT_EQ(std::count(First.begin(), First.end(), First[0]), Threads) << "one module per file";
    EXPECT_EQ(Failures, 0);
    for (const auto& Name : Dir.Entries())
        EXPECT_EQ(FindDocModule(Dir.File(Name)), nullptr);
    EXPECT_EQ(ActiveModule(), nullptr);
}
