#include "host/source_updater.h"

#include "host/c_language.h"
#include "host/module.h"
#include "host/todo_intf.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

using TComments = std::vector<std::pair<std::string, int>>;

TComments Parse(IToDoUpdater& U) {
    TComments Found;
    U.ParseItems([&](std::string_view S, int Pos) { Found.emplace_back(S, Pos); });
    return Found;
}

class SourceUpdaterTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (const auto& Name : FOpened)
            CloseModule(Name);
    }
    std::shared_ptr<TModule> Open(const std::string& Path) {
        FOpened.push_back(Path);
        auto Opened = OpenModule(Path);
        EXPECT_TRUE(Opened.Ok()) << Opened.Status().Message();
        return Opened.Value();
    }

    TTempDir Dir;

private:
    std::vector<std::string> FOpened;
};

/// A stand-in for the comments unit's registry, installed in the host hooks for one test.
class TLocalRegistry {
public:
    TLocalRegistry()
        : FSaved{RegisterCFileHandlerProc, UnregisterCFileHandlerProc, GetCFileHandlerProc} {
        Classes().clear();
        RegisterCFileHandlerProc = [](const TCFileHandlerClass* C) { Classes().push_back(C); };
        UnregisterCFileHandlerProc = [](const TCFileHandlerClass* C) {
            auto& L = Classes();
            if (auto It = std::find(L.begin(), L.end(), C); It != L.end())
                L.erase(It);
        };
        GetCFileHandlerProc = [](const std::string& Name) -> const TCFileHandlerClass* {
            for (auto* C : Classes())
                if (C->HandlesFile(Name))
                    return C;
            return nullptr;
        };
    }
    ~TLocalRegistry() {
        RegisterCFileHandlerProc = FSaved.Register;
        UnregisterCFileHandlerProc = FSaved.Unregister;
        GetCFileHandlerProc = FSaved.Get;
    }
    static std::vector<const TCFileHandlerClass*>& Classes() {
        static std::vector<const TCFileHandlerClass*> L;
        return L;
    }

private:
    struct {
        void (*Register)(const TCFileHandlerClass*);
        void (*Unregister)(const TCFileHandlerClass*);
        const TCFileHandlerClass* (*Get)(const std::string&);
    } FSaved;
};

} // namespace

TEST_F(SourceUpdaterTest, ParseItemsReportsEveryCommentWithItsOffset) {
    // Strings hold comment openers that are no comments; a CR LF file keeps its offsets.
    std::string Text = "x := '{ no }'; { TODO : a }\r\n(* b *) // c\r\ny;";
    std::string Path = Dir.Write("unit.pas", Text);
    TSourceUpdater U(Path, TLanguage::Pascal);
    TComments Expected = {{"{ TODO : a }", 15}, {"(* b *)", 29}, {"// c", 37}};

    EXPECT_EQ(Parse(U), Expected) << "read from disk while no module is loaded";
    Open(Path);
    EXPECT_EQ(Parse(U), Expected) << "read from the module's buffer";

    std::string CText = "char* s = \"/* no */\"; /* TODO: a */\n// b";
    std::string CPath = Dir.Write("main.c", CText);
    TSourceUpdater C(CPath, TLanguage::C);
    TComments CExpected = {{"/* TODO: a */", 22}, {"// b", 36}};
    EXPECT_EQ(Parse(C), CExpected);
    TSourceUpdater Missing(Dir.File("missing.c"), TLanguage::C);
    EXPECT_TRUE(Parse(Missing).empty());
}

TEST_F(SourceUpdaterTest, EditsNeedAnOpenModule) {
    std::string Path = Dir.Write("unit.pas", "{ TODO : a }");
    TSourceUpdater U(Path, TLanguage::Pascal);
    TStatus S = U.AddText(0, "x", 1);
    ASSERT_FALSE(S.Ok());
    EXPECT_EQ(S.Message(), Path + " is not open in an editor");
    EXPECT_FALSE(U.DeleteText(0, 1, 1).Ok());
    EXPECT_FALSE(U.UpdateText(0, 1, "y", 1).Ok());
    EXPECT_FALSE(U.HoldsText(0, "{"));
    EXPECT_EQ(ReadBytes(Path), "{ TODO : a }");

    // Made before the file was opened, it now works on the editor's buffer.
    auto Module = Open(Path);
    EXPECT_TRUE(U.HoldsText(2, "TODO"));
    ASSERT_TRUE(U.UpdateText(2, 6, "DONE", 1).Ok());
    EXPECT_EQ(Module->GetBuffer()->GetText(), "{ DONE : a }");
    EXPECT_TRUE(Module->GetBuffer()->GetModified());
    EXPECT_EQ(ReadBytes(Path), "{ TODO : a }") << "edits stay in the buffer until saved";
}

TEST_F(SourceUpdaterTest, EditsChangeTheBufferOrNothing) {
    struct TCase {
        const char* Op;
        int Start, End;
        const char* Text;
        bool Ok;
        const char* Expected;
    } Cases[] = {
        {"delete", 0, 12, "", true, "\r\nend."},
        {"delete", 12, 13, "", true, "{ TODO : a }\nend."},
        {"delete", 10, 20, "", false, "{ TODO : a }\r\nend."},
        {"delete", 5, 4, "", false, "{ TODO : a }\r\nend."},
        {"add", 18, 0, "\r\n", true, "{ TODO : a }\r\nend.\r\n"},
        {"add", 19, 0, "x", false, "{ TODO : a }\r\nend."},
        {"update", 9, 10, "b\xff", true, "{ TODO : b\xff }\r\nend."},
        {"update", -1, 2, "x", false, "{ TODO : a }\r\nend."},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(std::string(C.Op) + " " + std::to_string(C.Start));
        TTempDir Local;
        std::string Path = Local.Write("u.pas", "{ TODO : a }\r\nend.");
        TSourceUpdater U(Path, TLanguage::Pascal);
        auto Module = Open(Path);
        TStatus S = std::string_view(C.Op) == "delete" ? U.DeleteText(C.Start, C.End, 1)
                    : std::string_view(C.Op) == "add"  ? U.AddText(C.Start, C.Text, 1)
                                                       : U.UpdateText(C.Start, C.End, C.Text, 1);
        EXPECT_EQ(S.Ok(), C.Ok) << S.Message();
        EXPECT_EQ(Module->GetBuffer()->GetText(), C.Expected);
        EXPECT_EQ(Module->GetBuffer()->GetModified(), C.Ok);
        CloseModule(Path);
    }
}

TEST_F(SourceUpdaterTest, IsOneCommentAcceptsExactlyOneWholeComment) {
    struct TCase {
        TLanguage Language;
        const char* Text;
        bool One;
    } Cases[] = {
        {TLanguage::Pascal, "{ TODO : a }", true},
        {TLanguage::Pascal, "(* TODO : a *)", true},
        {TLanguage::Pascal, "// TODO : a", true},
        {TLanguage::Pascal, "{ TODO : a } ", false},
        {TLanguage::Pascal, " { TODO : a }", false},
        {TLanguage::Pascal, "{ a }{ b }", false},
        {TLanguage::Pascal, "{ a } b }", false},
        {TLanguage::Pascal, "{ TODO : a", false},
        {TLanguage::Pascal, "// a\r\n", false},
        {TLanguage::Pascal, "", false},
        {TLanguage::C, "/* TODO: a */", true},
        {TLanguage::C, "/* a */ */", false},
        {TLanguage::C, "// a\nb", false},
        {TLanguage::Cpp, "// TODO: a", true},
        {TLanguage::Cpp, "// a\n", false},
    };
    for (const auto& C : Cases) {
        TSourceUpdater U("x", C.Language);
        EXPECT_EQ(U.IsOneComment(C.Text), C.One) << LanguageName(C.Language) << " " << C.Text;
    }
}

TEST_F(SourceUpdaterTest, ModulesOfferAnUpdaterForTheirLanguage) {
    std::string Pas = Dir.Write("u.pas", "{ a }");
    std::string C = Dir.Write("m.c", "/* a */");
    std::string Txt = Dir.Write("notes.txt", "{ a }");
    auto Pascal = std::dynamic_pointer_cast<TSourceUpdater>(Open(Pas)->QueryToDoUpdater());
    ASSERT_NE(Pascal, nullptr);
    EXPECT_EQ(Pascal->GetLanguage(), TLanguage::Pascal);

    TLocalRegistry Registry;
    EXPECT_EQ(Open(C)->QueryToDoUpdater(), nullptr) << "no handler registered yet";
    InitializeCLanguage();
    auto CUpdater = std::dynamic_pointer_cast<TSourceUpdater>(Open(C)->QueryToDoUpdater());
    ASSERT_NE(CUpdater, nullptr);
    EXPECT_EQ(CUpdater->GetLanguage(), TLanguage::C);
    EXPECT_EQ(Parse(*CUpdater), (TComments{{"/* a */", 0}}));
    EXPECT_EQ(Open(Txt)->QueryToDoUpdater(), nullptr);
    FinalizeCLanguage();
    EXPECT_EQ(Open(C)->QueryToDoUpdater(), nullptr);
}

TEST(CLanguage, HandlesTheCFamilyAndRegistersOnce) {
    const auto& Class = CLanguageHandlerClass();
    struct TCase {
        const char* Name;
        bool Handled;
    } Cases[] = {
        {"a.c", true},  {"a.H", true},    {"a.cpp", true},  {"a.java", true},
        {"a.rs", true}, {"a.pas", false}, {"a.txt", false}, {"Makefile", false},
    };
    for (const auto& C : Cases)
        EXPECT_EQ(Class.HandlesFile(C.Name), C.Handled) << C.Name;
    auto Updater = std::dynamic_pointer_cast<TSourceUpdater>(Class.Create("x.go"));
    ASSERT_NE(Updater, nullptr);
    EXPECT_EQ(Updater->GetLanguage(), TLanguage::Go);

    TLocalRegistry Registry;
    auto& Listed = TLocalRegistry::Classes();
    InitializeCLanguage();
    InitializeCLanguage();
    EXPECT_EQ(Listed, std::vector<const TCFileHandlerClass*>{&Class});
    FinalizeCLanguage();
    EXPECT_EQ(Listed.size(), 1u) << "only the last finalize unregisters";
    FinalizeCLanguage();
    EXPECT_TRUE(Listed.empty());
}

TEST(CLanguage, NothingToRegisterWithoutTheHooks) {
    TLocalRegistry Registry;
    RegisterCFileHandlerProc = nullptr;
    InitializeCLanguage();
    EXPECT_TRUE(TLocalRegistry::Classes().empty());
    FinalizeCLanguage(); // must not unregister what was never registered
    EXPECT_TRUE(TLocalRegistry::Classes().empty());
}
