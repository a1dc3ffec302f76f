#include "host/ini_file.h"

#include "host/edit_buffer.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <tuple>

#include <sys/stat.h>

using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

using TNames = std::vector<std::string>;

std::string Replace(std::string S, std::string_view From, std::string_view To) {
    for (size_t At = 0; (At = S.find(From, At)) != std::string::npos; At += To.size())
        S.replace(At, From.size(), To);
    return S;
}

TIniFile Parsed(std::string_view Text) {
    return TIniFile::FromText("f.ini", Text);
}

} // namespace

TEST(IniFile, ReadsEveryKindOfLineTheSameWithAnyLineEndAndKeepsDamagedOnes) {
    const std::string Lf = "; comment\n  # another\n[Broken\norphan=1\n[General]\n Name \t= x  \n"
                           "Empty=\neq=a=b\nCaseKey=first\ncasekey=second\n"
                           "Quoted=\"a\\nb \\\"\\x41\\\\\"\nPath=C:\\tmp\\x\nHalf=\"open\n"
                           "Bad=\"a\\qb\"\njust text\n = v\nBin=\xFF\n; caf\xC3\nSur=\xED\xA0\x80\n"
                           "\n[ toDo List ]\nHidden=Bugs,Ideas\n[general]\nLater=yes";
    const TNames Problems = {"f.ini:3: section line does not end with ']'; line ignored",
                             "f.ini:4: key before the first section; line ignored",
                             "f.ini:10: key 'casekey' repeats an earlier one; line ignored",
                             "f.ini:15: neither a section, a key nor a comment; line ignored",
                             "f.ini:16: no key name before '='; line ignored",
                             "f.ini:17: not valid UTF-8; line ignored",
                             "f.ini:18: not valid UTF-8; line ignored",
                             "f.ini:19: not valid UTF-8; line ignored"}; // a surrogate
    // A key of [General] and its value (null: absent).
    const char* const Cases[][2] = {
        {"name", " x  "},       {"Empty", ""},           {"eq", "a=b"},        {"casekey", "first"},
        {"Path", "C:\\tmp\\x"}, {"Half", "\"open"},      {"Bad", "\"a\\qb\""}, {"Later", "yes"},
        {"Missing", nullptr},   {"Quoted", "a\nb \"A\\"}};
    for (const std::string& Text : {Lf, Replace(Lf, "\n", "\r\n"), "\xEF\xBB\xBF" + Lf}) {
        const TIniFile Ini = Parsed(Text);
        for (const auto& [Ident, Value] : Cases) {
            EXPECT_EQ(Ini.ValueExists("GENERAL", Ident), Value != nullptr) << Ident;
            EXPECT_EQ(Ini.ReadString("General", Ident, "-"), Value ? Value : "-") << Ident << Text;
        }
        EXPECT_EQ(Ini.ReadString("ToDo List", "hidden", ""), "Bugs,Ideas");
        EXPECT_EQ(Ini.Problems(), Problems);
        EXPECT_EQ(Ini.ReadSections(), (TNames{"General", "toDo List"}));
        EXPECT_EQ(Ini.ReadSection("general"), (TNames{"Name", "Empty", "eq", "CaseKey", "Quoted",
                                                      "Path", "Half", "Bad", "Later"}));
        EXPECT_EQ(Ini.Text(), Text);
        TIniFile Changed = Ini; // a write keeps every line as it was, damaged ones included
        Changed.WriteString("Z", "new", "1");
        EXPECT_TRUE(Changed.Text().starts_with(Text));
    }
}

TEST(IniFile, NewKeysFollowTheirSectionAndTheLineEndAndDeletesRemoveEveryCopy) {
    TIniFile Ini = Parsed("[A]\r\nx=1\r\n???\r\n; note\r\n\r\n[B]\r\ny=2\r\nY=3\r\n[E]\r\ne=1\r\n"
                          "[e]\r\n; c\r\nf=2\r\n");
    Ini.WriteString("a", "X", "one");
    Ini.WriteString("A", "z", "3");
    Ini.DeleteKey("B", "y");
    Ini.EraseSection("E");
    Ini.WriteString("C", "w", "4");
    EXPECT_EQ(Ini.Text(), "[A]\r\nx=one\r\nz=3\r\n???\r\n; note\r\n\r\n[B]\r\n\r\n[C]\r\nw=4\r\n");
    // A last line without its line break gets one in the file's style before new lines.
    for (const char* Section : {"B", "C"}) {
        TIniFile Open = Parsed("[A]\r\n[B]\r\ny=3");
        TIniFile HalfBreak = Parsed("[A]\r\n[B]\r\ny=3\r"); // ends in its last break's CR
        HalfBreak.WriteString(Section, "n", "1");
        Open.WriteString(Section, "n", "1");
        const char* Expected = Section[0] == 'B' ? "[A]\r\n[B]\r\ny=3\r\nn=1\r\n"
                                                 : "[A]\r\n[B]\r\ny=3\r\n\r\n[C]\r\nn=1\r\n";
        EXPECT_EQ(Open.Text(), Expected);
        EXPECT_EQ(HalfBreak.Text(), Expected);
    }
}

TEST(IniFile, AnyStringSurvivesWriteAndReadAndPlainOnesStayPlain) {
    // Values and the quoted text after "k=" that holds them, then values written as they are.
    std::vector<std::pair<std::string, std::string>> Cases = {
        {"\xED\xA0\x80", "\"\\xED\\xA0\\x80\""},        {"a\nb", "\"a\\nb\""},
        {"\xFF\xC3\xA9\xC3", "\"\\xFF\xC3\xA9\\xC3\""}, {"\"", "\"\\\"\""},
        {"\\x41\r\n\t\"", "\"\\\\x41\\r\\n\\t\\\"\""},  {"\0\x7F"s, "\"\\x00\\x7F\""}};
    for (const char* Plain : {"", " a\t ", "C:\\n", "=;#[x]", "a\"", "caf\xC3\xA9"})
        Cases.emplace_back(Plain, Plain);
    std::mt19937 Random(20240607); // and random values, whose text is not checked ("?")
    const std::string Special = "\"\\\r\n\t =;#[]x\xC3\xA9\xFF\x80\xED\0"s;
    while (Cases.size() < 300) {
        std::string& Value = Cases.emplace_back("", "?").first;
        for (size_t N = Random() % 12; N > 0; --N)
            Value += Random() % 2 ? Special[Random() % Special.size()] : char(Random());
    }
    for (const auto& [Value, Written] : Cases) {
        TIniFile Ini = Parsed("");
        Ini.WriteString("S", "k", Value);
        EXPECT_TRUE(Written == "?" || Ini.Text() == "[S]\nk=" + Written + "\n") << Ini.Text();
        EXPECT_EQ(Parsed(Ini.Text()).ReadString("S", "k", "-"), Value);
        EXPECT_EQ(Parsed(Ini.Text()).Problems(), TNames{});
    }
}

TEST(IniFile, NumbersFlagsAndBinaryReadWhatIsThereOrTheDefault) {
    // A line; ReadInteger (default 7); ReadBool (1, 0, -1: the default); bytes read (null: false).
    const std::tuple<const char*, int, int, const char*> Cases[] = {
        {"k=42", 42, 1, "\x42"},     {"k= -5 ", -5, 1, nullptr},         {"k=+3", 3, 1, nullptr},
        {"k=0", 0, 0, nullptr},      {"k=+2147483648", 7, -1, nullptr},  {"k=3x", 7, -1, nullptr},
        {"k=true", 7, 1, nullptr},   {"k= FALSE\t", 7, 0, nullptr},      {"k=", 7, -1, ""},
        {"other=1", 7, -1, nullptr}, {"k=01FFab", 7, -1, "\x01\xFF\xAB"}};
    EXPECT_EQ(Parsed("[S]\nk=-2147483648").ReadInteger("S", "k", 7), INT_MIN);
    for (const auto& [Line, Int, Bool, Bytes] : Cases) {
        const TIniFile Ini = Parsed("[S]\n"s + Line);
        EXPECT_EQ(Ini.ReadInteger("S", "k", 7), Int) << Line;
        EXPECT_EQ(Ini.ReadBool("S", "k", true), Bool != 0) << Line;
        EXPECT_EQ(Ini.ReadBool("S", "k", false), Bool == 1) << Line;
        std::vector<unsigned char> Stream{1, 2};
        EXPECT_EQ(Ini.ReadBinaryStream("S", "k", Stream), Bytes != nullptr) << Line;
        EXPECT_EQ(std::string(Stream.begin(), Stream.end()), Bytes ? Bytes : "") << Line;
    }
}

TEST(IniFile, NamesTheFileCannotHoldAreRefused) {
    // "Section/Ident": the first list can be written, the second cannot.
    const TNames Cases[] = {{"ToDo List/HiddenCategories", "/k", "a]b[/k]", "S\r/k\r"},
                            {"S/", "S/a=b", "S/ k", "S/k\t", "S/[k", "S/;k", "S/#k", "S/k\n",
                             "S/k\xFF", " S/k", "S\n/k", "\xC3/k"}};
    for (const bool Ok : {true, false})
        for (const std::string& Name : Cases[Ok ? 0 : 1]) {
            const std::string Section = Name.substr(0, Name.find('/')),
                              Ident = Name.substr(Name.find('/') + 1);
            EXPECT_EQ(TIniFile::IsValidSection(Section) && TIniFile::IsValidIdent(Ident), Ok);
            TIniFile Ini = Parsed("");
            Ini.WriteString(Section, Ident, "v");
            EXPECT_EQ(Ini.Modified(), Ok) << Name;
            EXPECT_EQ(Parsed(Ini.Text()).ReadString(Section, Ident, "-"), Ok ? "v" : "-") << Name;
        }
}

TEST(IniFile, UpdateFileCreatesFoldersKeepsModesAndLinksAndSkipsNoChange) {
    TTempDir Dir;
    const std::string Path = Dir.File("config/todolist/todolist.ini");
    TIniFile Ini(Path);
    Ini.WriteString("ToDo List", "Hidden", "Later");
    Ini.WriteInteger("ToDo List", "Count", -17);
    Ini.WriteBool("ToDo List", "On", true);
    Ini.WriteBinaryStream("ToDo List", "Bin", {0x00, 0x1F, 0xA0});
    ASSERT_TRUE(Ini.UpdateFile().Ok());
    EXPECT_EQ(ReadBytes(Path), "[ToDo List]\nHidden=Later\nCount=-17\nOn=1\nBin=001FA0\n");
    const auto ModeOf = [](const std::string& P) { return unsigned(fs::status(P).permissions()); };
    const mode_t Mask = ::umask(0);
    ::umask(Mask);
    EXPECT_EQ(ModeOf(Path), 0600u);
    EXPECT_EQ(ModeOf(Dir.File("config")), 0700u & ~Mask);
    EXPECT_EQ(ModeOf(Dir.File("config/todolist")), 0700u & ~Mask);
    EXPECT_EQ(std::distance(fs::directory_iterator(Dir.File("config/todolist")), {}), 1);
    // An existing file keeps its mode and its link; values that read the same are not rewritten.
    const std::string Real = Dir.Write("real.ini", "[S]\nk=1\nn= 5\nb=true\nhex=0a\n");
    ::chmod(Real.c_str(), 0640);
    fs::create_symlink(Real, Dir.File("link.ini"));
    TIniFile Linked(Dir.File("link.ini"));
    Linked.WriteInteger("s", "N", 5);
    Linked.WriteBool("S", "b", true);
    Linked.WriteBinaryStream("S", "hex", {0x0A});
    Linked.WriteString("S", "k", "1");
    EXPECT_FALSE(Linked.Modified());
    const TDiskStamp Before = StampOfFile(Real);
    ASSERT_TRUE(Linked.UpdateFile().Ok());
    EXPECT_EQ(StampOfFile(Real), Before);
    Linked.WriteString("S", "k", "2");
    ASSERT_TRUE(Linked.UpdateFile().Ok());
    EXPECT_FALSE(Linked.Modified());
    EXPECT_TRUE(fs::is_symlink(Dir.File("link.ini")));
    EXPECT_EQ(ReadBytes(Real), "[S]\nk=2\nn= 5\nb=true\nhex=0a\n");
    EXPECT_EQ(ModeOf(Real), 0640u);
    EXPECT_EQ(Dir.Entries(), (TNames{"config", "link.ini", "real.ini"}));
}

TEST(IniFile, UpdateFileKeepsWhatAnotherProcessSaved) {
    TTempDir Dir;
    const std::string Path = Dir.Write("s.ini", "[S]\nmine=0\ntheirs=0\ngone=0\n[Old]\na=1\n");
    TIniFile Mine(Path);
    Mine.WriteString("S", "mine", "1");
    Mine.WriteString("S", "both", "mine");
    Mine.EraseSection("old");
    Dir.Write("s.ini", "[S]\nmine=0\ntheirs=1\nboth=theirs\n[Old]\na=1\nb=2\n[New]\nc=\"3\\n\"\n");
    ASSERT_TRUE(Mine.UpdateFile().Ok());
    EXPECT_EQ(ReadBytes(Path), "[S]\nmine=1\ntheirs=1\nboth=mine\n[New]\nc=\"3\\n\"\n");
    EXPECT_EQ(Mine.Text(), ReadBytes(Path));
    // A file that appeared after a load of a missing one is merged the same way.
    TIniFile Early(Dir.File("late.ini"));
    Early.WriteString("S", "a", "1");
    Dir.Write("late.ini", "; kept\n[S]\nb=2\n");
    ASSERT_TRUE(Early.UpdateFile().Ok());
    EXPECT_EQ(ReadBytes(Dir.File("late.ini")), "; kept\n[S]\nb=2\na=1\n");
}

TEST(IniFile, RefusedSavesNameTheFileAndKeepTheOldOne) {
    TTempDir Dir;
    fs::create_directories(Dir.File("dir.ini"));
    ASSERT_EQ(::mkfifo(Dir.File("pipe.ini").c_str(), 0600), 0);
    fs::create_directory(Dir.File("locked"));
    Dir.Write("locked/s.ini", "");
    fs::permissions(Dir.File("locked"), fs::perms(0555));
    ::chmod(Dir.Write("ro.ini", "").c_str(), 0444);
    ::chmod(Dir.Write("no.ini", "").c_str(), 0);
    // A file, why it cannot be read ({W}; empty: it can), why it cannot be saved.
    const std::string Unreadable = "the file cannot be read ({W}), so it is not overwritten";
    std::vector<std::tuple<std::string, std::string, std::string>> Cases = {
        {"dir.ini", "is a directory", Unreadable},
        {"pipe.ini", "not a regular file", Unreadable},
        {"ro.ini/sub/s.ini", "", Dir.File("ro.ini") + " is not a folder"},
        {"locked/s.ini", "", "folder " + Dir.File("locked") + " is not writable"},
        {"ro.ini", "", "the file is read-only"}};
    if (::geteuid() != 0) // root reads anything
        Cases.push_back({"no.ini", "permission denied", Unreadable});
    for (const auto& [Name, Problem, Why] : Cases) {
        const std::string Path = Dir.File(Name);
        TIniFile Ini(Path);
        EXPECT_EQ(Ini.Problems(),
                  Problem.empty() ? TNames{} : TNames{"cannot read " + Path + ": " + Problem});
        Ini.WriteString("S", "k", "v");
        EXPECT_EQ(Ini.UpdateFile().Message(),
                  "cannot save " + Path + ": " + Replace(Why, "{W}", Problem));
        EXPECT_TRUE(Ini.Modified());
    }
    EXPECT_EQ(ReadBytes(Dir.File("ro.ini")) + ReadBytes(Dir.File("locked/s.ini")), "");
    EXPECT_EQ(Dir.Entries(), (TNames{"dir.ini", "locked", "no.ini", "pipe.ini", "ro.ini"}));
    fs::permissions(Dir.File("locked"), fs::perms(0755));
    TIniFile Nameless("");
    Nameless.WriteString("S", "k", "v");
    EXPECT_FALSE(Nameless.UpdateFile().Ok());
}

TEST(IniFile, AppIniFileLoadsOnFirstUseAndReportsProblemsOnce) {
    TTempDir Dir;
    const std::string First = Dir.Write("first.ini", "[S]\nk=first\nbroken\n");
    TEnvGuard Config("TODOLIST_CONFIG", First.c_str());
    TNames Reported;
    SetSettingsProblemReporter([&](const std::string& P) { Reported.push_back(P); });
    SetAppIniFileName(""); // the default name, which the environment points at
    TIniFile& Ini = AppIniFile();
    EXPECT_EQ(AppIniFile().ReadString("S", "k", ""), "first");
    EXPECT_EQ(Reported, TNames{First + ":3: neither a section, a key nor a comment; line ignored"});
    SetAppIniFileName(Dir.Write("second.ini", "[S]\nk=second\n"));
    EXPECT_EQ(&AppIniFile(), &Ini);
    EXPECT_EQ(Ini.ReadString("S", "k", ""), "second");
    EXPECT_EQ(Reported.size(), 1u);
    SetSettingsProblemReporter({});
    SetAppIniFileName(Dir.File("never-written.ini")); // nothing to take for the user's settings
}
