#include "items/source_todo_manager.h"

#include "fake_updater.h"
#include "host/errors.h"
#include "host/project.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

TEST(SourceToDoManagerTest, IsManagerIgnoresCaseRenameDoesNot) {
    auto M = TSourceToDoManager::Create("/src/Unit1.pas", "/src/Unit1.inc");
    struct TCase {
        std::string Name;
        bool Expected;
    };
    const TCase Cases[] = {
        {"/src/Unit1.pas", true}, {"/SRC/unit1.PAS", true},   {"/src/unit1.inc", true},
        {"/src/Unit1.pa", false}, {"/src/Unit1.pas ", false}, {"", false},
        {"/src/ÄÖ.pas", false},
    };
    for (const TCase& C : Cases)
        EXPECT_EQ(M->IsManager(C.Name), C.Expected) << C.Name;
    EXPECT_TRUE(SameFileNameText("/a/x\xff.pas", "/A/X\xff.PAS")) << "invalid bytes compare too";

    TParseThreadScope Scope;
    M->SetIsParsed(true);
    Scope.Thread.Count = 0;
    M->Rename("/SRC/unit1.pas", "/src/New.pas");
    EXPECT_EQ(M->GetFileName(), "/src/Unit1.pas") << "rename matches exactly";
    EXPECT_EQ(Scope.Thread.Count, 0);
    M->Rename("/src/Unit1.pas", "/src/New.pas");
    EXPECT_EQ(M->GetFileName(), "/src/New.pas");
    EXPECT_EQ(M->GetSourceFileName(), "/src/Unit1.inc");
    EXPECT_EQ(Scope.Thread.Count, 1);
    EXPECT_TRUE(M->GetIsParsed()) << "rename leaves the parsed flag alone";
}

TEST(SourceToDoManagerTest, EmptySourceNameIsTheFileName) {
    TFakeFile File("{ TODO: x }", "/src/Unit2.pas");
    EXPECT_EQ(File.Manager->GetSourceFileName(), "/src/Unit2.pas");
    EXPECT_EQ(File.Item(0)->GetModuleName(), "/src/Unit2.pas");
    auto Two = TSourceToDoManager::Create("/src/form.dfm", "/src/form.pas");
    Two->SetUpdater(File.Updater);
    Two->Parse();
    EXPECT_EQ(Two->GetItem(0)->GetModuleName(), "/src/form.pas");
}

TEST(SourceToDoManagerTest, RewritesClearParsedWithoutWakingTheParseThread) {
    TParseThreadScope Scope;
    TFakeFile File("ab{ TODO: x }cd");
    ASSERT_TRUE(File.Manager->GetIsParsed());
    EXPECT_EQ(Scope.Thread.Count, 0);

    // Positions are "comment start + 1-based index": the updater gets them minus 1.
    ASSERT_TRUE(File.Manager->Add(3, "XY", 1));
    EXPECT_EQ(File.Updater->Text, "abXY{ TODO: x }cd");
    EXPECT_FALSE(File.Manager->GetIsParsed());
    File.Manager->Parse();
    ASSERT_TRUE(File.Manager->Delete(3, 5, 1));
    EXPECT_EQ(File.Updater->Text, "ab{ TODO: x }cd");
    EXPECT_FALSE(File.Manager->GetIsParsed());
    EXPECT_EQ(Scope.Thread.Count, 0);

    File.Manager->Parse();
    File.Manager->SetIsParsed(false);
    EXPECT_EQ(Scope.Thread.Count, 1);
    EXPECT_FALSE(File.Item(0)->IsValid());
}

TEST(SourceToDoManagerTest, ParseBuildsItemsInFileOrder) {
    TFakeFile File("{ TODO: one }\n// not one\n/* DONE 3: two */ (* todo -oA: three *)\n"
                   "// TODO: four\n{ unterminated TODO: five");
    ASSERT_EQ(File.Manager->GetItemCount(), 4);
    const char* Texts[] = {"one ", "two ", "three ", "four"};
    int Last = -1;
    for (int I = 0; I < 4; ++I) {
        EXPECT_EQ(File.Manager->GetItem(I)->GetText(), Texts[I]);
        EXPECT_GT(File.Manager->GetItem(I)->GetData(), Last);
        Last = File.Manager->GetItem(I)->GetData();
    }
    EXPECT_THROW(File.Manager->GetItem(4), EListError);
    EXPECT_THROW(File.Manager->GetItem(-1), EListError);

    // An item of an earlier parse is out of date even though the manager is parsed again.
    auto Old = File.Manager->GetItem(0);
    File.Manager->Parse();
    EXPECT_TRUE(File.Manager->GetIsParsed());
    EXPECT_FALSE(Old->IsValid());
    EXPECT_TRUE(File.Manager->GetItem(0)->IsValid());
}

TEST(SourceToDoManagerTest, WithoutUpdaterParseEmptiesTheListAndKeepsTheFlag) {
    TFakeFile File("{ TODO: x }", "/virtual/notes.xyz");
    ASSERT_EQ(File.Manager->GetItemCount(), 1);
    File.Manager->SetUpdater(nullptr);
    File.Manager->Parse();
    EXPECT_EQ(File.Manager->GetItemCount(), 0);
    EXPECT_TRUE(File.Manager->GetIsParsed());
    EXPECT_EQ(File.Manager->GetUpdater(), nullptr);

    auto Fresh = TSourceToDoManager::Create("/virtual/other.xyz");
    Fresh->Parse();
    EXPECT_FALSE(Fresh->GetIsParsed());
    EXPECT_FALSE(Fresh->Add(1, "x", 1));
    EXPECT_FALSE(Fresh->Delete(1, 2, 1));
}

TEST(SourceToDoManagerTest, AddItemAddsNothing) {
    TFakeFile File("{ TODO: x }");
    EXPECT_TRUE(File.Manager->AddItem(1, "TODO: new"));
    EXPECT_EQ(File.Updater->Text, "{ TODO: x }");
    EXPECT_TRUE(File.Manager->GetIsParsed());
}

class TFileSetProject : public IProject {
public:
    std::string GetFileName() override { return "/virtual/p.dpr"; }
    std::string GetName() override { return "p"; }
    bool Contains(const std::string& FileName) override { return FileName == "/virtual/in.pas"; }
};

TEST(SourceToDoManagerTest, ProjectChangedDropsManagersOutsideTheProject) {
    std::vector<TRef<IToDoManager>> Dropped;
    DeleteToDoManagerProc = [&](const TRef<IToDoManager>& M) { Dropped.push_back(M); };
    auto In = TSourceToDoManager::Create("/virtual/in.pas");
    auto Out = TSourceToDoManager::Create("/virtual/out.pas");

    In->ProjectChanged(); // no active project: every manager goes
    MainProjectGroup().SetActiveProject(std::make_shared<TFileSetProject>());
    EXPECT_TRUE(In->InProject());
    EXPECT_FALSE(Out->InProject());
    In->ProjectChanged();
    Out->ProjectChanged();
    MainProjectGroup().SetActiveProject(nullptr);
    DeleteToDoManagerProc = nullptr;
    Out->ProjectChanged(); // no hook: nothing happens

    ASSERT_EQ(Dropped.size(), 2u);
    EXPECT_EQ(Dropped[0], TRef<IToDoManager>(In));
    EXPECT_EQ(Dropped[1], TRef<IToDoManager>(Out));
}

// The window reads items while the parse thread rebuilds the list: a reader sees the old list
// or the new one, never a torn one.
TEST(SourceToDoManagerTest, ParseRunsBesideReaders) {
    auto Updater = std::make_shared<TFakeUpdater>("{ TODO: a } { TODO: b } { TODO: c }");
    auto M = TSourceToDoManager::Create("/virtual/t.pas");
    M->SetUpdater(Updater);
    M->Parse();
    std::atomic<bool> Stop{false};
    std::thread Reader([&] {
        while (!Stop) {
            for (int I = 0; I < M->GetItemCount(); ++I) {
                try {
                    auto Item = M->GetItem(I);
                    (void)Item->GetText();
                    (void)Item->IsValid();
                } catch (const EListError&) {
                    // The list was swapped between the count and the read.
                }
            }
        }
    });
    for (int I = 0; I < 200; ++I)
        M->Parse();
    Stop = true;
    Reader.join();
    EXPECT_EQ(M->GetItemCount(), 3);
}

} // namespace
