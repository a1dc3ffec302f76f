#include "host/comment_syntax.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

using namespace std::string_literals;

namespace {

using TFound = std::vector<std::pair<int, std::string>>;

TFound Enumerate(TLanguage Language, std::string_view Text) {
    TFound Found;
    EnumerateComments(Language, Text, [&](std::string_view S, int Offset) {
        Found.emplace_back(Offset, std::string(S));
    });
    return Found;
}

/// Expected comments in file order. The offsets are found by searching each text after the
/// end of the one before, so decoys (comment-like text in strings) use texts of their own.
TFound Expect(std::string_view Text, const std::vector<std::string>& Comments) {
    TFound Found;
    size_t From = 0;
    for (const auto& C : Comments) {
        const auto At = Text.find(C, From);
        if (At == std::string_view::npos) {
            ADD_FAILURE() << "expected comment not in the text: " << C;
            break;
        }
        Found.emplace_back(static_cast<int>(At), C);
        From = At + C.size();
    }
    return Found;
}

struct TCase {
    const char* Name;
    TLanguage Language;
    std::string Text;
    std::vector<std::string> Comments;
};

void RunCases(const std::vector<TCase>& Cases) {
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        EXPECT_EQ(Enumerate(C.Language, C.Text), Expect(C.Text, C.Comments));
    }
}

constexpr TLanguage Pas = TLanguage::Pascal;

TEST(EnumerateCommentsTest, Pascal) {
    RunCases({
        {"three forms", Pas, "a { b } c (* d *) e // f\ng", {"{ b }", "(* d *)", "// f"}},
        {"openers inside a string", Pas, "s := '{ no } (* no *) // no'; { yes }", {"{ yes }"}},
        {"doubled quote", Pas, "s := 'it''s { no }'; // yes", {"// yes"}},
        {"string ends at the line end", Pas, "s := 'open { no\n{ yes }", {"{ yes }"}},
        {"to-do word in a string", Pas, "s := '{ TODO: not me }'; { TODO: me }", {"{ TODO: me }"}},
        {"brace comment does not nest", Pas, "{ a (* b } c *) d", {"{ a (* b }"}},
        {"paren-star holds a brace", Pas, "(* { *) x }", {"(* { *)"}},
        {"(*) opens only", Pas, "(*) x *) y", {"(*) x *)"}},
        {"(*) left open", Pas, "(*) x", {}},
        {"open brace swallows the rest", Pas, "{ a } { b // c\n(* d *)", {"{ a }"}},
        {"open paren-star swallows the rest", Pas, "(* a { b } // c", {}},
        {"quote inside a comment", Pas, "{ don't } x := 1; { b }", {"{ don't }", "{ b }"}},
        {"character codes", Pas, "s := #13#$0A'{no}'#39; { yes }", {"{ yes }"}},
        {"directive", Pas, "{$IFDEF DEBUG} x {$ENDIF}", {"{$IFDEF DEBUG}", "{$ENDIF}"}},
        {"line comment inside a brace", Pas, "{ // } x", {"{ // }"}},
        {"slash and paren alone", Pas, "a := b / c; f(x); (* k *)", {"(* k *)"}},
        {"CR LF", Pas, "// a\r\n{ b\r\n }\r\n// c\r\n", {"// a", "{ b\r\n }", "// c"}},
        {"no final line break", Pas, "x; // end", {"// end"}},
        {"lone CR stays in a line comment", Pas, "// a\rb\nc", {"// a\rb"}},
        {"CR at the very end", Pas, "// a\r", {"// a\r"}},
        {"NUL and invalid UTF-8",
         Pas,
         "a\0{ \xff\0 }\0// \xc3\n'\0'(*\x80*)"s,
         {"{ \xff\0 }"s, "// \xc3", "(*\x80*)"}},
        {"empty line comment", Pas, "//\n//", {"//", "//"}},
    });
}

constexpr TLanguage C = TLanguage::C;
constexpr TLanguage Cpp = TLanguage::Cpp;
constexpr TLanguage ObjC = TLanguage::ObjectiveC;

TEST(EnumerateCommentsTest, CAndObjectiveC) {
    RunCases({
        {"both forms", C, "int a; /* b */ // c\nint d;", {"/* b */", "// c"}},
        {"openers in a string", C, "s = \"/* no */ // no\"; /* yes */", {"/* yes */"}},
        {"escaped quote", C, R"(s = "a\"/* no */"; // yes)", {"// yes"}},
        {"escaped backslash", C, R"(s = "a\\"; /* yes */ "b")", {"/* yes */"}},
        {"quote in a char", C, R"(c = '"'; /* yes */ d = '\''; // yes2)", {"/* yes */", "// yes2"}},
        {"string ends at the line end", C, "s = \"open /* no\n/* yes */", {"/* yes */"}},
        {"char ends at the line end", C, "#error don't /* no\n/* yes */", {"/* yes */"}},
        {"spliced string", C, "s = \"a\\\n/* no */\"; // yes", {"// yes"}},
        {"spliced line comment", C, "// a \\\n b\n/* c */", {"// a \\\n b", "/* c */"}},
        {"spliced line comment CR LF", C, "// a \\\r\n b\r\nx", {"// a \\\r\n b"}},
        {"backslash inside a line comment", C, "// a \\ b\nc // d", {"// a \\ b", "// d"}},
        {"block comments do not nest", C, "/* a /* b */ c */", {"/* a /* b */"}},
        {"open block swallows the rest", C, "/* a */ /* b // c\n\"x\" // d", {"/* a */"}},
        {"slash-star-slash", C, "/*/ x */ /**/", {"/*/ x */", "/**/"}},
        {"digit separators", C, "int x = 1'000; /* a */ char c = 'x'; // b", {"/* a */", "// b"}},
        {"division", C, "a = b / c; /* x */ d = e/f; //y", {"/* x */", "//y"}},
        {"CR LF", C, "// a\r\n/* b\r\n c */\r\n", {"// a", "/* b\r\n c */"}},
        {"NUL and invalid UTF-8",
         C,
         "/* \0 */\0// \xff\xfe\n\"\0/*\"/**/"s,
         {"/* \0 */"s, "// \xff\xfe", "/**/"}},
        {"to-do word in a string", C, "s = \"// TODO: no\"; // TODO: yes", {"// TODO: yes"}},
        {"Objective-C string", ObjC, "@\"/* no */\" // yes", {"// yes"}},
        {"Objective-C++ raw string", ObjC, "R\"(/* no */)\" // yes", {"// yes"}},
    });
}

TEST(EnumerateCommentsTest, Cpp) {
    RunCases({
        {"raw string", Cpp, "s = R\"(/* no */ \" // no)\"; /* yes */", {"/* yes */"}},
        {"raw string with delimiter", Cpp, "R\"xy(a )\" /* no */ )xy\" // yes", {"// yes"}},
        {"raw string over lines", Cpp, "R\"(\n// no\n)\" // yes", {"// yes"}},
        {"raw string prefixes",
         Cpp,
         "u8R\"(/*a*/)\" LR\"(//b)\" uR\"(/*c*/)\" UR\"(/*d*/)\" /* yes */",
         {"/* yes */"}},
        {"R ending a longer name", Cpp, "FOOR\"(\" /* yes */ \")\"", {"/* yes */"}},
        {"prefix letters ending a longer name", Cpp, "xu8R\"(\" /* yes */ \")\"", {"/* yes */"}},
        {"raw string left open", Cpp, "R\"(abc /* no */", {}},
        {"not a raw string: no parenthesis", Cpp, "R\"abc\" /* yes */", {"/* yes */"}},
        {"digit separators",
         Cpp,
         "n = 1'000'000; /* a */ h = 0xFF'AB'CD; // b",
         {"/* a */", "// b"}},
        {"prefixed char", Cpp, "c = u8'a'; /* yes */ d = L'\"'; // yes2", {"/* yes */", "// yes2"}},
        {"spliced line comment", Cpp, "// a\\\n/* no */\n// b", {"// a\\\n/* no */", "// b"}},
    });
}

constexpr TLanguage Cs = TLanguage::CSharp;
constexpr TLanguage Java = TLanguage::Java;

TEST(EnumerateCommentsTest, CSharpAndJava) {
    RunCases({
        {"verbatim ends at a backslash quote", Cs, R"(p = @"c:\dir\"; /* yes */)", {"/* yes */"}},
        {"verbatim doubled quotes", Cs, R"(s = @"say ""/* no */"" ok"; // yes)", {"// yes"}},
        {"verbatim over lines", Cs, "s = @\"a\n// no\n\"; /* yes */", {"/* yes */"}},
        {"verbatim starting with a doubled quote",
         Cs,
         R"(s = @"""/* no */"""; // yes)",
         {"// yes"}},
        {"interpolation hole holds code",
         Cs,
         R"(s = $"{a /* hole */} /* no */"; // yes)",
         {"/* hole */", "// yes"}},
        {"doubled braces are text", Cs, R"(s = $"{{/* no */}}"; // yes)", {"// yes"}},
        {"string inside a hole", Cs, R"(s = $"{d["}/* no */"]} /* no2 */"; // yes)", {"// yes"}},
        {"verbatim interpolated", Cs, R"(s = $@"a""{b}""/* no */\"; // yes)", {"// yes"}},
        {"interpolated verbatim", Cs, R"(s = @$"{b}\"; /* yes */)", {"/* yes */"}},
        {"raw string", Cs, "s = \"\"\"\n  /* no */ \"q\" \n  \"\"\"; // yes", {"// yes"}},
        {"raw string of four quotes",
         Cs,
         "s = \"\"\"\"a \"\"\" /* no */ \"\"\"\"; /* yes */",
         {"/* yes */"}},
        {"interpolated raw string",
         Cs,
         "s = $\"\"\"{x /* hole */} /* no */\"\"\"; // yes",
         {"/* hole */", "// yes"}},
        {"two-dollar raw string",
         Cs,
         "s = $$\"\"\"{x /* no */} {{y /* hole */}} \"\"\"; // yes",
         {"/* hole */", "// yes"}},
        {"char", Cs, R"(c = '"'; /* yes */)", {"/* yes */"}},
        {"empty string", Cs, R"(s = ""; // yes)", {"// yes"}},
        {"text block", Java, "s = \"\"\"\n /* no */ \"\n\"\"\"; // yes", {"// yes"}},
        {"text block escaped quotes",
         Java,
         "s = \"\"\"\n a \\\"\"\" /* no */\n\"\"\"; // yes",
         {"// yes"}},
        {"escaped quote", Java, R"(s = "a\"/*no*/"; /* yes */)", {"/* yes */"}},
        {"chars", Java, R"(c = '"'; d = '\''; // yes)", {"// yes"}},
        {"empty string", Java, R"(s = ""; /* yes */ t = "";)", {"/* yes */"}},
        {"block comments do not nest", Java, "/* a /* b */ c */", {"/* a /* b */"}},
    });
}

constexpr TLanguage Js = TLanguage::JavaScript;
constexpr TLanguage Ts = TLanguage::TypeScript;

TEST(EnumerateCommentsTest, JavaScriptAndTypeScript) {
    RunCases({
        {"template literal",
         Js,
         "t = `a /* no */ ${b /* yes */} // no`; // yes2",
         {"/* yes */", "// yes2"}},
        {"nested template", Js, "t = `${`in ${x} /* no */`} /* no2 */`; /* yes */", {"/* yes */"}},
        {"brace string in a hole", Js, "t = `${\"}\"} /* no */`; // yes", {"// yes"}},
        {"object in a hole", Js, "t = `${f({a: 1})} /* no */`; // yes", {"// yes"}},
        {"template over lines", Js, "t = `\n// no\n`; // yes", {"// yes"}},
        {"escaped dollar", Js, "t = `\\${ /* no */ }`; // yes", {"// yes"}},
        {"strings", Js, "a = '/* no */'; b = \"it's\"; // yes", {"// yes"}},
        {"regex with escaped slash", Js, "x = /\\/* no/; // yes", {"// yes"}},
        {"regex with class", Js, "x = /[/]/g; /* yes */", {"/* yes */"}},
        {"regex after a keyword", Js, "return /'/.test(s); // yes", {"// yes"}},
        {"regex at the start", Js, "/'/.test(s); // yes", {"// yes"}},
        {"division after a name", Js, "a = b / 2; /* yes */ c = d / 3;", {"/* yes */"}},
        {"division after a bracket", Js, "a = (b) / 2; /* yes */ c = x[1] / 3;", {"/* yes */"}},
        {"division after a number", Js, "a = 4 / 2; /* yes */ c = 6 / 3;", {"/* yes */"}},
        {"regex after a comment", Js, "x = /* c */ /re\\/*/; // yes", {"/* c */", "// yes"}},
        {"division after a comment",
         Js,
         "x = a /* c */ / 2; /* yes */ y = b / 3;",
         {"/* c */", "/* yes */"}},
        {"division after a string", Js, "x = 'a' / 2; /* yes */ y = b / 3;", {"/* yes */"}},
        {"regex left open is a division", Js, "a = b\nc = /abc\n/* yes */", {"/* yes */"}},
        {"name ending in a keyword", Js, "a = xin / 2; /* yes */ b = c / 3;", {"/* yes */"}},
        {"comment in a hole over lines", Ts, "t = `${\n  x // yes\n}`;", {"// yes"}},
        {"generics", Ts, "let a: Array<string> = []; // yes", {"// yes"}},
        {"CR LF", Ts, "// a\r\nlet b = 1; /* c */\r\n", {"// a", "/* c */"}},
        {"template left open", Js, "t = `${a} /* no */", {}},
    });
}

constexpr TLanguage Go = TLanguage::Go;
constexpr TLanguage Rust = TLanguage::Rust;

TEST(EnumerateCommentsTest, GoAndRust) {
    RunCases({
        {"raw string", Go, "s := `/* no */\n// no` // yes", {"// yes"}},
        {"raw string has no escapes", Go, "s := `a\\` /* yes */", {"/* yes */"}},
        {"runes", Go, R"(r := '"'; q := '\''; /* yes */)", {"/* yes */"}},
        {"escaped quote", Go, R"(s := "\"/* no */" // yes)", {"// yes"}},
        {"block comments do not nest", Go, "/* a /* b */ c */", {"/* a /* b */"}},
        {"nested block comments", Rust, "/* a /* b */ c */ // d", {"/* a /* b */ c */", "// d"}},
        {"nested comment left open", Rust, "/* a /* b */ // c", {}},
        {"raw strings",
         Rust,
         "a = r\"/* no */\"; b = r#\"x \"/* no */\" y\"#; c = r##\"a \"# b\"##; /* yes */",
         {"/* yes */"}},
        {"byte and C strings",
         Rust,
         R"(a = br#"/*a*/"#; b = cr"//b"; c = b"\"/*c*/"; // yes)",
         {"// yes"}},
        {"raw string has no escapes", Rust, R"(a = r"\"; /* yes */)", {"/* yes */"}},
        {"strings span lines", Rust, "s = \"line\n// no\n\"; // yes", {"// yes"}},
        {"lifetimes", Rust, "fn f<'a>(x: &'a str) -> &'a str { x } // yes", {"// yes"}},
        {"chars", Rust, R"(a = '"'; /* yes */ b = '\''; // yes2)", {"/* yes */", "// yes2"}},
        {"unicode chars",
         Rust,
         "a = '\\u{1F600}'; b = '\xc3\xa9'; c = '\"'; /* yes */",
         {"/* yes */"}},
        {"labels", Rust, "'outer: loop { break 'outer; } // yes", {"// yes"}},
        {"byte char", Rust, R"(b = b'"'; /* yes */)", {"/* yes */"}},
        {"CR LF", Rust, "// a\r\n/* b */\r\n", {"// a", "/* b */"}},
    });
}

constexpr TLanguage Swift = TLanguage::Swift;
constexpr TLanguage Kotlin = TLanguage::Kotlin;

TEST(EnumerateCommentsTest, SwiftAndKotlin) {
    RunCases({
        {"nested block comments", Swift, "/* a /* b */ c */ x", {"/* a /* b */ c */"}},
        {"multi-line string", Swift, "s = \"\"\"\n// no \"\n\"\"\" // yes", {"// yes"}},
        {"raw strings",
         Swift,
         R"(a = #"x "/* no */" y"#; b = ##"a "# b"##; /* yes */)",
         {"/* yes */"}},
        {"raw multi-line string",
         Swift,
         "s = #\"\"\"\n\"\"\" /* no */\n\"\"\"#; // yes",
         {"// yes"}},
        {"interpolation holds code",
         Swift,
         R"(s = "a \(b /* hole */) /* no */"; // yes)",
         {"/* hole */", "// yes"}},
        {"string inside interpolation", Swift, R"(s = "\(d["/* no */"]) x"; // yes)", {"// yes"}},
        {"apostrophe means nothing", Swift, "x ' /* yes */", {"/* yes */"}},
        {"quoted name", Swift, "let `class` = 1 // yes", {"// yes"}},
        {"string ends at the line end", Swift, "s = \"open /* no\n/* yes */", {"/* yes */"}},
        {"template holds code",
         Kotlin,
         R"(s = "${a /* hole */} /* no */" // yes)",
         {"/* hole */", "// yes"}},
        {"raw string", Kotlin, "s = \"\"\"\n/* no */ ${ \"}\" } \\\"\"\" // yes", {"// yes"}},
        {"run of quotes closes a raw string",
         Kotlin,
         "s = \"\"\"a\"\"\"\" /* yes */",
         {"/* yes */"}},
        {"char", Kotlin, R"(c = '"' /* yes */)", {"/* yes */"}},
        {"nested block comments", Kotlin, "/* a /* b */ c */ // d", {"/* a /* b */ c */", "// d"}},
        {"lambda in a template",
         Kotlin,
         R"(s = "${l.map { it /* x */ }} /* no */" // yes)",
         {"/* x */", "// yes"}},
        {"quoted name", Kotlin, "fun `a // b`() {} // yes", {"// yes"}},
    });
}

constexpr TLanguage Scala = TLanguage::Scala;
constexpr TLanguage Dart = TLanguage::Dart;

TEST(EnumerateCommentsTest, ScalaAndDart) {
    RunCases({
        {"interpolation holds code",
         Scala,
         R"(s"${a /* hole */} /* no */" // yes)",
         {"/* hole */", "// yes"}},
        {"triple quotes", Scala, "\"\"\"/* no */ \" \"\"\" /* yes */", {"/* yes */"}},
        {"symbol and char", Scala, R"('sym /* yes */ 'a' // yes2)", {"/* yes */", "// yes2"}},
        {"escaped char", Scala, R"(c = '\'' /* yes */)", {"/* yes */"}},
        {"dollar escapes", Scala, R"(s"$$ /* no */ $" // no" /* yes */)", {"/* yes */"}},
        {"raw interpolator keeps backslashes", Scala, R"(raw"\" /* yes */)", {"/* yes */"}},
        {"plain string escapes", Scala, R"("\" /* no */" // yes)", {"// yes"}},
        {"nested block comments", Scala, "/* a /* b */ */ x", {"/* a /* b */ */"}},
        {"strings", Dart, R"(a = 'x /* no */'; b = "y // no"; /* yes */)", {"/* yes */"}},
        {"multi-line strings",
         Dart,
         "a = '''\n/* no */\n'''; b = \"\"\"\n// no\n\"\"\"; // yes",
         {"// yes"}},
        {"raw strings",
         Dart,
         R"(a = r'\'; /* yes */ b = r"${x /* no */}"; // yes2)",
         {"/* yes */", "// yes2"}},
        {"interpolation holds code",
         Dart,
         R"(s = '${a /* hole */} $b /* no */'; // yes)",
         {"/* hole */", "// yes"}},
        {"nested block comments", Dart, "/* a /* b */ c */ // d", {"/* a /* b */ c */", "// d"}},
        {"letter r ending a name", Dart, R"(var r = bar'\' /* no */'; // yes)", {"// yes"}},
    });
}

TEST(EnumerateCommentsTest, NoneAndEmptyText) {
    EXPECT_TRUE(Enumerate(TLanguage::None, "/* a */ { b }").empty());
    for (int L = 0; L <= static_cast<int>(TLanguage::Dart); ++L)
        EXPECT_TRUE(Enumerate(static_cast<TLanguage>(L), "").empty());
}

TEST(EnumerateCommentsTest, DeepHolesDoNotExhaustTheStack) {
    std::string Text;
    for (int K = 0; K < 100000; ++K)
        Text += "`${";
    Text += "\n// end";
    const auto Found = Enumerate(Js, Text);
    EXPECT_LE(Found.size(), 1u);
}

/// Enumerates Text and checks what every caller relies on, whatever the bytes.
void CheckInvariants(TLanguage Language, std::string_view Text);

std::string Repeat(std::string_view Pattern, size_t Size) {
    std::string Text;
    while (Text.size() < Size)
        Text += Pattern;
    return Text;
}

TEST(EnumerateCommentsTest, OpenersThatNeverCloseStayLinear) {
    // A regex opener that fails on its line, many times over one long line: a lexer that
    // retried the rest of the line at each '/' would take minutes here.
    const auto Start = std::chrono::steady_clock::now();
    Enumerate(Js, Repeat("(/[", 1 << 20));
    Enumerate(Ts, Repeat("x = /[a", 1 << 20));
    const std::chrono::duration<double> Elapsed = std::chrono::steady_clock::now() - Start;
    EXPECT_LT(Elapsed.count(), 10.0);

    const char* const Patterns[] = {"(/[", "'",  "\"", "1'a",  "r#",     "#\"",  "${`", "$\"{",
                                    "/*",  "(*", "{",  "@$\"", "\"\"\"", "R\"x", "\\\n"};
    for (int L = 1; L <= static_cast<int>(TLanguage::Dart); ++L)
        for (const char* Pattern : Patterns)
            CheckInvariants(static_cast<TLanguage>(L), Repeat(Pattern, 8 * 1024));
}

/// Enumerates Text and checks what every caller relies on, whatever the bytes.
void CheckInvariants(TLanguage Language, std::string_view Text) {
    int Next = 0;
    EnumerateComments(Language, Text, [&](std::string_view S, int Offset) {
        ASSERT_GE(Offset, Next);
        ASSERT_GE(S.size(), 2u);
        ASSERT_LE(static_cast<size_t>(Offset) + S.size(), Text.size());
        ASSERT_EQ(S, Text.substr(static_cast<size_t>(Offset), S.size()));
        ASSERT_EQ(S.data(), Text.data() + Offset);
        Next = Offset + static_cast<int>(S.size());
    });
}

TEST(EnumerateCommentsTest, RandomBytesKeepInvariants) {
    // Mostly the bytes that lexers react to, so that random text hits the corner cases.
    const std::string Alphabet = "/*{}()'\"`$#@\\rRbu8L\n\r x0_[]";
    std::mt19937 Random(20240611);
    for (int L = 1; L <= static_cast<int>(TLanguage::Dart); ++L) {
        const auto Language = static_cast<TLanguage>(L);
        SCOPED_TRACE(LanguageName(Language));
        for (int Round = 0; Round < 400; ++Round) {
            std::string Text(Random() % 200, '\0');
            for (auto& C : Text)
                C = Random() % 8 == 0 ? static_cast<char>(Random() % 256)
                                      : Alphabet[Random() % Alphabet.size()];
            CheckInvariants(Language, Text);
            if (HasFatalFailure())
                return;
        }
    }
}

TEST(LanguageOfFileTest, Extensions) {
    const std::pair<const char*, TLanguage> Cases[] = {
        {"unit.pas", Pas},
        {"UNIT.PAS", Pas},
        {"a.pp", Pas},
        {"a.p", Pas},
        {"defs.inc", Pas},
        {"App.dpr", Pas},
        {"app.lpr", Pas},
        {"pkg.dpk", Pas},
        {"main.c", C},
        {"x.H", C},
        {"a.cpp", Cpp},
        {"a.cc", Cpp},
        {"a.cxx", Cpp},
        {"a.c++", Cpp},
        {"a.hpp", Cpp},
        {"a.hh", Cpp},
        {"a.hxx", Cpp},
        {"a.h++", Cpp},
        {"a.ipp", Cpp},
        {"a.inl", Cpp},
        {"a.tpp", Cpp},
        {"a.m", ObjC},
        {"a.mm", ObjC},
        {"Program.cs", Cs},
        {"Main.java", Java},
        {"a.js", Js},
        {"a.mjs", Js},
        {"a.cjs", Js},
        {"a.jsx", Js},
        {"a.ts", Ts},
        {"a.mts", Ts},
        {"a.cts", Ts},
        {"a.TSX", Ts},
        {"main.go", Go},
        {"lib.rs", Rust},
        {"App.swift", Swift},
        {"a.kt", Kotlin},
        {"build.gradle.kts", Kotlin},
        {"a.scala", Scala},
        {"a.sc", Scala},
        {"a.dart", Dart},
        {"C:\\Work\\App.PAS", Pas},
        {"/src/dir.pas/readme", TLanguage::None},
        {"dir.c\\file", TLanguage::None},
        {"Makefile", TLanguage::None},
        {"a.todo", TLanguage::None},
        {"a.txt", TLanguage::None},
        {"a.", TLanguage::None},
        {"a.pass", TLanguage::None},
        {"a.scalaa", TLanguage::None},
        {"", TLanguage::None},
    };
    for (const auto& [Name, Language] : Cases)
        EXPECT_EQ(LanguageOfFile(Name), Language) << Name;
}

TEST(MakeCommentTest, WrapsOrRefuses) {
    struct TWrap {
        TLanguage Language;
        std::string Body;
        std::string Result; ///< empty when refused
    };
    const TWrap Cases[] = {
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
        {Rust, "TODO: two\nlines /* open", ""},
        {Rust, "TODO: a /* b", "// TODO: a /* b"},
        {Swift, "TODO: two\nlines", "/* TODO: two\nlines */"},
        {Go, "TODO: two\nlines /* no nesting", "/* TODO: two\nlines /* no nesting */"},
        {TLanguage::None, "TODO: x", ""},
    };
    for (const auto& W : Cases) {
        SCOPED_TRACE(W.Body);
        std::string Body = W.Body;
        const TStatus S = MakeComment(W.Language, Body);
        if (W.Result.empty()) {
            EXPECT_FALSE(S.Ok());
            EXPECT_FALSE(S.Message().empty());
            EXPECT_EQ(Body, W.Body) << "a refused body stays as it was";
        } else {
            ASSERT_TRUE(S.Ok()) << S.Message();
            EXPECT_EQ(Body, W.Result);
        }
    }
}

TEST(MakeCommentTest, RefusalNamesTheCloser) {
    std::string Body = "TODO: a */ b\nc";
    const TStatus S = MakeComment(Java, Body);
    EXPECT_EQ(S.Message(), "the text holds \"*/\" and cannot be put into a comment");
}

TEST(MakeCommentTest, WrappedBodyReadsBackBetweenCodeLines) {
    std::mt19937 Random(7);
    const std::string Alphabet = "/*{}()'\"`$#\\\n\r TODO:x";
    for (int L = 1; L <= static_cast<int>(TLanguage::Dart); ++L) {
        const auto Language = static_cast<TLanguage>(L);
        SCOPED_TRACE(LanguageName(Language));
        for (int Round = 0; Round < 300; ++Round) {
            std::string Body(Random() % 12, ' ');
            for (auto& Ch : Body)
                Ch = Alphabet[Random() % Alphabet.size()];
            std::string Comment = Body;
            if (!MakeComment(Language, Comment).Ok())
                continue;
            const std::string Text = "x = 1;\n" + Comment + "\ny = 2;\n";
            const auto Found = Enumerate(Language, Text);
            ASSERT_EQ(Found.size(), 1u) << Comment;
            EXPECT_EQ(Found[0], std::make_pair(7, Comment));
        }
    }
}

/// Real-looking files of each language with the comments they hold, one per line of the
/// .expected file: the 0-based offset, a tab and the comment with \n, \r, \t and \\ escaped.
class SampleFileTest : public testing::TestWithParam<const char*> {};

std::string ReadFile(const std::filesystem::path& Path) {
    std::ifstream In(Path, std::ios::binary);
    std::stringstream S;
    S << In.rdbuf();
    return S.str();
}

std::string Escape(std::string_view S) {
    std::string R;
    for (char Ch : S) {
        switch (Ch) {
        case '\n':
            R += "\\n";
            break;
        case '\r':
            R += "\\r";
            break;
        case '\t':
            R += "\\t";
            break;
        case '\\':
            R += "\\\\";
            break;
        default:
            R += Ch;
        }
    }
    return R;
}

TEST_P(SampleFileTest, MatchesExpectedComments) {
    const auto Dir = std::filesystem::path(TODO_TEST_DATA_DIR) / "syntax";
    const std::string Name = GetParam();
    const std::string Text = ReadFile(Dir / Name);
    ASSERT_FALSE(Text.empty()) << Name;
    std::string Listing;
    EnumerateComments(LanguageOfFile(Name), Text, [&](std::string_view S, int Offset) {
        Listing += std::to_string(Offset) + "\t" + Escape(S) + "\n";
    });
    EXPECT_EQ(Listing, ReadFile(Dir / (Name + ".expected")));
}

INSTANTIATE_TEST_SUITE_P(Languages, SampleFileTest,
                         testing::Values("sample.pas", "sample.c", "sample.cpp", "sample.cs",
                                         "sample.java", "sample.js", "sample.ts", "sample.go",
                                         "sample.rs", "sample.swift", "sample.kt", "sample.scala",
                                         "sample.dart", "sample.m"),
                         [](const testing::TestParamInfo<const char*>& Info) {
                             std::string N = Info.param;
                             return N.substr(N.find('.') + 1);
                         });

} // namespace
