#include "host/ini_file.h"

#include "host/edit_buffer.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <optional>
#include <random>

#include <sys/stat.h>

using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

using TNames = std::vector<std::string>;
using TBytes = std::vector<unsigned char>;

/// Sets (or, for a null Value, removes) an environment variable for one scope.
class TEnvGuard {
public:
    TEnvGuard(const char* Name, const char* Value) : FName(Name) {
        if (const char* Old = std::getenv(Name))
            FOld = Old;
        Value ? ::setenv(Name, Value, 1) : ::unsetenv(Name);
    }
    ~TEnvGuard() { FOld ? ::setenv(FName, FOld->c_str(), 1) : ::unsetenv(FName); }

private:
    const char* FName;
    std::optional<std::string> FOld;
};

unsigned ModeOf(const std::string& Path) {
    return static_cast<unsigned>(fs::status(Path).permissions());
}

unsigned Umask() {
    const mode_t Mask = ::umask(0);
    ::umask(Mask);
    return Mask;
}

TNames Lines(std::string_view Text) {
    TNames L;
    for (size_t At = 0; At < Text.size();) {
        const size_t End = std::min(Text.find('\n', At), Text.size());
        L.emplace_back(Text.substr(At, End - At));
        At = End + 1;
    }
    return L;
}

/// True when the lines of Old appear in New in the same order (New may have more).
bool KeepsLines(std::string_view Old, std::string_view New) {
    const TNames O = Lines(Old), N = Lines(New);
    size_t I = 0;
    for (const std::string& Line : N)
        if (I < O.size() && Line == O[I])
            ++I;
    return I == O.size();
}

TNames EntriesOf(const std::string& Folder) {
    TNames Names;
    for (const auto& E : fs::directory_iterator(Folder))
        Names.push_back(E.path().filename().string());
    return Names;
}

std::string Replace(std::string S, std::string_view From, std::string_view To) {
    for (size_t At = 0; (At = S.find(From, At)) != std::string::npos; At += To.size())
        S.replace(At, From.size(), To);
    return S;
}

} // namespace

TEST(IniFile, ReadsEveryKindOfLineTheSameWithAnyLineEnd) {
    const std::string Lf = "; comment\n"
                           "  # another\n"
                           "[General]\n"
                           "Name = Value with blanks  \n"
                           "Empty=\n"
                           " Spaced Key\t=x\n"
                           "eq=a=b\n"
                           "CaseKey=first\n"
                           "casekey=second\n"
                           "Quoted=\"line1\\nline2 \\\"\\x41\\\\\"\n"
                           "Path=C:\\temp\\new\n"
                           "Half=\"open\n"
                           "Bad=\"a\\qb\"\n"
                           "\n"
                           "[ toDo List ]\n"
                           "HiddenCategories=Bugs,Ideas\n"
                           "[general]\n"
                           "Later=yes";
    const struct {
        const char *Section, *Ident;
        std::optional<std::string> Value;
    } Cases[] = {{"General", "Name", " Value with blanks  "},
                 {"General", "Empty", ""},
                 {"general", "spaced key", "x"},
                 {"General", "eq", "a=b"},
                 {"GENERAL", "casekey", "first"},
                 {"General", "Quoted", "line1\nline2 \"A\\"},
                 {"General", "Path", "C:\\temp\\new"},
                 {"General", "Half", "\"open"},
                 {"General", "Bad", "\"a\\qb\""},
                 {"ToDo List", "hiddencategories", "Bugs,Ideas"},
                 {"General", "Later", "yes"},
                 {"General", "Missing", std::nullopt},
                 {"Missing", "Name", std::nullopt},
                 {"General", "; comment", std::nullopt}};
    for (const std::string& Text : {Lf, Replace(Lf, "\n", "\r\n"), "\xEF\xBB\xBF" + Lf}) {
        const TIniFile Ini = TIniFile::FromText("f.ini", Text);
        for (const auto& C : Cases) {
            EXPECT_EQ(Ini.ValueExists(C.Section, C.Ident), C.Value.has_value()) << C.Ident;
            EXPECT_EQ(Ini.ReadString(C.Section, C.Ident, "<none>"), C.Value.value_or("<none>"))
                << C.Section << "/" << C.Ident << " in " << Text;
        }
        EXPECT_EQ(Ini.Problems(),
                  TNames{"f.ini:9: key 'casekey' repeats an earlier one; line ignored"});
        EXPECT_EQ(Ini.ReadSections(), (TNames{"General", "toDo List"}));
        EXPECT_EQ(Ini.ReadSection("GENERAL"),
                  (TNames{"Name", "Empty", "Spaced Key", "eq", "CaseKey", "Quoted", "Path", "Half",
                          "Bad", "Later"}));
        EXPECT_EQ(Ini.Text(), Text);
        EXPECT_FALSE(Ini.Modified());
    }
}

TEST(IniFile, ReportsDamagedLinesAndKeepsThemWhereTheyAre) {
    const struct {
        std::string Text;
        TNames Problems;
    } Cases[] = {
        {"[S]\nk=v\n", {}},
        {"orphan=1\n[S]\n", {"f.ini:1: key before the first section; line ignored"}},
        {"[S\nk=v\n",
         {"f.ini:1: section line does not end with ']'; line ignored",
          "f.ini:2: key before the first section; line ignored"}},
        {"[S]\njust text\r\n", {"f.ini:2: neither a section, a key nor a comment; line ignored"}},
        {"[S]\n = v\n", {"f.ini:2: no key name before '='; line ignored"}},
        {"[S]\nk=\xFF\n", {"f.ini:2: not valid UTF-8; line ignored"}},
        {"; caf\xC3\n[S]\n", {"f.ini:1: not valid UTF-8; line ignored"}},
        {"[S]\nk=\xED\xA0\x80\n", {"f.ini:2: not valid UTF-8; line ignored"}}, // a surrogate
    };
    for (const auto& C : Cases) {
        TIniFile Ini = TIniFile::FromText("f.ini", C.Text);
        EXPECT_EQ(Ini.Problems(), C.Problems) << C.Text;
        // Whatever the file holds, a write keeps every line of it.
        Ini.WriteString("S", "new", "1");
        const TIniFile Again = TIniFile::FromText("f.ini", Ini.Text());
        EXPECT_TRUE(KeepsLines(C.Text, Ini.Text())) << Ini.Text();
        EXPECT_EQ(Again.ReadString("S", "new", ""), "1");
        EXPECT_EQ(Again.Problems().size(), C.Problems.size());
    }

    TIniFile Ini = TIniFile::FromText("f.ini", "[A]\r\nx=1\r\n???\r\n; note\r\n\r\n[B]\r\ny=2");
    Ini.WriteString("a", "X", "one");
    Ini.WriteString("A", "z", "3");
    Ini.WriteString("C", "w", "4");
    Ini.DeleteKey("B", "y");
    EXPECT_EQ(Ini.Text(), "[A]\r\nx=one\r\nz=3\r\n???\r\n; note\r\n\r\n[B]\r\n\r\n[C]\r\nw=4\r\n");
}

TEST(IniFile, UnreadableFileIsReportedAndNeverOverwritten) {
    TTempDir Dir;
    fs::create_directory(Dir.File("folder.ini"));
    ASSERT_EQ(::mkfifo(Dir.File("fifo.ini").c_str(), 0600), 0);
    struct TCase {
        std::string Name, Why;
    };
    std::vector<TCase> Cases = {{"folder.ini", "is a directory"},
                                {"fifo.ini", "not a regular file"}};
    if (::geteuid() != 0) { // root reads anything
        ::chmod(Dir.Write("secret.ini", "[S]\nk=1\n").c_str(), 0);
        Cases.push_back({"secret.ini", "permission denied"});
    }
    std::vector<TIniFile> Inis;
    for (const auto& C : Cases) {
        const std::string Path = Dir.File(C.Name);
        TIniFile& Ini = Inis.emplace_back(Path);
        EXPECT_EQ(Ini.Problems(), TNames{"cannot read " + Path + ": " + C.Why});
        Ini.WriteString("S", "k", "v");
        EXPECT_EQ(Ini.UpdateFile().Message(), "cannot save " + Path +
                                                  ": the file cannot be read (" + C.Why +
                                                  "), so it is not overwritten");
        EXPECT_TRUE(Ini.Modified());
    }
    EXPECT_TRUE(fs::is_directory(Dir.File("folder.ini")));
    EXPECT_TRUE(fs::is_fifo(Dir.File("fifo.ini")));
    EXPECT_EQ(Dir.Entries().size(), Cases.size());

    // Once it can be read, the change is saved on top of what it holds.
    fs::remove(Dir.File("folder.ini"));
    Dir.Write("folder.ini", "[S]\nold=1\n");
    ASSERT_TRUE(Inis[0].UpdateFile().Ok());
    EXPECT_EQ(ReadBytes(Dir.File("folder.ini")), "[S]\nold=1\nk=v\n");
    EXPECT_TRUE(Inis[0].Problems().empty());
}

TEST(IniFile, AnyStringSurvivesSaveAndReloadAndPlainOnesStayPlain) {
    const struct {
        std::string Value;
        const char* Written; // the line as saved; null: not checked
    } Cases[] = {
        {"", "k="},
        {"plain value", "k=plain value"},
        {"  lead and trail\t ", "k=  lead and trail\t "},
        {"back\\slash \\n", "k=back\\slash \\n"},
        {"caf\xC3\xA9 \xE2\x82\xAC", "k=caf\xC3\xA9 \xE2\x82\xAC"},
        {"=;#[x]", "k==;#[x]"},
        {"tail\"", "k=tail\""},
        {"line1\nline2", "k=\"line1\\nline2\""},
        {"cr\r", "k=\"cr\\r\""},
        {"\"quoted\"", "k=\"\\\"quoted\\\"\""},
        {"\"", "k=\"\\\"\""},
        {"nul\0\x7F"s, "k=\"nul\\x00\\x7F\""},
        {"bad \xFF \xC3\xA9\xC3", "k=\"bad \\xFF \xC3\xA9\\xC3\""},
        {"\xED\xA0\x80", "k=\"\\xED\\xA0\\x80\""},
        {"\\x41\r\n\t\"", nullptr},
    };
    TTempDir Dir;
    const std::string Path = Dir.File("s.ini");
    for (const auto& C : Cases) {
        fs::remove(Path);
        TIniFile Ini(Path);
        Ini.WriteString("S", "k", C.Value);
        ASSERT_TRUE(Ini.UpdateFile().Ok());
        if (C.Written) {
            EXPECT_EQ(ReadBytes(Path), "[S]\n"s + C.Written + "\n");
        }
        const TIniFile Again(Path);
        EXPECT_EQ(Again.ReadString("S", "k", "<none>"), C.Value);
        EXPECT_TRUE(Again.Problems().empty()) << Again.Problems()[0];
    }
}

TEST(IniFile, RandomStringsSurviveSaveAndReload) {
    std::mt19937 Random(20240607);
    const std::string Interesting = "\"\\\r\n\t =;#[]x\xC3\xA9\xFF\x80\xED\0"s;
    TTempDir Dir;
    TIniFile Ini(Dir.File("r.ini"));
    std::vector<std::string> Values;
    for (int I = 0; I < 500; ++I) {
        std::string V(Random() % 12, ' ');
        for (char& C : V)
            C = Random() % 2 ? Interesting[Random() % Interesting.size()]
                             : static_cast<char>(Random() % 256);
        Ini.WriteString("S" + std::to_string(I % 7), "k" + std::to_string(I), V);
        Values.push_back(V);
    }
    ASSERT_TRUE(Ini.UpdateFile().Ok());
    const TIniFile Again(Dir.File("r.ini"));
    EXPECT_TRUE(Again.Problems().empty());
    for (int I = 0; I < 500; ++I)
        ASSERT_EQ(Again.ReadString("s" + std::to_string(I % 7), "K" + std::to_string(I), "<none>"),
                  Values[static_cast<size_t>(I)])
            << I;
}

TEST(IniFile, NumbersFlagsAndBinaryReadWhatIsThereOrTheDefault) {
    const struct {
        const char* Text;
        std::optional<int> Int;
        std::optional<bool> Bool;
        std::optional<TBytes> Bytes;
    } Cases[] = {
        {"42", 42, true, TBytes{0x42}},
        {" -5 ", -5, true, std::nullopt},
        {"+3", 3, true, std::nullopt},
        {"0", 0, false, std::nullopt},
        {"-2147483648", INT_MIN, true, std::nullopt},
        {"2147483648", std::nullopt, std::nullopt, TBytes{0x21, 0x47, 0x48, 0x36, 0x48}},
        {"3x", std::nullopt, std::nullopt, std::nullopt},
        {"+-1", std::nullopt, std::nullopt, std::nullopt},
        {"0x10", std::nullopt, std::nullopt, std::nullopt},
        {"true", std::nullopt, true, std::nullopt},
        {" FALSE\t", std::nullopt, false, std::nullopt},
        {"yes", std::nullopt, std::nullopt, std::nullopt},
        {"", std::nullopt, std::nullopt, TBytes{}},
        {"00FFab", std::nullopt, std::nullopt, TBytes{0x00, 0xFF, 0xAB}},
        {"ABC", std::nullopt, std::nullopt, std::nullopt},
        {"GG", std::nullopt, std::nullopt, std::nullopt},
    };
    for (const auto& C : Cases) {
        const TIniFile Ini = TIniFile::FromText("f.ini", "[S]\nk="s + C.Text + "\n");
        EXPECT_EQ(Ini.ReadInteger("S", "k", 7), C.Int.value_or(7)) << C.Text;
        EXPECT_EQ(Ini.ReadBool("S", "k", true), C.Bool.value_or(true)) << C.Text;
        EXPECT_EQ(Ini.ReadBool("S", "k", false), C.Bool.value_or(false)) << C.Text;
        TBytes Stream{1, 2};
        EXPECT_EQ(Ini.ReadBinaryStream("S", "k", Stream), C.Bytes.has_value()) << C.Text;
        EXPECT_EQ(Stream, C.Bytes.value_or(TBytes{})) << C.Text;
    }
    TIniFile Ini = TIniFile::FromText("f.ini", "");
    Ini.WriteInteger("ToDo List", "Count", -17);
    Ini.WriteBool("ToDo List", "On", true);
    Ini.WriteBinaryStream("ToDo List", "HTMLTableOptions", {0x00, 0x1F, 0xA0});
    EXPECT_EQ(Ini.Text(), "[ToDo List]\nCount=-17\nOn=1\nHTMLTableOptions=001FA0\n");
    TBytes Absent{1};
    EXPECT_FALSE(Ini.ReadBinaryStream("ToDo List", "Missing", Absent));
    EXPECT_TRUE(Absent.empty());
}

TEST(IniFile, WritesThatChangeNothingLeaveTheFileAlone) {
    TTempDir Dir;
    const std::string Original = "[S]\nn= 5\nb=true\nhex=0a\ns=x\ndamaged\n";
    const std::string Path = Dir.Write("s.ini", Original);
    const TDiskStamp Before = StampOfFile(Path);
    TIniFile Ini(Path);
    Ini.WriteInteger("s", "N", 5);
    Ini.WriteBool("S", "b", true);
    Ini.WriteBinaryStream("S", "hex", {0x0A});
    Ini.WriteString("S", "s", "x");
    Ini.DeleteKey("S", "missing");
    Ini.DeleteKey("Missing", "s");
    Ini.EraseSection("Missing");
    Ini.WriteString("S", "bad=name", "y");
    Ini.WriteString("S\n", "k", "y");
    EXPECT_FALSE(Ini.Modified());
    ASSERT_TRUE(Ini.UpdateFile().Ok());
    EXPECT_EQ(ReadBytes(Path), Original);
    EXPECT_EQ(StampOfFile(Path), Before);

    Ini.WriteString("S", "s", "y");
    EXPECT_TRUE(Ini.Modified());
    ASSERT_TRUE(Ini.UpdateFile().Ok());
    EXPECT_FALSE(Ini.Modified());
    EXPECT_EQ(ReadBytes(Path), "[S]\nn= 5\nb=true\nhex=0a\ns=y\ndamaged\n");
}

TEST(IniFile, NamesTheFileCannotHoldAreRefused) {
    const struct {
        std::string Section, Ident;
        bool Ok;
    } Cases[] = {{"ToDo List", "HiddenCategories", true},
                 {"", "k", true},
                 {"a]b[", "k]", true},
                 {"S", "", false},
                 {"S", "a=b", false},
                 {"S", " k", false},
                 {"S", "k\t", false},
                 {"S", "[k", false},
                 {"S", ";k", false},
                 {"S", "#k", false},
                 {"S", "k\n", false},
                 {"S", "k\xFF", false},
                 {" S", "k", false},
                 {"S\n", "k", false},
                 {"S\r", "k\r", true},
                 {"\xC3", "k", false}};
    for (const auto& C : Cases) {
        TIniFile Ini = TIniFile::FromText("f.ini", "");
        Ini.WriteString(C.Section, C.Ident, "v");
        EXPECT_EQ(Ini.Modified(), C.Ok) << C.Section << "/" << C.Ident;
        const TIniFile Again = TIniFile::FromText("f.ini", Ini.Text());
        EXPECT_EQ(Again.ReadString(C.Section, C.Ident, "<none>"), C.Ok ? "v" : "<none>");
        EXPECT_TRUE(Again.Problems().empty());
    }
}

TEST(IniFile, DeleteAndEraseRemoveEveryCopy) {
    TIniFile Ini = TIniFile::FromText("f.ini", "[A]\nx=1\ny=2\nX=3\n[B]\nz=1\n[a]\n; c\nw=4\n");
    Ini.DeleteKey("a", "X");
    EXPECT_EQ(Ini.ReadSection("A"), (TNames{"y", "w"}));
    Ini.EraseSection("A");
    EXPECT_FALSE(Ini.SectionExists("a"));
    EXPECT_TRUE(Ini.SectionExists("b"));
    EXPECT_EQ(Ini.Text(), "[B]\nz=1\n");
}

TEST(IniFile, UpdateFileCreatesFoldersAndKeepsModesAndLinks) {
    TTempDir Dir;
    const std::string Path = Dir.File("config/todolist/todolist.ini");
    TIniFile Ini(Path);
    EXPECT_TRUE(Ini.Problems().empty());
    Ini.WriteString("ToDo List", "HiddenCategories", "Later");
    const TStatus S = Ini.UpdateFile();
    ASSERT_TRUE(S.Ok()) << S.Message();
    EXPECT_EQ(ReadBytes(Path), "[ToDo List]\nHiddenCategories=Later\n");
    EXPECT_EQ(ModeOf(Path), 0600u);
    EXPECT_EQ(ModeOf(Dir.File("config")), 0700u & ~Umask());
    EXPECT_EQ(ModeOf(Dir.File("config/todolist")), 0700u & ~Umask());

    const std::string Real = Dir.Write("real.ini", "[S]\r\nk=1\r\n");
    ::chmod(Real.c_str(), 0640);
    fs::create_symlink(Real, Dir.File("link.ini"));
    TIniFile Linked(Dir.File("link.ini"));
    Linked.WriteString("S", "k", "2");
    ASSERT_TRUE(Linked.UpdateFile().Ok());
    EXPECT_TRUE(fs::is_symlink(Dir.File("link.ini")));
    EXPECT_EQ(ReadBytes(Real), "[S]\r\nk=2\r\n");
    EXPECT_EQ(ModeOf(Real), 0640u);
    EXPECT_EQ(Dir.Entries(), (TNames{"config", "link.ini", "real.ini"}));
    EXPECT_EQ(EntriesOf(Dir.File("config/todolist")), TNames{"todolist.ini"});
}

TEST(IniFile, UpdateFileKeepsWhatAnotherProcessSaved) {
    TTempDir Dir;
    const std::string Path = Dir.Write("s.ini", "[S]\nmine=0\ntheirs=0\ngone=0\n[Old]\na=1\n");
    TIniFile Mine(Path);
    TIniFile Theirs(Path);
    Mine.WriteString("S", "mine", "1");
    Mine.WriteString("S", "both", "mine");
    Mine.EraseSection("old");
    Theirs.WriteString("S", "theirs", "1");
    Theirs.WriteString("S", "both", "theirs");
    Theirs.DeleteKey("S", "gone");
    Theirs.WriteString("Old", "b", "2");
    Theirs.WriteString("New", "c", "3\n");
    ASSERT_TRUE(Theirs.UpdateFile().Ok());
    const TStatus S = Mine.UpdateFile();
    ASSERT_TRUE(S.Ok()) << S.Message();
    EXPECT_EQ(ReadBytes(Path), "[S]\nmine=1\ntheirs=1\nboth=mine\n[New]\nc=\"3\\n\"\n");
    EXPECT_EQ(Mine.Text(), ReadBytes(Path));

    // A file that appeared after a load of a missing one is merged the same way.
    const std::string Late = Dir.File("late.ini");
    TIniFile Early(Late);
    Early.WriteString("S", "a", "1");
    Dir.Write("late.ini", "; kept\n[S]\nb=2\n");
    ASSERT_TRUE(Early.UpdateFile().Ok());
    EXPECT_EQ(ReadBytes(Late), "; kept\n[S]\nb=2\na=1\n");
}

TEST(IniFile, UpdateFileFailuresNameTheFileAndKeepTheOldOne) {
    TTempDir Dir;
    Dir.Write("plain", "x");
    const std::string Blocked = Dir.File("plain/sub/s.ini");
    TIniFile Ini(Blocked);
    EXPECT_TRUE(Ini.Problems().empty());
    Ini.WriteString("S", "k", "v");
    EXPECT_EQ(Ini.UpdateFile().Message(),
              "cannot save " + Blocked + ": " + Dir.File("plain") + " is not a folder");

    fs::create_directory(Dir.File("locked"));
    const std::string InLocked = Dir.Write("locked/s.ini", "[S]\nk=1\n");
    fs::permissions(Dir.File("locked"), fs::perms(0555));
    TIniFile Locked(InLocked);
    Locked.WriteString("S", "k", "2");
    EXPECT_EQ(Locked.UpdateFile().Message(),
              "cannot save " + InLocked + ": folder " + Dir.File("locked") + " is not writable");
    EXPECT_TRUE(Locked.Modified());
    EXPECT_EQ(ReadBytes(InLocked), "[S]\nk=1\n");
    fs::permissions(Dir.File("locked"), fs::perms(0755));

    const std::string ReadOnly = Dir.Write("ro.ini", "[S]\nk=1\n");
    fs::permissions(ReadOnly, fs::perms(0444));
    TIniFile Frozen(ReadOnly);
    Frozen.WriteString("S", "k", "2");
    EXPECT_EQ(Frozen.UpdateFile().Message(), "cannot save " + ReadOnly + ": the file is read-only");
    EXPECT_EQ(ReadBytes(ReadOnly), "[S]\nk=1\n");
    EXPECT_EQ(Dir.Entries(), (TNames{"locked", "plain", "ro.ini"}));

    TIniFile Nameless("");
    Nameless.WriteString("S", "k", "v");
    EXPECT_FALSE(Nameless.UpdateFile().Ok());
}

TEST(IniFile, DefaultSettingsFileNameFollowsTheEnvironment) {
    const struct {
        const char *Config, *Xdg, *Home, *Expected;
    } Cases[] = {
        {"/etc/my.ini", "/xdg", "/home/u", "/etc/my.ini"},
        {"", "/xdg", "/home/u", "/xdg/todolist/todolist.ini"},
        {nullptr, "/xdg", "/home/u", "/xdg/todolist/todolist.ini"},
        {nullptr, "relative", "/home/u", "/home/u/.config/todolist/todolist.ini"},
        {nullptr, "", "/home/u", "/home/u/.config/todolist/todolist.ini"},
        {nullptr, nullptr, "/home/u", "/home/u/.config/todolist/todolist.ini"},
    };
    for (const auto& C : Cases) {
        TEnvGuard Config("TODOLIST_CONFIG", C.Config), Xdg("XDG_CONFIG_HOME", C.Xdg),
            Home("HOME", C.Home);
        EXPECT_EQ(DefaultSettingsFileName(), C.Expected) << (C.Xdg ? C.Xdg : "<unset>");
    }
}

TEST(IniFile, AppIniFileLoadsOnFirstUseAndReportsProblemsOnce) {
    TTempDir Dir;
    const std::string First = Dir.Write("first.ini", "[S]\nk=first\nbroken\n");
    const std::string Second = Dir.Write("second.ini", "[S]\nk=second\n");
    TEnvGuard Config("TODOLIST_CONFIG", First.c_str());
    TNames Reported;
    SetSettingsProblemReporter([&](const std::string& P) { Reported.push_back(P); });

    SetAppIniFileName(""); // the default name, which the environment points at
    TIniFile& Ini = AppIniFile();
    EXPECT_EQ(Ini.FileName(), First);
    EXPECT_EQ(AppIniFile().ReadString("S", "k", ""), "first");
    EXPECT_EQ(Reported, TNames{First + ":3: neither a section, a key nor a comment; line ignored"});

    SetAppIniFileName(Second);
    EXPECT_EQ(&AppIniFile(), &Ini);
    EXPECT_EQ(Ini.ReadString("S", "k", ""), "second");
    EXPECT_EQ(Reported.size(), 1u);

    // Leave nothing that a later use could take for the user's settings.
    SetSettingsProblemReporter({});
    SetAppIniFileName(Dir.File("never-written.ini"));
}
