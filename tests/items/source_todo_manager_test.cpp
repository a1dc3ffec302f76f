#include "items/source_todo_manager.h"

#include "fake_updater.h"
#include "host/errors.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

TEST(SourceToDoManagerTest, IsManagerIgnoresCaseRenameDoesNot) {
    auto M = TSourceToDoManager::Create("/src/Unit1.pas", "/src/Unit1.inc");
    for (const char* Yes : {"/src/Unit1.pas", "/SRC/unit1.PAS", "/src/unit1.inc"})
        EXPECT_TRUE(M->IsManager(Yes)) << Yes;
    for (const char* No : {"/src/Unit1.pas ", "/src/Unit1.pa", ""})
        EXPECT_FALSE(M->IsManager(No)) << No;
    EXPECT_TRUE(SameFileNameText("/a/x\xff.pas", "/A/X\xff.PAS")) << "invalid bytes compare too";
    EXPECT_EQ(TSourceToDoManager::Create("/src/U2.pas")->GetSourceFileName(), "/src/U2.pas");

    TParseThreadScope Thread;
    M->SetIsParsed(true);
    M->Rename("/SRC/unit1.pas", "/src/New.pas");
    EXPECT_EQ(M->GetFileName(), "/src/Unit1.pas");
    EXPECT_EQ(Thread.Count, 0);
    M->Rename("/src/Unit1.pas", "/src/New.pas");
    EXPECT_EQ(M->GetFileName(), "/src/New.pas");
    EXPECT_EQ(M->GetSourceFileName(), "/src/Unit1.inc");
    EXPECT_EQ(Thread.Count, 1);
    EXPECT_TRUE(M->GetIsParsed());
}

TEST(SourceToDoManagerTest, RewritesClearParsedWithoutWakingTheParseThread) {
    TParseThreadScope Thread;
    TFakeFile File("ab{ TODO: x }cd");
    ASSERT_TRUE(File.Manager->Add(3, "XY", 1)); // 1-based: the updater gets Pos - 1
    EXPECT_EQ(File.Updater->Text, "abXY{ TODO: x }cd");
    EXPECT_FALSE(File.Manager->GetIsParsed());
    File.Manager->Parse();
    ASSERT_TRUE(File.Manager->Delete(3, 5, 1));
    EXPECT_EQ(File.Updater->Text, "ab{ TODO: x }cd");
    EXPECT_FALSE(File.Manager->GetIsParsed());
    EXPECT_EQ(Thread.Count, 0);

    // An item's Delete removes its comment as it now stands and, like SetIsParsed(false), wakes
    // the parse thread.
    File.Manager->Parse();
    auto Item = File.Item(0);
    ASSERT_TRUE(Item->SetOwner("Bob"));
    ASSERT_TRUE(Item->Delete());
    EXPECT_EQ(File.Updater->Text, "abcd");
    EXPECT_EQ(Thread.Count, 1);
    File.Manager->SetIsParsed(false);
    EXPECT_EQ(Thread.Count, 2);
}

TEST(SourceToDoManagerTest, ParseBuildsItemsInFileOrderOnlyWithAnUpdater) {
    TFakeFile File("{ TODO: one }\n// not one\n(* DONE 3: two *) { todo -oA: three }\n"
                   "// TODO: four\n{ open TODO: five");
    ASSERT_EQ(File.Manager->GetItemCount(), 4);
    const int Offsets[] = {0, 25, 43, 63};
    for (int I = 0; I < 4; ++I)
        EXPECT_EQ(File.Manager->GetItem(I)->GetData(), Offsets[I]);
    EXPECT_THROW(File.Manager->GetItem(4), EListError);
    EXPECT_THROW(File.Manager->GetItem(-1), EListError);

    auto Old = File.Manager->GetItem(0);
    File.Manager->Parse();
    EXPECT_FALSE(Old->IsValid()) << "an item of an earlier parse is out of date";
    EXPECT_TRUE(File.Manager->GetItem(0)->IsValid());

    // Without an updater Parse empties the list and leaves the flag as it was.
    File.Manager->SetUpdater(nullptr);
    File.Manager->Parse();
    EXPECT_EQ(File.Manager->GetItemCount(), 0);
    EXPECT_TRUE(File.Manager->GetIsParsed());

    auto Fresh = TSourceToDoManager::Create("/virtual/other.xyz");
    Fresh->Parse();
    EXPECT_FALSE(Fresh->GetIsParsed());
    EXPECT_FALSE(Fresh->Add(1, "x", 1));
    EXPECT_FALSE(Fresh->Delete(1, 2, 1));
}

} // namespace
