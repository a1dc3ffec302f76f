// The code editors and their tabs against the real host layer: modules loaded from files in a
// temporary folder, the host's events, and message boxes answered the way a user would.
#include "code_editor.h"
#include "editor_tabs.h"

#include "tests/host/temp_dir.h"

#include "host/edit_buffer.h"
#include "host/events.h"
#include "host/file_project.h"
#include "host/module.h"
#include "ui/shell/ide_services.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

/// Runs the event loop until Done() holds (or a generous limit passes); returns Done().
bool WaitFor(const std::function<bool()>& Done) {
    QElapsedTimer Timer;
    Timer.start();
    while (!Done() && Timer.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return Done();
}

/// Types Text (UTF-8) into Editor key by key, as a user would.
void Type(QWidget* Editor, const std::string& Text) {
    for (QChar Ch : QString::fromStdString(Text)) {
        QKeyEvent Press(QEvent::KeyPress, 0, Qt::NoModifier, QString(Ch));
        QApplication::sendEvent(Editor, &Press);
        QKeyEvent Release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(Ch));
        QApplication::sendEvent(Editor, &Release);
    }
}

/// Writes Bytes to Path as another program would, with a later modification time.
void WriteLater(const std::string& Path, std::string_view Bytes) {
    const auto Time =
        fs::exists(Path) ? fs::last_write_time(Path) : fs::file_time_type::clock::now();
    std::ofstream(Path, std::ios::binary).write(Bytes.data(), std::ssize(Bytes));
    fs::last_write_time(Path, Time + std::chrono::seconds(5));
}

/// Answers the message boxes that open from now on, in order, with the buttons named in
/// Answers; records each box's text. A box nobody expected is cancelled (its escape button)
/// and recorded, so a test sees it.
class TBoxAnswerer {
public:
    explicit TBoxAnswerer(std::vector<QString> Answers) : FAnswers(std::move(Answers)) {
        FTimer.setInterval(5);
        QObject::connect(&FTimer, &QTimer::timeout, [this] { Poll(); });
        FTimer.start();
    }
    std::vector<QString> Texts;

private:
    void Poll() {
        auto* Box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!Box || !Box->isVisible())
            return;
        Texts.push_back(Box->text());
        const QString Wanted = Texts.size() <= FAnswers.size() ? FAnswers[Texts.size() - 1] : "";
        for (QAbstractButton* B : Box->buttons())
            if (B->text() == Wanted) {
                B->click();
                return;
            }
        Box->escapeButton() ? Box->escapeButton()->click() : Box->reject();
    }
    std::vector<QString> FAnswers;
    QTimer FTimer;
};

class EditorTest : public ::testing::Test {
protected:
    TTempDir Dir;
    TTempDir Home;
    TEditorActionList Actions;
    std::unique_ptr<TEditorTabs> Tabs;
    int ModifiedRaises = 0;
    TEvent<TModule*, const std::string&>::TToken Token = 0;

    void SetUp() override {
        for (const char* Var : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR", "HOME"})
            ::setenv(Var, Home.File(Var).c_str(), 1);
        EditorActionLists().push_back(&Actions);
        Tabs = std::make_unique<TEditorTabs>(nullptr);
        Token = EvModuleModified().Add([this](TModule*, const std::string&) { ++ModifiedRaises; });
    }

    void TearDown() override {
        EvModuleModified().Remove(Token);
        for (const std::string& F : Dir.Entries()) {
            CloseEditorView(Dir.File(F));
            CloseModule(Dir.File(F));
        }
        Tabs.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EditorActionLists().clear();
    }

    /// Writes Name with Bytes and opens it in an editor tab through the host.
    TCodeEditor* Open(const std::string& Name, std::string_view Bytes, bool Show = true) {
        const std::string Path = Dir.Write(Name, Bytes);
        EXPECT_TRUE(CallDefaultOpenProc(Path, Show).Ok());
        TCodeEditor* E = Tabs->EditorOf(Path);
        EXPECT_NE(E, nullptr) << Name;
        return E;
    }

    QString TabText(TCodeEditor* E) const { return Tabs->tabText(Tabs->indexOf(E)); }
};

} // namespace

TEST(EditorMapping, ByteOffsetsAndEditorPositionsMapBothWays) {
    // "é" is 2 bytes, "€" 3, "😀" 4 bytes and 2 UTF-16 units; "\r\n" one editor position.
    const std::string Mixed = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"
                              "b";
    struct TCase {
        const char* Name;
        std::string Bytes;
        int Offset;     // byte offset asked for
        int Pos;        // editor position it maps to
        int BackOffset; // byte offset that position maps back to
    } Cases[] = {
        {"ascii", "abc", 2, 2, 2},
        {"ascii start", "abc", 0, 0, 0},
        {"after two-byte", Mixed, 3, 2, 3},
        {"inside two-byte", Mixed, 2, 1, 1},
        {"after three-byte", Mixed, 6, 3, 6},
        {"inside four-byte", Mixed, 8, 3, 6},
        {"after four-byte", Mixed, 10, 5, 10},
        {"crlf after break", "a\r\nb", 3, 2, 3},
        {"crlf before break", "a\r\nb", 1, 1, 1},
        {"crlf inside break", "a\r\nb", 2, 1, 1},
        {"lone cr and lf", "a\rb\nc", 4, 4, 4},
        {"at end", "a\r\nb\xC3\xA9", 6, 4, 6},
        {"beyond end", "a\r\nb\xC3\xA9", 99, 4, 6},
        {"before start", "abc", -5, 0, 0},
        {"invalid byte",
         "a\xFF"
         "b",
         2, 2, 2},
        // A byte order mark is three bytes and one editor position (U+FEFF).
        {"after bom",
         "\xEF\xBB\xBF"
         "ab",
         4, 2, 4},
        {"inside bom",
         "\xEF\xBB\xBF"
         "ab",
         2, 0, 0},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        EXPECT_EQ(EditorPosOfByteOffset(C.Bytes, C.Offset), C.Pos);
        EXPECT_EQ(ByteOffsetOfEditorPos(C.Bytes, C.Pos), C.BackOffset);
    }
    // A position inside a surrogate pair is the start of its code point; beyond the end the end.
    EXPECT_EQ(ByteOffsetOfEditorPos(Mixed, 4), 6);
    EXPECT_EQ(ByteOffsetOfEditorPos(Mixed, 99), static_cast<int>(Mixed.size()));
}

TEST_F(EditorTest, CursorOffsetsFollowTheBytesOfTheFile) {
    struct TCase {
        const char* Name;
        std::string Bytes;
        int Offset, Line, Column, BackOffset;
    } Cases[] = {
        {"ascii", "one\ntwo", 5, 2, 2, 5},
        {"multi-byte", "\xC3\xA9\xE2\x82\xAC\n\xF0\x9F\x98\x80x", 10, 2, 3, 10},
        {"crlf", "one\r\ntwo\r\n", 6, 2, 2, 6},
        {"at end", "one\r\ntwo", 8, 2, 4, 8},
        {"beyond end", "one\r\ntwo", 50, 2, 4, 8},
        {"bom",
         "\xEF\xBB\xBF"
         "ab\ncd",
         7, 2, 2, 7},
        {"bom, crlf, not utf-8",
         "\xEF\xBB\xBF"
         "a\xFF\r\ncd",
         8, 2, 2, 8},
    };
    int N = 0;
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        TCodeEditor* E = Open("map" + std::to_string(N++) + ".txt", C.Bytes);
        ASSERT_NE(E, nullptr);
        E->SetCursorOffset(C.Offset);
        EXPECT_EQ(E->CursorLine(), C.Line);
        EXPECT_EQ(E->CursorColumn(), C.Column);
        EXPECT_EQ(E->CursorOffset(), C.BackOffset);
    }
}

TEST_F(EditorTest, TypingUpdatesTheBufferAtOnceAndTellsTheModuleOnceAfterABurst) {
    TCodeEditor* E = Open("a.pas", "begin\nend.\n");
    ASSERT_NE(E, nullptr);
    EXPECT_EQ(E->objectName(), "CodeEditor");
    EXPECT_EQ(E->property("fileName").toString().toStdString(), Dir.File("a.pas"));
    EXPECT_EQ(TabText(E), "a.pas");
    ModifiedRaises = 0;

    E->SetCursorOffset(5);
    Type(E, "\xC3\xA9x"); // é, x
    EXPECT_EQ(E->Buffer()->GetText(), "begin\xC3\xA9x\nend.\n");
    QTest::keyClick(E, Qt::Key_Return);
    EXPECT_EQ(E->Buffer()->GetText(), "begin\xC3\xA9x\n\nend.\n");
    QTest::keyClick(E, Qt::Key_Backspace);
    QTest::keyClick(E, Qt::Key_Backspace);
    EXPECT_EQ(E->Buffer()->GetText(), "begin\xC3\xA9\nend.\n");
    EXPECT_TRUE(E->IsModified());
    EXPECT_EQ(TabText(E), "*a.pas");

    ASSERT_TRUE(WaitFor([&] { return ModifiedRaises > 0; }));
    QTest::qWait(500); // a second raise would come after the delay
    EXPECT_EQ(ModifiedRaises, 1);
    EXPECT_TRUE(E->Module()->GetModified());
}

TEST_F(EditorTest, ChangesOthersMakeToTheBufferShowWithTheCursorKept) {
    struct TCase {
        const char* Name;
        std::string Bytes;
        int CursorAt; // byte offset of the cursor before the change
        int Start, End;
        std::string Replacement;
        std::string Shown;
        int CursorAfter;
    } Cases[] = {
        {"before cursor", "one\ntwo\nthree\n", 8, 4, 7, "TWO-2", "one\nTWO-2\nthree\n", 10},
        {"after cursor", "one\ntwo\nthree\n", 1, 8, 13, "3", "one\ntwo\n3\n", 1},
        {"crlf lines", "a\r\nb\r\nc", 6, 3, 4, "x\r\ny", "a\nx\ny\nc", 9},
        {"bom", "\xEF\xBB\xBFone\ntwo", 8, 3, 6, "1",
         "\xEF\xBB\xBF"
         "1\ntwo",
         6},
    };
    int N = 0;
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        TCodeEditor* E = Open("ext" + std::to_string(N++) + ".txt", C.Bytes);
        ASSERT_NE(E, nullptr);
        E->SetCursorOffset(C.CursorAt);
        ASSERT_TRUE(E->Buffer()->Replace(C.Start, C.End, C.Replacement).Ok());
        E->Module()->Modified();
        EXPECT_EQ(E->toPlainText().toStdString(), C.Shown);
        EXPECT_EQ(E->CursorOffset(), C.CursorAfter);
        EXPECT_EQ(TabText(E).front(), '*');
        // The editor and the buffer agree from here on: typing lands where the user sees it.
        Type(E, "#");
        std::string Expected = C.Bytes;
        Expected.replace(static_cast<size_t>(C.Start), static_cast<size_t>(C.End - C.Start),
                         C.Replacement);
        Expected.insert(static_cast<size_t>(C.CursorAfter), "#");
        EXPECT_EQ(E->Buffer()->GetText(), Expected);
    }
}

TEST_F(EditorTest, InsertTextAtCursorIsOneUndoStepThatTheBufferFollows) {
    TCodeEditor* E = Open("a.c", "int x;\n");
    ASSERT_NE(E, nullptr);
    E->SetCursorOffset(4);
    QTextCursor C = E->textCursor();
    C.setPosition(0, QTextCursor::KeepAnchor); // a selection that must survive as text
    E->setTextCursor(C);
    E->InsertTextAtCursor("/* TODO: name \xE2\x82\xAC */\n");
    EXPECT_EQ(E->Buffer()->GetText(), "/* TODO: name \xE2\x82\xAC */\nint x;\n");
    EXPECT_EQ(E->CursorOffset(), 21);
    EXPECT_FALSE(E->textCursor().hasSelection());

    E->undo();
    EXPECT_EQ(E->Buffer()->GetText(), "int x;\n");
    EXPECT_EQ(E->toPlainText(), "int x;\n");
    E->redo();
    EXPECT_EQ(E->Buffer()->GetText(), "/* TODO: name \xE2\x82\xAC */\nint x;\n");
}

TEST_F(EditorTest, SaveWritesTheFileAndClearsTheMark) {
    TCodeEditor* E = Open("a.txt", "text\n");
    ASSERT_NE(E, nullptr);
    Type(E, "my ");
    EXPECT_EQ(TabText(E), "*a.txt");
    EXPECT_EQ(Tabs->tabToolTip(Tabs->indexOf(E)).toStdString(), Dir.File("a.txt"));
    TBoxAnswerer Boxes({});
    ASSERT_TRUE(Tabs->SaveEditor(E));
    EXPECT_EQ(ReadBytes(Dir.File("a.txt")), "my text\n");
    EXPECT_EQ(TabText(E), "a.txt");
    EXPECT_FALSE(E->IsModified());
    EXPECT_FALSE(E->Module()->GetModified());
    EXPECT_TRUE(Boxes.Texts.empty());

    // The watcher then reports our own save: nothing happens.
    Tabs->FileChangedOnDisk(Dir.File("a.txt"));
    QCoreApplication::processEvents();
    EXPECT_TRUE(Boxes.Texts.empty());
    EXPECT_EQ(E->toPlainText(), "my text\n");
}

TEST_F(EditorTest, SavingOverAFileChangedOnDiskAsksAndEachAnswerDoesItsThing) {
    struct TCase {
        const char* Button;
        bool Result;
        std::string OnDisk, Shown;
        bool Modified;
    } Cases[] = {
        {"Cancel", false, "theirs\n", "mine\n", true},
        {"Reload", true, "theirs\n", "theirs\n", false},
        {"Overwrite", true, "mine\n", "mine\n", false},
    };
    int N = 0;
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Button);
        const std::string Name = "c" + std::to_string(N++) + ".txt";
        TCodeEditor* E = Open(Name, "ine\n");
        ASSERT_NE(E, nullptr);
        Type(E, "m");
        WriteLater(Dir.File(Name), "theirs\n");
        TBoxAnswerer Boxes({C.Button});
        EXPECT_EQ(Tabs->SaveEditor(E), C.Result);
        ASSERT_EQ(Boxes.Texts.size(), 1u);
        EXPECT_EQ(Boxes.Texts[0].toStdString(), Name + " changed on disk since it was opened.");
        EXPECT_EQ(ReadBytes(Dir.File(Name)), C.OnDisk);
        EXPECT_EQ(E->toPlainText().toStdString(), C.Shown);
        EXPECT_EQ(E->Buffer()->GetText(), C.Shown);
        EXPECT_EQ(E->IsModified(), C.Modified);
        EXPECT_EQ(TabText(E).startsWith('*'), C.Modified);
    }
}

TEST_F(EditorTest, OtherSaveErrorsAreShownAndLoseNothing) {
    TCodeEditor* E = Open("ro.txt", "text\n");
    ASSERT_NE(E, nullptr);
    Type(E, "x");
    fs::permissions(Dir.File("ro.txt"), fs::perms(0444));
    TBoxAnswerer Boxes({"OK"});
    EXPECT_FALSE(Tabs->SaveEditor(E));
    ASSERT_EQ(Boxes.Texts.size(), 1u);
    EXPECT_EQ(Boxes.Texts[0].toStdString(),
              "cannot save " + Dir.File("ro.txt") + ": the file is read-only");
    EXPECT_EQ(E->Buffer()->GetText(), "xtext\n");
    EXPECT_TRUE(E->IsModified());
}

TEST_F(EditorTest, AFileChangedOnDiskReloadsOrAsksFirstWhenModified) {
    struct TCase {
        const char* Name;
        bool Edit;
        std::vector<QString> Answers;
        size_t Questions;
        std::string Shown;
        bool Modified;
    } Cases[] = {
        {"unmodified reloads", false, {}, 0, "theirs\n", false},
        {"modified, yes", true, {"Yes"}, 1, "theirs\n", false},
        {"modified, no", true, {"No"}, 1, "+mine\n", true},
    };
    int N = 0;
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        const std::string Name = "d" + std::to_string(N++) + ".txt";
        TCodeEditor* E = Open(Name, "mine\n");
        ASSERT_NE(E, nullptr);
        if (C.Edit)
            Type(E, "+");
        WriteLater(Dir.File(Name), "theirs\n");
        ModifiedRaises = 0;
        TBoxAnswerer Boxes(C.Answers);
        Tabs->FileChangedOnDisk(Dir.File(Name));
        ASSERT_EQ(Boxes.Texts.size(), C.Questions);
        if (C.Questions) {
            EXPECT_EQ(Boxes.Texts[0].toStdString(),
                      Name + " changed on disk. Reload it and lose your changes?");
        }
        EXPECT_EQ(E->toPlainText().toStdString(), C.Shown);
        EXPECT_EQ(E->Buffer()->GetText(), C.Shown);
        EXPECT_EQ(E->IsModified(), C.Modified);
        if (!C.Modified) {
            EXPECT_GE(ModifiedRaises, 1) << "the list must parse the new text";
        }
    }
}

TEST_F(EditorTest, AFileDeletedOnDiskKeepsItsEditorMarkedModified) {
    TCodeEditor* E = Open("gone.txt", "kept\n");
    ASSERT_NE(E, nullptr);
    fs::remove(Dir.File("gone.txt"));
    TBoxAnswerer Boxes({});
    Tabs->FileChangedOnDisk(Dir.File("gone.txt"));
    EXPECT_TRUE(Boxes.Texts.empty());
    EXPECT_EQ(Tabs->EditorOf(Dir.File("gone.txt")), E);
    EXPECT_EQ(TabText(E), "*gone.txt");
    EXPECT_TRUE(Tabs->tabToolTip(Tabs->indexOf(E)).contains("Deleted on disk"));
    ASSERT_TRUE(Tabs->SaveEditor(E));
    EXPECT_EQ(ReadBytes(Dir.File("gone.txt")), "kept\n");
    EXPECT_EQ(TabText(E), "gone.txt");
}

TEST_F(EditorTest, LineEndingsRoundTripByteExactAfterAnEdit) {
    struct TCase {
        const char* Name;
        std::string Bytes;
        int At;
        std::string Saved;
    } Cases[] = {
        {"crlf", "l1\r\nl2\r\nl3", 6, "l1\r\nl2\r\nnew\r\nl3"},
        {"lf", "l1\nl2\nl3\n", 5, "l1\nl2\nnew\nl3\n"},
        // Mixed: the lines not edited keep theirs; the new one gets the file's usual ending.
        {"mixed", "l1\r\nl2\nl3\r\nl4\r", 9, "l1\r\nl2\nl3\r\nnew\r\nl4\r"},
    };
    int N = 0;
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        const std::string Name = "e" + std::to_string(N++) + ".txt";
        TCodeEditor* E = Open(Name, C.Bytes);
        ASSERT_NE(E, nullptr);
        E->SetCursorOffset(C.At);
        QTest::keyClick(E, Qt::Key_Return);
        Type(E, "new");
        EXPECT_EQ(E->Buffer()->GetText(), C.Saved);
        ASSERT_TRUE(Tabs->SaveEditor(E));
        EXPECT_EQ(ReadBytes(Dir.File(Name)), C.Saved);
    }
}

TEST_F(EditorTest, AByteOrderMarkStaysAndTypingAfterItLandsWhereTheUserSees) {
    const std::string Bom = "\xEF\xBB\xBF";
    struct TCase {
        const char* Name;
        std::string Bytes;
        int At; // byte offset of the cursor
        std::string Saved;
    } Cases[] = {
        {"lf", Bom + "ab\ncd\n", 7, Bom + "ab\ncX\nd\n"},
        {"crlf", Bom + "ab\r\ncd", 8, Bom + "ab\r\ncX\r\nd"},
        {"right after it", Bom + "ab", 3, Bom + "X\nab"},
        {"a bom only", Bom, 3, Bom + "X\n"},
    };
    int N = 0;
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        const std::string Name = "bom" + std::to_string(N++) + ".txt";
        TCodeEditor* E = Open(Name, C.Bytes);
        ASSERT_NE(E, nullptr);
        EXPECT_FALSE(E->isReadOnly());
        ASSERT_TRUE(E->toPlainText().startsWith(QChar(0xFEFF)));
        E->SetCursorOffset(C.At);
        EXPECT_EQ(E->CursorOffset(), C.At);
        Type(E, "X");
        QTest::keyClick(E, Qt::Key_Return);
        EXPECT_EQ(E->Buffer()->GetText(), C.Saved);
        ASSERT_TRUE(Tabs->SaveEditor(E));
        EXPECT_EQ(ReadBytes(Dir.File(Name)), C.Saved);
    }
}

TEST_F(EditorTest, AFileThatIsNotUtf8OpensReadOnlyAndIsNeverChanged) {
    const std::string Bytes = "caf\xE9 \xFF\xFE\r\nend\n"s;
    TCodeEditor* E = Open("latin1.txt", Bytes);
    ASSERT_NE(E, nullptr);
    EXPECT_TRUE(E->isReadOnly());
    EXPECT_TRUE(Tabs->tabToolTip(Tabs->indexOf(E)).contains("UTF-8"));
    Type(E, "x");
    {
        // Text a command inserts is not dropped without a word.
        TBoxAnswerer Boxes({"OK"});
        E->InsertTextAtCursor("y");
        ASSERT_EQ(Boxes.Texts.size(), 1u);
        EXPECT_EQ(Boxes.Texts[0].toStdString(),
                  "latin1.txt is open read-only: it is not valid UTF-8, so the editor cannot "
                  "insert text into it.");
    }
    E->undo();
    EXPECT_EQ(E->Buffer()->GetText(), Bytes);
    EXPECT_FALSE(E->IsModified());

    E->SetCursorOffset(6); // past the two invalid bytes
    EXPECT_EQ(E->CursorOffset(), 6);
    EXPECT_TRUE(Tabs->SaveEditor(E));
    ASSERT_TRUE(E->Module()->Save().Ok()); // even written out, the bytes stay
    EXPECT_EQ(ReadBytes(Dir.File("latin1.txt")), Bytes);
}

TEST_F(EditorTest, AFileThatIsNotUtf8ShowsEveryCharacterItHas) {
    // U+FEFF at the start, after an invalid byte and in the middle: each stays one character,
    // so the positions after it still map to the right bytes.
    const std::string Bytes = "\xEF\xBB\xBF"
                              "a\xFF\xEF\xBB\xBF"
                              "b\xEF\xBB\xBF"
                              "c"s;
    TCodeEditor* E = Open("marks.txt", Bytes);
    ASSERT_NE(E, nullptr);
    EXPECT_TRUE(E->IsBinary());
    EXPECT_EQ(E->toPlainText(), QStringView(u"\uFEFFa\uFFFD\uFEFFb\uFEFFc").toString());
    E->SetCursorOffset(12); // before "c"
    EXPECT_EQ(E->CursorColumn(), 7);
    EXPECT_EQ(E->CursorOffset(), 12);
}

TEST_F(EditorTest, RenamingAFileOrTheProjectRenamesItsTab) {
    const std::string Project = Dir.File("app.dpr");
    TCodeEditor* Unit = Open("unit1.pas", "unit unit1;\n");
    TCodeEditor* Main = Open("app.dpr", "program app;\n");
    TCodeEditor* Other = Open("other.pas", "unit other;\n");
    ASSERT_TRUE(Unit && Main && Other);
    Type(Unit, "{}");
    auto P = TProject::Create(Project, {Dir.File("unit1.pas"), Dir.File("other.pas")});

    struct TStep {
        const char* Name;
        TCodeEditor* Editor;
        std::string From, To;
        bool ProjectItself;
        const char* Title;
    } Steps[] = {
        {"file", Unit, "unit1.pas", "unit2.pas", false, "*unit2.pas"},
        {"project", Main, "app.dpr", "tool.dpr", true, "tool.dpr"},
    };
    for (const TStep& S : Steps) {
        SCOPED_TRACE(S.Name);
        // What the rename commands do: the file moves, the module takes the new name, then the
        // project follows and tells everyone.
        const std::string From = Dir.File(S.From), To = Dir.File(S.To);
        fs::rename(From, To);
        ASSERT_TRUE(S.Editor->Module()->Rename(To).Ok());
        if (S.ProjectItself)
            P->Rename(To);
        else
            P->RenameFile(From, To);
        const int Index = Tabs->indexOf(S.Editor);
        EXPECT_EQ(Tabs->tabText(Index).toStdString(), S.Title);
        EXPECT_EQ(Tabs->tabToolTip(Index).toStdString(), To);
        EXPECT_EQ(S.Editor->property("fileName").toString().toStdString(), To);
        EXPECT_EQ(Tabs->EditorOf(To), S.Editor);
    }
    EXPECT_EQ(TabText(Other), "other.pas");
    EXPECT_EQ(Other->property("fileName").toString().toStdString(), Dir.File("other.pas"));
}

TEST_F(EditorTest, TabsFollowTheHostsViewsAndTheUsersChoice) {
    TCodeEditor* A = Open("a.txt", "a");
    TCodeEditor* B = Open("b.txt", "b", false); // opened, not shown
    ASSERT_TRUE(A && B);
    EXPECT_EQ(Tabs->OpenFiles(), (std::vector<std::string>{Dir.File("a.txt"), Dir.File("b.txt")}));
    EXPECT_EQ(Tabs->CurrentEditor(), A);
    EXPECT_EQ(Actions.EditControl(), A);

    SetActiveModule(B->Module()); // the host activates: the tab follows
    EXPECT_EQ(Tabs->CurrentEditor(), B);
    EXPECT_EQ(Actions.EditControl(), B);
    Tabs->setCurrentWidget(A); // the user switches: the host follows
    EXPECT_EQ(ActiveModule(), A->Module());

    CloseEditorView(Dir.File("a.txt")); // the host closes a view: the tab goes
    EXPECT_EQ(Tabs->OpenFiles(), std::vector<std::string>{Dir.File("b.txt")});
    EXPECT_EQ(Tabs->CurrentEditor(), B);
    EXPECT_EQ(Actions.EditControl(), B);
    ASSERT_TRUE(WaitFor([&] { return ActiveModule() == B->Module(); }));

    EXPECT_TRUE(Tabs->CloseEditor(B)); // the user closes the last one
    EXPECT_EQ(Tabs->count(), 0);
    EXPECT_EQ(FindEditBuffer(Dir.File("b.txt")), nullptr);
    EXPECT_EQ(Actions.EditControl(), nullptr);
}

TEST_F(EditorTest, ClosingAModifiedTabAsksSaveDiscardOrCancel) {
    struct TCase {
        const char* Button;
        bool Closed;
        std::string OnDisk;
        std::string Buffer; // of the module left loaded ("" when it was dropped)
    } Cases[] = {
        {"Cancel", false, "text\n", "+text\n"},
        {"Discard", true, "text\n", "text\n"},
        {"Save", true, "+text\n", "+text\n"},
    };
    int N = 0;
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Button);
        const std::string Name = "f" + std::to_string(N++) + ".txt";
        TCodeEditor* E = Open(Name, "text\n");
        ASSERT_NE(E, nullptr);
        Type(E, "+");
        TBoxAnswerer Boxes({C.Button});
        EXPECT_EQ(Tabs->CloseEditor(E), C.Closed);
        ASSERT_EQ(Boxes.Texts.size(), 1u);
        EXPECT_EQ(Boxes.Texts[0].toStdString(), "Save changes to " + Name + "?");
        EXPECT_EQ(Tabs->EditorOf(Dir.File(Name)) != nullptr, !C.Closed);
        EXPECT_EQ(ReadBytes(Dir.File(Name)), C.OnDisk);
        auto Module = FindDocModule(Dir.File(Name));
        ASSERT_NE(Module, nullptr);
        EXPECT_EQ(Module->GetBuffer()->GetText(), C.Buffer);
        EXPECT_EQ(Module->GetModified() || Module->GetBuffer()->GetModified(), !C.Closed);
    }
}

TEST_F(EditorTest, ShowTextSelectsTheTabOrOpensOneAndMovesTheCursor) {
    TCodeEditor* A = Open("a.txt", "one\r\ntwo \xE2\x82\xAC!\r\n");
    TCodeEditor* B = Open("b.txt", "b");
    ASSERT_TRUE(A && B);
    EXPECT_EQ(Tabs->CurrentEditor(), B);

    A->Buffer()->ShowText(2, 7); // line 2, the byte after "€"
    EXPECT_EQ(Tabs->CurrentEditor(), A);
    EXPECT_EQ(ActiveModule(), A->Module());
    EXPECT_EQ(A->CursorOffset(), 12);
    EXPECT_EQ(A->CursorLine(), 2);
    EXPECT_EQ(A->CursorColumn(), 6);

    // A loaded module without a view gets one.
    const std::string C = Dir.Write("c.txt", "x\ny\n");
    auto Loaded = OpenModule(C);
    ASSERT_TRUE(Loaded.Ok());
    Loaded.Value()->GetBuffer()->ShowText(0, 2);
    TCodeEditor* E = Tabs->EditorOf(C);
    ASSERT_NE(E, nullptr);
    EXPECT_EQ(Tabs->CurrentEditor(), E);
    EXPECT_EQ(E->CursorOffset(), 2);
}

TEST_F(EditorTest, TheContextMenuOffersTheEditorActionsAfterTheStandardOnes) {
    TCodeEditor* A = Open("a.txt", "a");
    TCodeEditor* B = Open("b.txt", "b");
    ASSERT_TRUE(A && B);
    QAction Add("Add To-Do It&em...");
    Actions.AddAction(&Add);
    Actions.SetEditControl(B);

    QStringList Seen;
    IEditControl* Control = nullptr;
    QTimer::singleShot(0, [&] {
        WaitFor([] { return QApplication::activePopupWidget() != nullptr; });
        auto* Menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(Menu, nullptr);
        for (QAction* Item : Menu->actions())
            Seen << (Item->isSeparator() ? QString("-") : Item->text());
        Control = Actions.EditControl();
        Menu->close();
    });
    QContextMenuEvent Event(QContextMenuEvent::Mouse, QPoint(5, 5), A->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(A->viewport(), &Event);

    ASSERT_GE(Seen.size(), 3);
    EXPECT_TRUE(Seen.join(' ').contains("Undo")) << Seen.join('|').toStdString();
    EXPECT_EQ(Seen[Seen.size() - 2], "-");
    EXPECT_EQ(Seen.back(), "Add To-Do It&em...");
    EXPECT_EQ(Control, A) << "the menu's commands work on the editor it opened on";
}
