#include "host/source_updater.h"

#include "host/c_language.h"
#include "host/module.h"
#include "host/todo_intf.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

namespace {

using TComments = std::vector<std::pair<std::string, int>>;

TComments Parse(IToDoUpdater& U) {
    TComments Found;
    U.ParseItems([&](std::string_view S, int Pos) { Found.emplace_back(S, Pos); });
    return Found;
}

/// Closes the modules a test opened.
class SourceUpdaterTest : public testing::Test {
protected:
    void TearDown() override {
        for (const auto& Name : Dir.Entries())
            CloseModule(Dir.File(Name));
    }
    TTempDir Dir;
};

/// Stands in for the comments unit's C-file handler registry while it lives (the hooks are null
/// in this program otherwise).
struct TLocalRegistry {
    static inline std::vector<const TCFileHandlerClass*> Classes;
    TLocalRegistry() {
        Classes.clear();
        RegisterCFileHandlerProc = [](const TCFileHandlerClass* C) { Classes.push_back(C); };
        UnregisterCFileHandlerProc = [](const TCFileHandlerClass* C) { std::erase(Classes, C); };
        GetCFileHandlerProc = [](const std::string& Name) -> const TCFileHandlerClass* {
            for (auto* C : Classes)
                if (C->HandlesFile(Name))
                    return C;
            return nullptr;
        };
    }
    ~TLocalRegistry() {
        RegisterCFileHandlerProc = UnregisterCFileHandlerProc = nullptr;
        GetCFileHandlerProc = nullptr;
    }
};

} // namespace

TEST_F(SourceUpdaterTest, ParseItemsReadsTheLoadedBufferElseTheFile) {
    const std::string Path =
        Dir.Write("unit.pas", "x := '{ no }'; { TODO : a }\r\n(* b *) // c\r\n");
    TSourceUpdater U(Path, TLanguage::Pascal);
    EXPECT_EQ(Parse(U), (TComments{{"{ TODO : a }", 15}, {"(* b *)", 29}, {"// c", 37}}));
    ASSERT_TRUE(OpenModule(Path).Value()->GetBuffer()->Delete(0, 15).Ok());
    EXPECT_EQ(Parse(U), (TComments{{"{ TODO : a }", 0}, {"(* b *)", 14}, {"// c", 22}}));
    TSourceUpdater Missing(Dir.File("missing.c"), TLanguage::C);
    EXPECT_TRUE(Parse(Missing).empty());
}

TEST_F(SourceUpdaterTest, EditsNeedALoadedModuleAndStayInItsBuffer) {
    const std::string Path = Dir.Write("unit.pas", "{ TODO : a }\r\nend.");
    TSourceUpdater U(Path, TLanguage::Pascal);
    EXPECT_EQ(U.AddText(0, "x", 1).Message(), Path + " is not open in an editor");
    EXPECT_FALSE(U.DeleteText(0, 1, 1).Ok() || U.UpdateText(0, 1, "y", 1).Ok());
    EXPECT_FALSE(U.HoldsText(0, "{"));

    // Made before the file was loaded, the updater now works on the module's buffer.
    const auto Buffer = OpenModule(Path).Value()->GetBuffer();
    EXPECT_TRUE(U.HoldsText(0, "{ TODO") && U.HoldsText(13, "\nend.") && U.HoldsText(18, ""));
    EXPECT_FALSE(U.HoldsText(17, ".?") || U.HoldsText(0, "{ todo") || U.HoldsText(-1, "{") ||
                 U.HoldsText(19, ""));
    ASSERT_TRUE(U.UpdateText(2, 6, "DONE", 1).Ok() && U.AddText(18, "\r\n", 1).Ok() &&
                U.DeleteText(12, 14, 1).Ok());
    EXPECT_FALSE(U.DeleteText(10, 99, 1).Ok() || U.AddText(-1, "x", 1).Ok());
    EXPECT_EQ(Buffer->GetText(), "{ DONE : a }end.\r\n");
    EXPECT_TRUE(Buffer->GetModified());
    EXPECT_EQ(ReadBytes(Path), "{ TODO : a }\r\nend.") << "edits stay in the buffer until saved";
    CloseModule(Path);
    EXPECT_FALSE(U.AddText(0, "x", 1).Ok());
}

TEST_F(SourceUpdaterTest, MakeCommentAndIsOneCommentFollowTheLanguage) {
    std::string Body = "TODO: x";
    EXPECT_TRUE(TSourceUpdater("x", TLanguage::Cpp).MakeComment(Body).Ok() && Body == "// TODO: x");
    // "+": one whole comment; "-": not.
    for (const char* Text : {"+{ a }", "+(* a *)", "+// a", "-{ a } ", "- { a }", "-{ a }{ b }",
                             "-{ a } b }", "-{ a", "-// a\r\n", "-"})
        EXPECT_EQ(TSourceUpdater("x", TLanguage::Pascal).IsOneComment(Text + 1), *Text == '+')
            << Text;
    for (const char* Text : {"+/* a */", "+// a", "-/* a */ */", "-// a\n", "-// a\nb"})
        EXPECT_EQ(TSourceUpdater("x", TLanguage::Cpp).IsOneComment(Text + 1), *Text == '+') << Text;
}

TEST_F(SourceUpdaterTest, ModulesOfferUpdatersForPascalAndThroughTheCLanguageHooks) {
    const auto& Class = CLanguageHandlerClass();
    for (const char* Name :
         {"+a.c", "+a.H", "+a.cpp", "+a.java", "+a.rs", "-a.pas", "-a.txt", "-Makefile"})
        EXPECT_EQ(Class.HandlesFile(Name + 1), *Name == '+') << Name;
    auto Go = std::dynamic_pointer_cast<TSourceUpdater>(Class.Create("x.go"));
    EXPECT_EQ(Go ? Go->GetLanguage() : TLanguage::None, TLanguage::Go);

    auto Pascal = std::dynamic_pointer_cast<TSourceUpdater>(
        OpenModule(Dir.Write("u.pas", "{ a }")).Value()->QueryToDoUpdater());
    EXPECT_EQ(Pascal ? Pascal->GetLanguage() : TLanguage::None, TLanguage::Pascal);
    const auto CModule = OpenModule(Dir.Write("m.c", "/* a */")).Value();
    TLocalRegistry Registry;
    auto& Listed = TLocalRegistry::Classes;
    EXPECT_EQ(CModule->QueryToDoUpdater(), nullptr) << "no handler registered yet";
    InitializeCLanguage();
    InitializeCLanguage();
    EXPECT_EQ(Listed, std::vector<const TCFileHandlerClass*>{&Class});
    auto C = std::dynamic_pointer_cast<TSourceUpdater>(CModule->QueryToDoUpdater());
    ASSERT_NE(C, nullptr);
    EXPECT_EQ(C->GetLanguage(), TLanguage::C);
    EXPECT_EQ(Parse(*C), (TComments{{"/* a */", 0}}));
    EXPECT_EQ(OpenModule(Dir.Write("notes.txt", "{ a }")).Value()->QueryToDoUpdater(), nullptr);
    FinalizeCLanguage();
    EXPECT_EQ(Listed.size(), 1u) << "only the last finalize unregisters";
    FinalizeCLanguage();
    EXPECT_EQ(CModule->QueryToDoUpdater(), nullptr);

    RegisterCFileHandlerProc = nullptr; // the comments unit is not running: nothing to register
    InitializeCLanguage();
    Listed.push_back(&Class);
    FinalizeCLanguage();
    EXPECT_EQ(Listed.size(), 1u) << "what was never registered is not unregistered";
}
