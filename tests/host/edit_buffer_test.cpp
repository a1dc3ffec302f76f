#include "host/edit_buffer.h"
#include "host/file_io.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

/// A buffer read from Path, as an editor holds it.
TEditBuffer Load(const std::string& Path) {
    TDiskStamp Stamp;
    auto Text = TEditBuffer::ReadFile(Path, &Stamp);
    EXPECT_TRUE(Text.Ok()) << Text.Status().Message();
    return TEditBuffer(Path, Text.Value(), Stamp);
}

/// Writes Bytes to Path as another program would, with a later modification time.
void WriteLater(const std::string& Path, std::string_view Bytes) {
    const auto Time = fs::last_write_time(Path);
    std::ofstream(Path, std::ios::binary).write(Bytes.data(), std::ssize(Bytes));
    fs::last_write_time(Path, Time + std::chrono::seconds(5));
}

unsigned ModeOf(const std::string& Path) {
    return static_cast<unsigned>(fs::status(Path).permissions());
}

using TNames = std::vector<std::string>;

} // namespace

TEST(EditBuffer, EditsCheckTheirRangeAndChangeNothingOnFailure) {
    struct {
        char Op; // Delete, Insert "XY" or Replace by "XY"
        int Start, End;
        const char* Expected; // null: refused
    } Cases[] = {{'D', 0, 2, "cdef"},     {'D', 2, 6, "ab"},       {'D', 3, 3, "abcdef"},
                 {'D', -1, 2, nullptr},   {'D', 4, 2, nullptr},    {'D', 2, 7, nullptr},
                 {'I', 0, 0, "XYabcdef"}, {'I', 6, 6, "abcdefXY"}, {'I', 7, 7, nullptr},
                 {'I', -1, -1, nullptr},  {'R', 1, 3, "aXYdef"},   {'R', 0, 6, "XY"},
                 {'R', 5, 7, nullptr}};
    for (const auto& C : Cases) {
        TEditBuffer B("a.pas", "abcdef", {});
        const TStatus S = C.Op == 'D'   ? B.Delete(C.Start, C.End)
                          : C.Op == 'I' ? B.Insert(C.Start, "XY")
                                        : B.Replace(C.Start, C.End, "XY");
        const std::string Expected = C.Expected ? C.Expected : "abcdef";
        EXPECT_EQ(S.Ok(), C.Expected != nullptr) << C.Op << C.Start << ".." << C.End;
        EXPECT_EQ(S.Message().empty(), S.Ok());
        EXPECT_EQ(B.GetText(), Expected);
        EXPECT_EQ(B.GetModified(), Expected != "abcdef");
    }
}

TEST(EditBuffer, ReadFileRefusesWhatItCannotHold) {
    TTempDir Dir;
    fs::create_directory(Dir.File("folder.pas"));
    fs::resize_file(Dir.Write("big.c", ""), std::uintmax_t(1) << 31); // sparse: size alone tells
    for (const auto& [Name, Why] : {std::pair{"missing.pas", "no such file or directory"},
                                    {"folder.pas", "is a directory"},
                                    {"big.c", "file is 2 GiB or larger"}})
        EXPECT_EQ(TEditBuffer::ReadFile(Dir.File(Name), nullptr).Status().Message(),
                  "cannot read " + Dir.File(Name) + ": " + Why);
}

TEST(EditBuffer, SaveKeepsEveryByteAndLeavesNoTemporaryFile) {
    for (const std::string& Original : {"a\r\nb\r\n"s, "no final newline"s, "nul\0inside\0"s,
                                        "bad \xC3\x28 utf8 \xFF\xFE \x80"s, ""s, "a\r\nb\nc\rd"s}) {
        TTempDir Dir;
        const std::string Path = Dir.Write("unit.pas", Original);
        TEditBuffer B = Load(Path);
        EXPECT_EQ(B.GetText(), Original);
        ASSERT_TRUE(B.Insert(B.GetSize(), "{ TODO : x }").Ok());
        const TStatus S = B.Save();
        ASSERT_TRUE(S.Ok()) << S.Message();
        EXPECT_EQ(ReadBytes(Path), Original + "{ TODO : x }");
        EXPECT_FALSE(B.GetModified());
        EXPECT_EQ(Dir.Entries(), TNames{"unit.pas"});
    }
}

TEST(EditBuffer, SaveRefusesWhenAnotherProgramSavesWhileTheCopyIsWritten) {
    // Whether the file existed before or not: the other program's bytes stay, the copy goes,
    // and the buffer keeps its changes for the user to decide.
    for (const bool Existed : {true, false}) {
        SCOPED_TRACE(Existed);
        TTempDir Dir;
        const std::string Path = Dir.File("unit.pas");
        if (Existed)
            Dir.Write("unit.pas", "ours");
        TEditBuffer B = Existed ? Load(Path) : TEditBuffer(Path, "", {});
        ASSERT_TRUE(B.Insert(0, "mine ").Ok());
        SetBeforeReplaceHookForTesting(
            [](const fs::path& Target) { std::ofstream(Target, std::ios::binary) << "theirs"; });
        const TStatus S = B.Save();
        SetBeforeReplaceHookForTesting(nullptr);
        ASSERT_FALSE(S.Ok());
        EXPECT_NE(S.Message().find("changed on disk while it was being saved"), std::string::npos)
            << S.Message();
        EXPECT_EQ(ReadBytes(Path), "theirs");
        EXPECT_TRUE(B.GetModified());
        EXPECT_EQ(Dir.Entries(), TNames{"unit.pas"});
    }
}

TEST(EditBuffer, SaveKeepsModeAndLinkAndGivesNewFilesTheDefaultMode) {
    TTempDir Dir;
    const std::string Real = Dir.Write("real.pas", "x");
    ::chmod(Real.c_str(), 0640);
    fs::create_symlink(Real, Dir.File("link.pas"));
    TEditBuffer B = Load(Dir.File("link.pas"));
    ASSERT_TRUE(B.Insert(0, "y").Ok());
    ASSERT_TRUE(B.Save().Ok());
    EXPECT_TRUE(fs::is_symlink(Dir.File("link.pas")));
    EXPECT_EQ(ReadBytes(Real), "yx");
    EXPECT_EQ(ModeOf(Real), 0640u);

    const mode_t Mask = ::umask(0);
    ::umask(Mask);
    TEditBuffer New(Dir.File("new.pas"), "fresh", {});
    ASSERT_TRUE(New.Save().Ok());
    EXPECT_EQ(ReadBytes(Dir.File("new.pas")), "fresh");
    EXPECT_EQ(ModeOf(Dir.File("new.pas")), 0644u & ~Mask);
    EXPECT_EQ(Dir.Entries(), (TNames{"link.pas", "new.pas", "real.pas"}));
}

TEST(EditBuffer, SaveRefusesWhatItMustNotOverwriteButNotATouchedFile) {
    TTempDir Dir;
    const std::string Path = Dir.Write("a.pas", "same\r\n");
    TEditBuffer B = Load(Path);
    for (const char* Edit : {"new ", "+"}) { // touched after the load, then after our own save
        ASSERT_TRUE(B.Insert(0, Edit).Ok());
        WriteLater(Path, ReadBytes(Path));
        const TStatus S = B.Save();
        ASSERT_TRUE(S.Ok()) << S.Message();
    }
    EXPECT_EQ(ReadBytes(Path), "+new same\r\n");

    ASSERT_TRUE(B.Insert(0, "!").Ok());
    WriteLater(Path, "theirs   \r\n"); // the same size: only the bytes tell
    EXPECT_EQ(B.Save().Message(), Path + " changed on disk since it was read; not overwritten");
    EXPECT_EQ(ReadBytes(Path), "theirs   \r\n");
    EXPECT_TRUE(B.GetModified());

    ASSERT_TRUE(B.Reload().Ok()); // takes the file as it is now, the base of the next save
    EXPECT_FALSE(B.GetModified());
    ASSERT_TRUE(B.Insert(0, ">").Ok());
    ASSERT_TRUE(B.Save().Ok());
    EXPECT_EQ(ReadBytes(Path), ">theirs   \r\n");

    fs::permissions(Path, fs::perms(0444)); // refused even for root, who could write it
    ASSERT_TRUE(B.Insert(0, "x").Ok());
    EXPECT_EQ(B.Save().Message(), "cannot save " + Path + ": the file is read-only");
    EXPECT_EQ(ReadBytes(Path), ">theirs   \r\n");
    EXPECT_EQ(ModeOf(Path), 0444u);

    TEditBuffer Lost(Dir.File("gone/a.pas"), "text", {});
    EXPECT_EQ(Lost.Save().Message(), "cannot save " + Dir.File("gone/a.pas") + ": folder " +
                                         Dir.File("gone") + " does not exist");
    EXPECT_EQ(Dir.Entries(), TNames{"a.pas"});
}

TEST(EditBuffer, ShowTextMovesTheCursorAndTellsTheFrontEnd) {
    TEditBuffer B("a.pas", "one\r\ntwo\nthree", {});
    int Calls = 0;
    TEditBuffer::ShowTextProc = [&](TEditBuffer& Shown, int, int) { Calls += &Shown == &B; };
    const int Cases[][3] = {
        {-1, 6, 6}, {-1, 99, 14}, {0, -3, 0}, {2, 1, 6},
        {3, 2, 11}, {2, 50, 8},   {9, 0, 14}}; // line (< 1: none), position, cursor
    for (const auto& [Line, Pos, Cursor] : Cases) {
        B.ShowText(Line, Pos);
        EXPECT_EQ(B.GetCursorPos(), Cursor) << Line << ":" << Pos;
    }
    EXPECT_EQ(Calls, 7);
    TEditBuffer::ShowTextProc = nullptr;
}

TEST(EditBuffer, ChangedOnDiskTellsTheConflictSaveRefusesAndAdoptingTheDiskOverwritesIt) {
    TTempDir Dir;
    const std::string Path = Dir.Write("a.pas", "mine\n");
    TEditBuffer B = Load(Path);
    EXPECT_FALSE(B.ChangedOnDisk());
    WriteLater(Path, "mine\n"); // touched only
    EXPECT_FALSE(B.ChangedOnDisk());

    ASSERT_TRUE(B.Insert(0, "+").Ok());
    EXPECT_FALSE(B.ChangedOnDisk()) << "our own unsaved edit is no change on disk";
    WriteLater(Path, "theirs\n");
    EXPECT_TRUE(B.ChangedOnDisk());
    EXPECT_FALSE(B.Save().Ok());

    B.AdoptDiskState();
    EXPECT_FALSE(B.ChangedOnDisk());
    EXPECT_EQ(B.GetText(), "+mine\n");
    EXPECT_TRUE(B.GetModified());
    ASSERT_TRUE(B.Save().Ok());
    EXPECT_EQ(ReadBytes(Path), "+mine\n");
    EXPECT_FALSE(B.ChangedOnDisk()) << "our own save is no change on disk";

    fs::remove(Path);
    EXPECT_TRUE(B.ChangedOnDisk());
    B.AdoptDiskState();
    EXPECT_FALSE(B.ChangedOnDisk());
    ASSERT_TRUE(B.Save().Ok()) << "a deleted file is written again";
    EXPECT_EQ(ReadBytes(Path), "+mine\n");
}
