#include "host/edit_buffer.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

/// A buffer read from Path, as an editor would hold it.
TEditBuffer Load(const std::string& Path) {
    TDiskStamp Stamp;
    auto Text = TEditBuffer::ReadFile(Path, &Stamp);
    EXPECT_TRUE(Text.Ok()) << Text.Status().Message();
    return TEditBuffer(Path, Text.Value(), Stamp);
}

/// Gives Path another modification time, as touch would, without changing its bytes.
void Touch(const std::string& Path) {
    fs::last_write_time(Path, fs::last_write_time(Path) + std::chrono::seconds(5));
}

mode_t ModeOf(const std::string& Path) {
    struct stat St;
    EXPECT_EQ(::stat(Path.c_str(), &St), 0);
    return St.st_mode & 07777;
}

/// True when no temporary copy of a save was left in the folder.
bool NoTempFiles(const TTempDir& Dir) {
    for (const auto& Name : Dir.Entries())
        if (Name.find(".todolist-") != std::string::npos)
            return false;
    return true;
}

bool RunningAsRoot() {
    return ::geteuid() == 0;
}

} // namespace

TEST(EditBuffer, EditsCheckTheirRangeAndChangeNothingOnFailure) {
    enum TOp { opDelete, opInsert, opReplace };
    struct TCase {
        TOp Op;
        int Start, End;
        const char* Text;
        bool Ok;
        const char* Expected;
    } Cases[] = {
        {opDelete, 0, 2, "", true, "cdef"},        {opDelete, 2, 6, "", true, "ab"},
        {opDelete, 3, 3, "", true, "abcdef"},      {opDelete, -1, 2, "", false, "abcdef"},
        {opDelete, 4, 2, "", false, "abcdef"},     {opDelete, 2, 7, "", false, "abcdef"},
        {opInsert, 0, 0, "X", true, "Xabcdef"},    {opInsert, 6, 6, "\r\n", true, "abcdef\r\n"},
        {opInsert, 7, 7, "X", false, "abcdef"},    {opInsert, -1, -1, "X", false, "abcdef"},
        {opReplace, 1, 3, "XYZ", true, "aXYZdef"}, {opReplace, 0, 6, "", true, ""},
        {opReplace, 5, 7, "X", false, "abcdef"},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(std::to_string(C.Op) + " " + std::to_string(C.Start) + ".." +
                     std::to_string(C.End));
        TEditBuffer B("a.pas", "abcdef", {});
        TStatus S = C.Op == opDelete   ? B.Delete(C.Start, C.End)
                    : C.Op == opInsert ? B.Insert(C.Start, C.Text)
                                       : B.Replace(C.Start, C.End, C.Text);
        EXPECT_EQ(S.Ok(), C.Ok) << S.Message();
        EXPECT_EQ(B.GetText(), C.Expected);
        EXPECT_EQ(B.GetSize(), int(std::string_view(C.Expected).size()));
        bool Changed = std::string_view(C.Expected) != "abcdef";
        EXPECT_EQ(B.GetModified(), Changed);
        EXPECT_EQ(S.Message().empty(), C.Ok);
    }
}

TEST(EditBuffer, HoldsTextComparesExactBytesInsideTheText) {
    TEditBuffer B("a.c", std::string("ab\0c\xff", 5), {});
    struct TCase {
        int Pos;
        std::string Text;
        bool Holds;
    } Cases[] = {
        {0, "ab", true},         {1, std::string("b\0c", 3), true},
        {4, "\xff", true},       {5, "", true},
        {4, "\xff?", false},     {0, "AB", false},
        {-1, "a", false},        {6, "", false},
        {3, "c\xff\x01", false},
    };
    for (const auto& C : Cases)
        EXPECT_EQ(B.HoldsText(C.Pos, C.Text), C.Holds) << C.Pos;
}

TEST(EditBuffer, ReadFileFailsClearly) {
    TTempDir Dir;
    std::string Missing = Dir.File("missing.pas");
    auto R = TEditBuffer::ReadFile(Missing, nullptr);
    ASSERT_FALSE(R.Ok());
    EXPECT_EQ(R.Status().Message(), "cannot read " + Missing + ": no such file or directory");

    fs::create_directory(Dir.File("folder.pas"));
    R = TEditBuffer::ReadFile(Dir.File("folder.pas"), nullptr);
    ASSERT_FALSE(R.Ok());
    EXPECT_EQ(R.Status().Message(), "cannot read " + Dir.File("folder.pas") + ": is a directory");

    // A sparse file: refused from its size, before anything is read.
    std::string Big = Dir.File("big.c");
    int Fd = ::open(Big.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(Fd, 0);
    ASSERT_EQ(::ftruncate(Fd, off_t(1) << 31), 0);
    ::close(Fd);
    R = TEditBuffer::ReadFile(Big, nullptr);
    ASSERT_FALSE(R.Ok());
    EXPECT_EQ(R.Status().Message(), "cannot read " + Big + ": file is 2 GiB or larger");

    if (!RunningAsRoot()) {
        std::string Secret = Dir.Write("secret.pas", "x");
        fs::permissions(Secret, fs::perms::none);
        R = TEditBuffer::ReadFile(Secret, nullptr);
        ASSERT_FALSE(R.Ok());
        EXPECT_EQ(R.Status().Message(), "cannot read " + Secret + ": permission denied");
    }
}

TEST(EditBuffer, SaveKeepsEveryByte) {
    const std::string Cases[] = {
        "a\r\nb\r\n",
        "a\nb\n",
        "no final newline",
        std::string("nul\0inside\0", 11),
        "bad \xC3\x28 utf8 \xFF\xFE and a lone \x80",
        "",
        "mixed\r\nends\nand\rcr",
    };
    for (const auto& Original : Cases) {
        SCOPED_TRACE(Original);
        TTempDir Dir;
        std::string Path = Dir.Write("unit.pas", Original);
        TEditBuffer B = Load(Path);
        EXPECT_EQ(B.GetText(), Original);

        ASSERT_TRUE(B.Save().Ok());
        EXPECT_EQ(ReadBytes(Path), Original);

        ASSERT_TRUE(B.Insert(B.GetSize(), "{ TODO : x }").Ok());
        TStatus S = B.Save();
        ASSERT_TRUE(S.Ok()) << S.Message();
        EXPECT_EQ(ReadBytes(Path), Original + "{ TODO : x }");
        EXPECT_FALSE(B.GetModified());
        EXPECT_EQ(Dir.Entries(), std::vector<std::string>{"unit.pas"});
    }
}

TEST(EditBuffer, SaveKeepsPermissionsAndGivesNewFilesTheDefault) {
    TTempDir Dir;
    std::string Path = Dir.Write("a.pas", "x");
    ::chmod(Path.c_str(), 0640);
    TEditBuffer B = Load(Path);
    ASSERT_TRUE(B.Insert(0, "y").Ok());
    ASSERT_TRUE(B.Save().Ok());
    EXPECT_EQ(ModeOf(Path), 0640u);

    mode_t Mask = ::umask(0);
    ::umask(Mask);
    TEditBuffer New(Dir.File("new.pas"), "fresh", {});
    TStatus S = New.Save();
    ASSERT_TRUE(S.Ok()) << S.Message();
    EXPECT_EQ(ReadBytes(Dir.File("new.pas")), "fresh");
    EXPECT_EQ(ModeOf(Dir.File("new.pas")), 0644u & ~Mask);
    EXPECT_TRUE(NoTempFiles(Dir));
}

TEST(EditBuffer, SaveRefusesAFileChangedOnDisk) {
    TTempDir Dir;
    std::string Path = Dir.Write("a.pas", "mine");
    TEditBuffer B = Load(Path);
    ASSERT_TRUE(B.Insert(4, "!").Ok());
    Dir.Write("a.pas", "theirs, longer");

    TStatus S = B.Save();
    ASSERT_FALSE(S.Ok());
    EXPECT_EQ(S.Message(), Path + " changed on disk since it was read; not overwritten");
    EXPECT_EQ(ReadBytes(Path), "theirs, longer");
    EXPECT_TRUE(B.GetModified());
    EXPECT_TRUE(NoTempFiles(Dir));

    // Same size, only the time tells: still refused, because the bytes differ.
    std::string Other = Dir.Write("b.pas", "abcd");
    TEditBuffer C = Load(Other);
    ASSERT_TRUE(C.Insert(0, "!").Ok());
    Dir.Write("b.pas", "wxyz");
    Touch(Other);
    EXPECT_FALSE(C.Save().Ok());
    EXPECT_EQ(ReadBytes(Other), "wxyz");
}

TEST(EditBuffer, SaveAcceptsATouchedButUnchangedFile) {
    TTempDir Dir;
    std::string Path = Dir.Write("a.pas", "same\r\n");
    TEditBuffer B = Load(Path);
    ASSERT_TRUE(B.Insert(0, "new ").Ok());
    Dir.Write("a.pas", "same\r\n");
    Touch(Path);
    TStatus S = B.Save();
    ASSERT_TRUE(S.Ok()) << S.Message();
    EXPECT_EQ(ReadBytes(Path), "new same\r\n");

    // The stamp of our own save is recorded: saving again needs no comparison and succeeds,
    // and a later outside change is caught again.
    ASSERT_TRUE(B.Insert(0, "+").Ok());
    ASSERT_TRUE(B.Save().Ok());
    EXPECT_EQ(ReadBytes(Path), "+new same\r\n");
    Dir.Write("a.pas", "outside");
    ASSERT_TRUE(B.Insert(0, "+").Ok());
    EXPECT_FALSE(B.Save().Ok());
    EXPECT_EQ(ReadBytes(Path), "outside");
}

TEST(EditBuffer, SaveRefusesAReadOnlyFile) {
    // Root may write any file, but a file without write bits is refused for everybody.
    TTempDir Dir;
    std::string Path = Dir.Write("a.pas", "keep");
    TEditBuffer B = Load(Path);
    ::chmod(Path.c_str(), 0444);
    ASSERT_TRUE(B.Insert(0, "x").Ok());
    TStatus S = B.Save();
    ASSERT_FALSE(S.Ok());
    EXPECT_EQ(S.Message(), "cannot save " + Path + ": the file is read-only");
    EXPECT_EQ(ReadBytes(Path), "keep");
    EXPECT_EQ(ModeOf(Path), 0444u);
    EXPECT_TRUE(NoTempFiles(Dir));
}

TEST(EditBuffer, SaveRefusesAMissingFolder) {
    TTempDir Dir;
    std::string Path = Dir.File("gone/a.pas");
    TEditBuffer B(Path, "text", {});
    TStatus S = B.Save();
    ASSERT_FALSE(S.Ok());
    EXPECT_EQ(S.Message(),
              "cannot save " + Path + ": folder " + Dir.File("gone") + " does not exist");
    EXPECT_FALSE(fs::exists(Dir.File("gone")));
}

TEST(EditBuffer, SaveInAReadOnlyFolderLeavesNoTrace) {
    TTempDir Dir;
    fs::create_directory(Dir.File("ro"));
    std::string Path = Dir.Write("ro/a.pas", "keep");
    TEditBuffer B = Load(Path);
    ASSERT_TRUE(B.Insert(0, "x").Ok());
    ::chmod(Dir.File("ro").c_str(), 0555);
    TStatus S = B.Save();
    ::chmod(Dir.File("ro").c_str(), 0755);

    std::vector<std::string> Left;
    for (const auto& E : fs::directory_iterator(Dir.File("ro")))
        Left.push_back(E.path().filename().string());
    EXPECT_EQ(Left, std::vector<std::string>{"a.pas"});
    if (RunningAsRoot()) {
        // Root writes into the folder regardless of its mode; then the save must be whole.
        EXPECT_EQ(ReadBytes(Path), S.Ok() ? "xkeep" : "keep");
    } else {
        ASSERT_FALSE(S.Ok());
        EXPECT_EQ(S.Message(),
                  "cannot save " + Path + ": folder " + Dir.File("ro") + " is not writable");
        EXPECT_EQ(ReadBytes(Path), "keep");
    }
}

TEST(EditBuffer, SaveWritesThroughASymbolicLink) {
    TTempDir Dir;
    std::string Real = Dir.Write("real.pas", "a");
    std::string Link = Dir.File("link.pas");
    fs::create_symlink(Real, Link);
    TEditBuffer B = Load(Link);
    ASSERT_TRUE(B.Insert(1, "b").Ok());
    ASSERT_TRUE(B.Save().Ok());
    EXPECT_TRUE(fs::is_symlink(Link));
    EXPECT_EQ(ReadBytes(Real), "ab");
    EXPECT_TRUE(NoTempFiles(Dir));
}

TEST(EditBuffer, ReloadDropsUnsavedChanges) {
    TTempDir Dir;
    std::string Path = Dir.Write("a.pas", "disk");
    TEditBuffer B = Load(Path);
    ASSERT_TRUE(B.Delete(0, 4).Ok());
    Dir.Write("a.pas", "disk, changed");
    ASSERT_TRUE(B.Reload().Ok());
    EXPECT_EQ(B.GetText(), "disk, changed");
    EXPECT_FALSE(B.GetModified());
    // The reloaded state is the new base for the next save.
    ASSERT_TRUE(B.Insert(0, ">").Ok());
    EXPECT_TRUE(B.Save().Ok());
    EXPECT_EQ(ReadBytes(Path), ">disk, changed");
}

TEST(EditBuffer, ShowTextMovesTheCursorAndTellsTheFrontEnd) {
    TEditBuffer B("a.pas", "one\r\ntwo\nthree", {});
    int Calls = 0;
    TEditBuffer::ShowTextProc = [&](TEditBuffer& Shown, int, int) {
        EXPECT_EQ(&Shown, &B);
        ++Calls;
    };
    struct TCase {
        int Line, Pos, Cursor;
    } Cases[] = {
        {-1, 6, 6}, {-1, 99, 14}, {0, -3, 0}, {2, 1, 6}, {3, 2, 11}, {2, 50, 8}, {9, 0, 14},
    };
    for (const auto& C : Cases) {
        B.ShowText(C.Line, C.Pos);
        EXPECT_EQ(B.GetCursorPos(), C.Cursor) << C.Line << ":" << C.Pos;
    }
    EXPECT_EQ(Calls, int(std::size(Cases)));
    TEditBuffer::ShowTextProc = nullptr;
}
