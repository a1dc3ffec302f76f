// The code editors and their tabs against the real host layer: modules loaded from files in a
// temporary folder, the host's events, and message boxes answered the way a user would.
#include "code_editor.h"
#include "editor_tabs.h"
#include "gui_fixture.h"

#include "host/edit_buffer.h"
#include "host/events.h"
#include "host/file_project.h"
#include "host/module.h"
#include "ui/shell/ide_services.h"

#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

class EditorTest : public ::testing::Test {
protected:
    TTestHome Home;
    TTempDir Dir;
    TEditorActionList Actions;
    std::unique_ptr<TEditorTabs> Tabs;
    int ModifiedRaises = 0;
    TEvent<TModule*, const std::string&>::TToken Token = 0;

    void SetUp() override {
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

TEST_F(EditorTest, EachQuestionAboutSavingClosingOrReloadingDoesWhatItsAnswerSays) {
    enum TAction { Save, Close, ChangedOnDisk };
    enum TDisk { Untouched, Theirs, ReadOnly }; // Theirs: another program wrote "theirs\n"
    struct TCase {
        const char* Name;
        TAction Action;
        bool Edit; // the user typed "+" first
        TDisk Disk;
        const char* Answer;   // nullptr: no question may come
        std::string Question; // "%f" stands for the file name, "%p" for its path
        bool Result;          // of SaveEditor and CloseEditor
        std::string OnDisk, Shown;
        bool Modified;
    } Cases[] = {
        {"save", Save, true, Untouched, nullptr, "", true, "+mine\n", "+mine\n", false},
        {"save over theirs, cancel", Save, true, Theirs, "Cancel",
         "%f changed on disk since it was opened.", false, "theirs\n", "+mine\n", true},
        {"save over theirs, reload", Save, true, Theirs, "Reload",
         "%f changed on disk since it was opened.", true, "theirs\n", "theirs\n", false},
        {"save over theirs, overwrite", Save, true, Theirs, "Overwrite",
         "%f changed on disk since it was opened.", true, "+mine\n", "+mine\n", false},
        {"save to a read-only file", Save, true, ReadOnly, "OK",
         "cannot save %p: the file is read-only", false, "mine\n", "+mine\n", true},
        {"unmodified reloads", ChangedOnDisk, false, Theirs, nullptr, "", true, "theirs\n",
         "theirs\n", false},
        {"modified, reload", ChangedOnDisk, true, Theirs, "Yes",
         "%f changed on disk. Reload it and lose your changes?", true, "theirs\n", "theirs\n",
         false},
        {"modified, keep", ChangedOnDisk, true, Theirs, "No",
         "%f changed on disk. Reload it and lose your changes?", true, "theirs\n", "+mine\n", true},
        {"close, cancel", Close, true, Untouched, "Cancel", "Save changes to %f?", false, "mine\n",
         "+mine\n", true},
        {"close, discard", Close, true, Untouched, "Discard", "Save changes to %f?", true, "mine\n",
         "mine\n", false},
        {"close, save", Close, true, Untouched, "Save", "Save changes to %f?", true, "+mine\n",
         "+mine\n", false},
    };
    int N = 0;
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        const std::string Name = "q" + std::to_string(N++) + ".txt", Path = Dir.File(Name);
        TCodeEditor* E = Open(Name, "mine\n");
        ASSERT_NE(E, nullptr);
        if (C.Edit)
            Type(E, "+");
        if (C.Disk == Theirs)
            WriteLater(Path, "theirs\n");
        else if (C.Disk == ReadOnly)
            fs::permissions(Path, fs::perms(0444));
        ModifiedRaises = 0;
        TBoxAnswerer Boxes(C.Answer ? std::vector<QString>{C.Answer} : std::vector<QString>{});
        if (C.Action == Save)
            EXPECT_EQ(Tabs->SaveEditor(E), C.Result);
        else if (C.Action == Close)
            EXPECT_EQ(Tabs->CloseEditor(E), C.Result);
        else
            Tabs->FileChangedOnDisk(Path);
        ASSERT_EQ(Boxes.Boxes.size(), C.Answer ? 1u : 0u);
        if (C.Answer) {
            QString Question = QString::fromStdString(C.Question);
            Question.replace("%f", QString::fromStdString(Name));
            Question.replace("%p", QString::fromStdString(Path));
            EXPECT_EQ(Boxes.Boxes[0].Text, Question);
        }
        EXPECT_EQ(ReadBytes(Path), C.OnDisk);
        // A closed tab leaves the module loaded: what Discard dropped and Save kept shows there.
        EXPECT_EQ(Tabs->EditorOf(Path) != nullptr, C.Action != Close || !C.Result);
        if (Tabs->EditorOf(Path)) {
            EXPECT_EQ(E->toPlainText().toStdString(), C.Shown);
            EXPECT_EQ(E->IsModified(), C.Modified);
            EXPECT_EQ(TabText(E).startsWith('*'), C.Modified);
        }
        auto Module = FindDocModule(Path);
        ASSERT_NE(Module, nullptr);
        EXPECT_EQ(Module->GetBuffer()->GetText(), C.Shown);
        EXPECT_EQ(Module->GetModified() || Module->GetBuffer()->GetModified(), C.Modified);
        if (C.Action == ChangedOnDisk && !C.Modified) {
            EXPECT_GE(ModifiedRaises, 1) << "the list must parse the new text";
        }
    }
}

TEST_F(EditorTest, AFileDeletedOnDiskStaysMarkedModifiedUntilSaved) {
    TCodeEditor* E = Open("gone.txt", "kept\n");
    ASSERT_NE(E, nullptr);
    fs::remove(Dir.File("gone.txt"));
    TBoxAnswerer Boxes({});
    Tabs->FileChangedOnDisk(Dir.File("gone.txt"));
    EXPECT_TRUE(Boxes.Boxes.empty());
    EXPECT_EQ(Tabs->EditorOf(Dir.File("gone.txt")), E);
    EXPECT_EQ(TabText(E), "*gone.txt");
    EXPECT_TRUE(Tabs->tabToolTip(Tabs->indexOf(E)).contains("Deleted on disk"));
    ASSERT_TRUE(Tabs->SaveEditor(E));
    EXPECT_EQ(ReadBytes(Dir.File("gone.txt")), "kept\n");
    EXPECT_EQ(TabText(E), "gone.txt");
    EXPECT_EQ(Tabs->tabToolTip(Tabs->indexOf(E)).toStdString(), Dir.File("gone.txt"));

    // The watcher then reports our own save: no question, no reload.
    ModifiedRaises = 0;
    Tabs->FileChangedOnDisk(Dir.File("gone.txt"));
    QCoreApplication::processEvents();
    EXPECT_TRUE(Boxes.Boxes.empty());
    EXPECT_EQ(ModifiedRaises, 0);
}

TEST_F(EditorTest, EditsKeepTheLineEndingsAndTheByteOrderMarkByteExact) {
    const std::string Bom = "\xEF\xBB\xBF";
    struct TCase {
        const char* Name;
        std::string Bytes;
        int At; // byte offset of the cursor, where "X" and a line break are typed
        std::string Saved;
    } Cases[] = {
        {"crlf", "l1\r\nl2\r\nl3", 8, "l1\r\nl2\r\nX\r\nl3"},
        {"lf", "l1\nl2\nl3\n", 6, "l1\nl2\nX\nl3\n"},
        // Mixed: the lines not edited keep theirs; the new one gets the file's usual ending.
        {"mixed", "l1\r\nl2\nl3\r\nl4\r", 11, "l1\r\nl2\nl3\r\nX\r\nl4\r"},
        {"bom, lf", Bom + "ab\ncd\n", 7, Bom + "ab\ncX\nd\n"},
        {"bom, crlf", Bom + "ab\r\ncd", 8, Bom + "ab\r\ncX\r\nd"},
        {"right after the bom", Bom + "ab", 3, Bom + "X\nab"},
        {"a bom only", Bom, 3, Bom + "X\n"},
    };
    int N = 0;
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        const std::string Name = "e" + std::to_string(N++) + ".txt";
        TCodeEditor* E = Open(Name, C.Bytes);
        ASSERT_NE(E, nullptr);
        EXPECT_FALSE(E->isReadOnly());
        E->SetCursorOffset(C.At);
        EXPECT_EQ(E->CursorOffset(), C.At);
        Type(E, "X");
        QTest::keyClick(E, Qt::Key_Return);
        EXPECT_EQ(E->Buffer()->GetText(), C.Saved);
        ASSERT_TRUE(Tabs->SaveEditor(E));
        EXPECT_EQ(ReadBytes(Dir.File(Name)), C.Saved);
    }
}

TEST_F(EditorTest, AFileThatIsNotUtf8OpensReadOnlyShowsEveryCharacterAndIsNeverChanged) {
    // U+FEFF at the start, after invalid bytes and in the middle: each stays one character, so
    // the positions after it still map to the right bytes.
    const std::string Bytes = "\xEF\xBB\xBF"
                              "a\xFF\xFE\xEF\xBB\xBF"
                              "b\xEF\xBB\xBF"
                              "c\r\nend\n"s;
    TCodeEditor* E = Open("marks.txt", Bytes);
    ASSERT_NE(E, nullptr);
    EXPECT_TRUE(E->IsBinary());
    EXPECT_TRUE(E->isReadOnly());
    EXPECT_TRUE(Tabs->tabToolTip(Tabs->indexOf(E)).contains("UTF-8"));
    EXPECT_EQ(E->toPlainText(),
              QStringView(u"\uFEFFa\uFFFD\uFFFD\uFEFFb\uFEFFc\nend\n").toString());
    E->SetCursorOffset(13); // before "c"
    EXPECT_EQ(E->CursorColumn(), 8);
    EXPECT_EQ(E->CursorOffset(), 13);

    Type(E, "x");
    {
        // Text a command inserts is not dropped without a word.
        TBoxAnswerer Boxes({"OK"});
        E->InsertTextAtCursor("y");
        ASSERT_EQ(Boxes.Boxes.size(), 1u);
        EXPECT_EQ(Boxes.Boxes[0].Text.toStdString(),
                  "marks.txt is open read-only: it is not valid UTF-8, so the editor cannot "
                  "insert text into it.");
    }
    E->undo();
    EXPECT_EQ(E->Buffer()->GetText(), Bytes);
    EXPECT_FALSE(E->IsModified());
    EXPECT_TRUE(Tabs->SaveEditor(E));
    ASSERT_TRUE(E->Module()->Save().Ok()); // even written out, the bytes stay
    EXPECT_EQ(ReadBytes(Dir.File("marks.txt")), Bytes);
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
