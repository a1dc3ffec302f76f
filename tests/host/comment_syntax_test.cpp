#include "host/comment_syntax.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

using namespace std::string_literals;

namespace {

constexpr TLanguage None = TLanguage::None, Pas = TLanguage::Pascal, C = TLanguage::C,
                    Cpp = TLanguage::Cpp, ObjC = TLanguage::ObjectiveC, Cs = TLanguage::CSharp,
                    Java = TLanguage::Java, Js = TLanguage::JavaScript, Ts = TLanguage::TypeScript,
                    Go = TLanguage::Go, Rs = TLanguage::Rust, Swift = TLanguage::Swift,
                    Kt = TLanguage::Kotlin, Scala = TLanguage::Scala, Dart = TLanguage::Dart;
constexpr int kLanguages = static_cast<int>(Dart) + 1;

using TFound = std::vector<std::pair<int, std::string>>;

TFound Enumerate(TLanguage Language, std::string_view Text) {
    TFound Found;
    EnumerateComments(Language, Text,
                      [&](std::string_view S, int Offset) { Found.emplace_back(Offset, S); });
    return Found;
}

// Each row marks the comments it expects with « »; the marks are taken out before enumerating,
// and whatever else looks like a comment is a decoy. Real-looking files are under data/syntax.
TEST(EnumerateComments, DecoysAndBrokenText) {
    const std::pair<TLanguage, std::string> Rows[] = {
        {Pas, "«{ a (* b }» c *) d «(* { *)» x }"},
        {Pas, "«{ don't }» s := 'a''(* no'; «{ // }» x"},
        {Pas, "«(*) x *)» y (*) z"},
        {Pas, "«{ a }» { b // c\n(* d *)"},
        {Pas, "(* a { b } // c"},
        {Pas, "«// a\rb»\nc «//»\n«// d\r»"},
        {Pas, "a\0«{ \xff\0 }»\0«// \xc3»\n'\0'«(*\x80*)»"s},
        {C, "n = 1'000; s = \"a\\\"/* TODO: no */\"; c = '\"'; «// TODO: yes»"},
        {C, "s = \"open /* no\n«/* yes */» #error don't /* no\n«// yes»"},
        {C, "«// a \\\r\n b»\r\nx «// c \\ d»\n«/* e\r\n */»\r\n"},
        {C, "«/* a /* b */» c */ «/*/ x */» «/**/»"},
        {C, "«/* a */» /* b // c\n\"x\" // d"},
        {C, "«/* \0 */»\0«// \xff\xfe»\n\"\0/*\"«/**/»"s},
        {ObjC, "R\"(/* no */)\" «// yes»"},
        {Cpp, "R\"xy(a )\" /* no */ )xy\" «// yes»"},
        {Cpp, R"-(uR"(")" «/* a */» u8R"(")" «/* b */» LR"(")" «/* c */» xu8R"(" «/* d */» ")")-"},
        {Cpp, "R\"abc\" «/* yes */» d = L'\"'; «// yes»"},
        {Cpp, "«// a\\\n/* no */»\n«// b»"},
        {Cpp, "R\"(abc /* no */"},
        {Cs, R"(s = @"""/* no */""\"; «// yes»)"},
        {Cs, R"(s = $"{d["}/* no */"]} /* no */"; «// yes»)"},
        {Cs, R"(s = @$"{b}\"; «/* yes */» c = '"'; s = ""; «// yes»)"},
        {Cs, R"(s = """"a """ /* no */ """"; «/* yes */»)"},
        {Cs, R"(s = $"""{x «/* hole */»} /* no */"""; «// yes»)"},
        {Java, "c = '\"'; «/* a /* b */» c */"},
        {Js, "t = `\\${ /* no */ }`; «// yes»"},
        {Js, "/'/.test(s); b = \"it's\"; «// yes»"},
        {Js, "a = 4 / 2; «/* x */» b = 'a' / 2; «/* y */» c = xin / 3; «/* z */» é / 5; «/**/»"},
        {Js, "a = (b) / 2; «/* x */» c = x[1] / 3; «/* y */» d = e «/* c */» / 4; «/* z */»"},
        {Js, "x = «/* c */» /re\\/*/; «// yes»"},
        {Js, "x = /[/'/]/; «// yes»"},
        {Js, "t = `${ {a: 1}.a «/* x */» }`; «// y»"},
        {Js, "a = b\nc = /abc\n«/* yes */»"},
        {Js, "t = `${a} /* no */"},
        {Ts, "«// a»\r\nlet b = 1; «/* c */»\r\n"},
        {Go, "s := `a\\` «/* yes */»"},
        {Rs, "«/* a /* b */ c */» /* a /* b */ // c"},
        {Rs, R"(a = cr"\"; «/* x */» b = b"\"/*no*/"; c = b'"'; d = ['\'','é','"']; «// y»)"},
        {Rs, "«// a»\r\n«/* b */»\r\n"},
        {Swift, R"(a = ##"a "# b"##; «/* yes */» b = #"c:\"#; «/* yes */»)"},
        {Swift, R"(s = "\(d["/* no */"]) x"; «// yes»)"},
        {Swift, "x ' «/* yes */» s = \"open /* no\n«// yes»"},
        {Kt, "s = \"\"\"a\"\"\"\" «/* yes */»"},
        {Scala, R"(c = '\'' «/* yes */» "\" /* no */" «// yes»)"},
        {Scala, R"(s = """a\""" «/* yes */» raw"\" «/* z */»)"},
        {Dart, "b = \"\"\"\n// no\n\"\"\"; var r = bar'\\' /* no */'; «// yes»"},
        {None, "/* a */ { b }"},
    };
    for (const auto& [Language, Marked] : Rows) {
        std::string Text = Marked;
        TFound Expected;
        for (size_t Open; (Open = Text.find("«")) != std::string::npos;) {
            const size_t Close = Text.find("»", Open);
            Expected.emplace_back(static_cast<int>(Open), Text.substr(Open + 2, Close - Open - 2));
            Text.erase(Close, 2).erase(Open, 2);
        }
        EXPECT_EQ(Enumerate(Language, Text), Expected) << LanguageName(Language) << ": " << Marked;
    }
}

/// What every caller relies on, whatever the bytes: each comment is a view of the text at its
/// offset, at least an opener long, and the comments come in order without overlapping.
void CheckInvariants(TLanguage Language, std::string_view Text) {
    int Next = 0;
    EnumerateComments(Language, Text, [&](std::string_view S, int Offset) {
        ASSERT_GE(Offset, Next);
        ASSERT_GE(S.size(), 2u);
        ASSERT_LE(static_cast<size_t>(Offset) + S.size(), Text.size());
        ASSERT_EQ(S.data(), Text.data() + Offset);
        Next = Offset + static_cast<int>(S.size());
    });
}

// Random text, mostly of the bytes that lexers react to so that it hits the corner cases: the
// invariants hold, and a body made of its first bytes is refused or reads back whole.
TEST(EnumerateComments, RandomTextKeepsInvariantsAndWrappedBodiesReadBack) {
    const std::string Alphabet = "/*{}()'\"`$#@\\rRbu8L\n\r x0_[]";
    std::mt19937 Random(20240611);
    for (int L = 0; L < kLanguages; ++L) {
        const auto Language = static_cast<TLanguage>(L);
        SCOPED_TRACE(LanguageName(Language));
        for (int Round = 0; Round < 400; ++Round) {
            std::string Text(Round % 200, '\0'); // from the empty text up
            for (auto& Ch : Text)
                Ch = Random() % 8 ? Alphabet[Random() % Alphabet.size()]
                                  : static_cast<char>(Random() % 256);
            CheckInvariants(Language, Text);
            std::string Comment = Text.substr(0, Random() % 12);
            if (MakeComment(Language, Comment).Ok()) {
                ASSERT_EQ(Enumerate(Language, "x = 1;\n" + Comment + "\ny = 2;\n"),
                          TFound({{7, Comment}}));
            }
            if (HasFatalFailure())
                return;
        }
    }
}

std::string Repeat(std::string_view Pattern, size_t Size) {
    std::string Text;
    while (Text.size() < Size)
        Text += Pattern;
    return Text;
}

// Openers that never close, over one long line, and template holes nested 100000 deep: a lexer
// that retried the rest of the line at each opener, or recursed once per hole, would not finish.
TEST(EnumerateComments, PathologicalTextEnds) {
    CheckInvariants(Js, Repeat("(/[", 64 * 1024));
    CheckInvariants(Ts, Repeat("x = /[a", 64 * 1024));
    CheckInvariants(Js, Repeat("`${", 300000) + "\n// end");
    for (int L = 1; L < kLanguages; ++L)
        for (const char* Pattern : {"'", "\"", "1'a", "r#", "#\"", "${`", "$\"{", "/*", "(*", "{",
                                    "@$\"", "\"\"\"", "R\"x", "\\\n"})
            CheckInvariants(static_cast<TLanguage>(L), Repeat(Pattern, 8 * 1024));
}

TEST(LanguageOfFile, ExtensionsInAnyCase) {
    // The extensions of each language in the order of TLanguage, from None (no extensions).
    std::istringstream Lists("|pas pp p inc dpr lpr dpk|c h|cpp cc cxx c++ hpp hh hxx h++ ipp inl"
                             " tpp|m mm|cs|java|js mjs cjs jsx|ts mts cts tsx|go|rs|swift|kt kts"
                             "|scala sc|dart");
    int L = 0;
    for (std::string List; std::getline(Lists, List, '|'); ++L) {
        std::istringstream Words(List);
        const auto Language = static_cast<TLanguage>(L);
        for (std::string Ext; Words >> Ext;) {
            EXPECT_EQ(LanguageOfFile("/src/x.txt/a.b." + Ext), Language) << Ext;
            for (auto& Ch : Ext)
                Ch = static_cast<char>(std::toupper(static_cast<unsigned char>(Ch)));
            EXPECT_EQ(LanguageOfFile("C:\\Work\\A." + Ext), Language) << Ext;
        }
    }
    EXPECT_EQ(L, kLanguages);
    for (const char* Name : {"/src/dir.pas/readme", "dir.c\\file", "Makefile", "a.todo", "a.",
                             "a.pa", "a.pass", "a.scalaa", ""})
        EXPECT_EQ(LanguageOfFile(Name), None) << Name;
}

TEST(MakeComment, WrapsSoThatItReadsBackOrRefuses) {
    // Language, body, and the comment made of it (empty: refused).
    const std::tuple<TLanguage, std::string, std::string> Cases[] = {
        {Pas, "TODO 1 -oAnn : Fix", "{ TODO 1 -oAnn : Fix }"},
        {Pas, "TODO: a } b", "(* TODO: a } b *)"},
        {Pas, "TODO: a *) b", "{ TODO: a *) b }"},
        {Pas, "TODO: a } *) b", ""},
        {Pas, "TODO: two\r\nlines", "{ TODO: two\r\nlines }"},
        {Pas, "TODO: a { (* b", "{ TODO: a { (* b }"},
        {C, "TODO: x", "/* TODO: x */"},
        {C, "TODO: a */ b", ""},
        {C, "TODO: a /* b", "/* TODO: a /* b */"},
        {Cpp, "TODO: x", "// TODO: x"},
        {Cpp, "TODO: a */ b", "// TODO: a */ b"},
        {Cpp, "TODO: two\nlines", "/* TODO: two\nlines */"},
        {Cpp, "TODO: a\rb", "/* TODO: a\rb */"},
        {Js, "TODO: line\xE2\x80\xA8separator", "/* TODO: line\xE2\x80\xA8separator */"},
        {Cs, "TODO: next\xC2\x85line", "/* TODO: next\xC2\x85line */"},
        {Cpp, "TODO: two\n*/ lines", ""},
        {Cpp, "TODO: ends in a splice \\", "/* TODO: ends in a splice \\ */"},
        {Cpp, "TODO: */ and splice \\", ""},
        {Js, "TODO: ends in a backslash \\", "// TODO: ends in a backslash \\"},
        {Rs, "TODO: two\nlines /* open", ""},
        {Rs, "TODO: a /* b", "// TODO: a /* b"},
        {Go, "TODO: two\nlines /* no nesting", "/* TODO: two\nlines /* no nesting */"},
        {None, "TODO: x", ""},
    };
    for (const auto& [Language, Original, Result] : Cases) {
        std::string Body = Original;
        const TStatus S = MakeComment(Language, Body);
        EXPECT_EQ(S.Ok(), !Result.empty()) << Original;
        EXPECT_EQ(S.Message().empty(), S.Ok()) << Original;
        EXPECT_EQ(Body, S.Ok() ? Result : Original);
        if (S.Ok()) {
            EXPECT_EQ(Enumerate(Language, "x;\n" + Body + "\ny;"), TFound({{3, Body}}));
        }
    }
}

// Each sample file's .expected lists its comments, one a line: the offset, a tab and the
// comment with \n, \r, \t and \\ escaped.
TEST(SampleFile, MatchesExpectedComments) {
    int Samples = 0;
    for (const auto& Entry : std::filesystem::directory_iterator(
             std::filesystem::path(TODO_TEST_DATA_DIR) / "syntax")) {
        if (Entry.path().extension() == ".expected")
            continue;
        SCOPED_TRACE(Entry.path().filename().string());
        ++Samples;
        const TLanguage Language = LanguageOfFile(Entry.path().string());
        std::string Listing;
        for (const auto& [Offset, Comment] :
             Enumerate(Language, ReadBytes(Entry.path().string()))) {
            Listing += std::to_string(Offset) + "\t";
            for (char Ch : Comment) {
                const auto Special = std::string_view("\n\r\t\\").find(Ch);
                Listing += Special == std::string_view::npos ? ""s + Ch : "\\"s + "nrt\\"[Special];
            }
            Listing += "\n";
        }
        EXPECT_EQ(Listing, ReadBytes(Entry.path().string() + ".expected"));
    }
    EXPECT_GE(Samples, kLanguages - 1);
}

} // namespace
