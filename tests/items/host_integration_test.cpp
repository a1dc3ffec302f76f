// Items and managers over the real host: modules, edit buffers, the Pascal updater and the
// C-language handler reached through the C-file handler registry.
#include "comments/cfile_handler.h"
#include "host/c_language.h"
#include "host/module.h"
#include "items/source_todo_manager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class HostIntegrationTest : public testing::Test {
protected:
    void SetUp() override {
        static std::atomic<int> Counter{0};
        Dir = fs::temp_directory_path() /
              ("todolist-items-test-" + std::to_string(::getpid()) + "-" +
               std::to_string(Counter++) + "-" + std::to_string(std::random_device()()));
        fs::create_directories(Dir);
    }
    void TearDown() override {
        for (const std::string& F : Opened)
            CloseModule(F);
        std::error_code Ec;
        fs::remove_all(Dir, Ec);
    }

    std::string Write(const std::string& Name, const std::string& Bytes) {
        const std::string P = (Dir / Name).string();
        std::ofstream(P, std::ios::binary) << Bytes;
        Opened.push_back(P);
        return P;
    }
    static std::string Read(const std::string& P) {
        std::ifstream In(P, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(In), {});
    }

    fs::path Dir;
    std::vector<std::string> Opened;
};

TEST_F(HostIntegrationTest, PascalItemIsCheckedOffInTheBufferAndSaved) {
    const std::string Path =
        Write("unit1.pas", "unit Unit1;\r\n{ TODO 2 -oAnn: fix it }\r\nend.\r\n");
    ASSERT_TRUE(OpenModule(Path));
    auto M = TSourceToDoManager::Create(Path);
    M->Parse();
    ASSERT_EQ(M->GetItemCount(), 1);
    auto Item = std::dynamic_pointer_cast<TSourceToDoItem>(M->GetItem(0));
    EXPECT_EQ(Item->GetData(), 13);
    EXPECT_EQ(Item->GetOwner(), "Ann");
    EXPECT_FALSE(Item->CanEdit()) << "the module has no editor view yet";

    ASSERT_TRUE(Item->SetText("fixed"));
    ASSERT_TRUE(Item->SetChecked(true));
    auto Module = FindDocModule(Path);
    EXPECT_EQ(Module->GetBuffer()->GetText(), "unit Unit1;\r\n{ DONE 2 -oAnn: fixed}\r\nend.\r\n");
    EXPECT_TRUE(Module->GetBuffer()->GetModified());
    ASSERT_TRUE(Module->Save());
    EXPECT_EQ(Read(Path), "unit Unit1;\r\n{ DONE 2 -oAnn: fixed}\r\nend.\r\n");

    ASSERT_TRUE(CallDefaultOpenProc(Path, false));
    M->Parse();
    EXPECT_TRUE(M->GetItem(0)->GetChecked());
    EXPECT_TRUE(M->GetItem(0)->CanEdit());
}

TEST_F(HostIntegrationTest, ShowOpensTheFileAtTheKeyword) {
    const std::string Path = Write("unit2.pas", "unit Unit2;\n(* x *)\n//   todo: look here\n");
    ASSERT_TRUE(OpenModule(Path));
    auto M = TSourceToDoManager::Create(Path);
    M->Parse();
    ASSERT_EQ(M->GetItemCount(), 1);
    CloseModule(Path); // not open in an editor: Show opens it
    ASSERT_TRUE(M->GetItem(0)->Show());
    auto Buffer = FindEditBuffer(Path);
    ASSERT_NE(Buffer, nullptr);
    EXPECT_EQ(Buffer->GetCursorPos(), 25);

    fs::remove(Path);
    CloseModule(Path);
    EXPECT_FALSE(M->GetItem(0)->Show()) << "a file that is gone cannot be shown";
}

TEST_F(HostIntegrationTest, CFileGetsItsUpdaterFromTheHandlerRegistry) {
    struct TUnits {
        TUnits() {
            InitializeToDoUtils();
            InitializeCLanguage();
        }
        ~TUnits() {
            FinalizeCLanguage();
            FinalizeToDoUtils();
        }
    } Units;
    const std::string Path = Write("main.c", "int x; /* TODO: c item */\n"
                                             "char* s = \"// TODO: not a comment\";\n"
                                             "// DONE 3: ok\n");
    auto M = TSourceToDoManager::Create(Path);
    M->Parse(); // not loaded: the handler's updater reads the file from disk
    ASSERT_EQ(M->GetItemCount(), 2);
    EXPECT_EQ(M->GetItem(1)->GetPriority(), 3);
    EXPECT_EQ(M->GetItem(1)->GetText(), "ok");

    auto Item = std::dynamic_pointer_cast<TSourceToDoItem>(M->GetItem(0));
    TStatus S = Item->SetOwner("Bob");
    EXPECT_FALSE(S) << "without a loaded module the file cannot be edited";

    ASSERT_TRUE(OpenModule(Path));
    ASSERT_TRUE(Item->SetOwner("Bob"));
    ASSERT_TRUE(Item->SetText("a */ b").Message().find("break the comment") != std::string::npos);
    ASSERT_TRUE(FindDocModule(Path)->Save());
    EXPECT_EQ(Read(Path), "int x; /* TODO -oBob: c item */\n"
                          "char* s = \"// TODO: not a comment\";\n"
                          "// DONE 3: ok\n");
}

} // namespace
