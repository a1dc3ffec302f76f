// Items and managers over the real host: modules, edit buffers, the Pascal updater and the
// C-language handler reached through the C-file handler registry.
#include "../host/temp_dir.h"
#include "comments/cfile_handler.h"
#include "host/c_language.h"
#include "host/module.h"
#include "items/source_todo_manager.h"

#include <gtest/gtest.h>

namespace {

TEST(HostIntegrationTest, PascalItemIsCheckedOffInTheModuleAndSaved) {
    TTempDir Dir;
    const std::string Path =
        Dir.Write("unit1.pas", "unit U;\r\n{ TODO 2 -oAnn: fix it }\r\nend.\r\n");
    ASSERT_TRUE(OpenModule(Path));
    auto M = TSourceToDoManager::Create(Path);
    M->Parse();
    ASSERT_EQ(M->GetItemCount(), 1);
    auto Item = std::dynamic_pointer_cast<TSourceToDoItem>(M->GetItem(0));
    EXPECT_FALSE(Item->CanEdit()) << "the module has no editor view yet";
    ASSERT_TRUE(Item->SetText("fixed"));
    ASSERT_TRUE(Item->SetChecked(true));
    ASSERT_TRUE(FindDocModule(Path)->Save());
    EXPECT_EQ(ReadBytes(Path), "unit U;\r\n{ DONE 2 -oAnn: fixed}\r\nend.\r\n");
    ASSERT_TRUE(CallDefaultOpenProc(Path, false));
    M->Parse();
    EXPECT_TRUE(M->GetItem(0)->GetChecked());
    EXPECT_TRUE(M->GetItem(0)->CanEdit());
    CloseModule(Path);
}

TEST(HostIntegrationTest, CFileGetsItsUpdaterFromTheHandlerRegistry) {
    InitializeToDoUtils();
    InitializeCLanguage();
    TTempDir Dir;
    const std::string Path = Dir.Write("main.c", "int x; /* TODO: c item */\n"
                                                 "char* s = \"// TODO: not a comment\";\n");
    auto M = TSourceToDoManager::Create(Path);
    M->Parse(); // not loaded: the handler's updater reads the file from disk
    ASSERT_EQ(M->GetItemCount(), 1);
    auto Item = std::dynamic_pointer_cast<TSourceToDoItem>(M->GetItem(0));
    EXPECT_FALSE(Item->SetOwner("Bob")) << "a file without a loaded module cannot be edited";
    ASSERT_TRUE(OpenModule(Path));
    ASSERT_TRUE(Item->SetOwner("Bob"));
    ASSERT_TRUE(FindDocModule(Path)->Save());
    EXPECT_EQ(ReadBytes(Path), "int x; /* TODO -oBob: c item */\n"
                               "char* s = \"// TODO: not a comment\";\n");
    CloseModule(Path);
    FinalizeCLanguage();
    FinalizeToDoUtils();
}

} // namespace
