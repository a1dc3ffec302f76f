// Edits the program makes to a file's bytes on the user's behalf: typing in the code editor
// next to a lone CR, and removing or renaming an entry of a Pascal project's uses clause. Each
// must change the bytes the user meant and nothing the user can see otherwise.
#include "code_editor.h"
#include "project_tree.h"

#include "host/edit_buffer.h"
#include "host/module.h"
#include "host/project_loader.h"

#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

/// An editor over a buffer holding Bytes, as it is when the file is opened; the file is never
/// written.
struct TOpenFile {
    explicit TOpenFile(const std::string& Bytes)
        : Module(std::make_shared<TModule>(
              "/nonexistent/edits.txt",
              std::make_shared<TEditBuffer>("/nonexistent/edits.txt", Bytes, TDiskStamp{}))),
          Editor(Module) {}
    std::shared_ptr<TModule> Module;
    TCodeEditor Editor;
};

/// Plays Keys into Editor: '\n' Enter, '\b' Backspace, '\x7f' Delete, '\x1a' Ctrl+Z, anything
/// else typed as it is.
void Play(TCodeEditor& Editor, std::string_view Keys) {
    for (const char K : Keys) {
        if (K == '\n')
            QTest::keyClick(&Editor, Qt::Key_Return);
        else if (K == '\b')
            QTest::keyClick(&Editor, Qt::Key_Backspace);
        else if (K == '\x7f')
            QTest::keyClick(&Editor, Qt::Key_Delete);
        else if (K == '\x1a')
            QTest::keyClick(&Editor, Qt::Key_Z, Qt::ControlModifier);
        else
            QTest::keyClicks(&Editor, QString(QChar(K)));
    }
}

} // namespace

// The editor shows a lone CR as a line break of its own and a CR LF as one. An edit that put
// an LF right after a lone CR used to leave the file with one break where the editor showed
// two, so everything typed later landed one character too far and the line was gone on reopen.
TEST(EditorLoneCrTest, TheFileKeepsEveryLineBreakTheEditorShows) {
    struct TCase {
        const char* Name;
        std::string Bytes;
        int Cursor; // byte offset the keys start at
        std::string Keys;
        std::string Expected;
        int ExpectedCursor; // byte offset of the cursor afterwards
    } Cases[] = {
        // Files with LF endings: a break typed after a lone CR is written CR LF.
        {"enter after a lone cr, then typing", "a\rb\n", 2, "\nX", "a\r\r\nXb\n", 5},
        {"enter after a lone cr, undone", "a\rb\n", 2, "\n\x1a", "a\rb\n", 2},
        {"enter after a lone cr at the end", "a\r", 2, "\nX", "a\r\r\nX", 5},
        // A break typed at the end of a line that ends in a lone CR reaches the bytes as one
        // typed after the CR: the editor's text cannot tell the two apart.
        {"enter at the end of a line ending in a lone cr", "a\rb", 1, "\nX", "a\rX\r\nb", 3},
        // Deleting what stood between a lone CR and an LF makes the CR the file's line ending.
        {"backspace between a lone cr and lf, then typing", "a\rX\nb", 3, "\bY", "a\nY\nb", 3},
        {"delete between a lone cr and lf", "a\rX\nb", 2, "\x7f", "a\n\nb", 2},
        {"a run of lone crs", "a\r\rX\nb", 4, "\b", "a\r\r\n\nb", 4},
        // Files with CR LF endings: typed breaks are CR LF already.
        {"crlf file: enter after a lone cr", "a\r\nb\rc\r\n", 5, "\nX", "a\r\nb\r\r\nXc\r\n", 8},
        {"crlf file: backspace between a lone cr and lf", "a\r\nb\rX\nc\r\n", 6, "\bY",
         "a\r\nb\r\nY\nc\r\n", 7},
        // Edits that join nothing change only what was typed.
        {"enter inside a line", "ab\n", 1, "\nX", "a\nXb\n", 3},
        {"typing after a lone cr", "a\rb", 2, "X", "a\rXb", 3},
        {"backspace removes a lone cr", "a\rb\n", 2, "\b", "ab\n", 1},
        {"crlf file: emptying a line", "a\r\nX\r\nb\r\n", 4, "\b", "a\r\n\r\nb\r\n", 3},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        TOpenFile File(C.Bytes);
        File.Editor.SetCursorOffset(C.Cursor);
        Play(File.Editor, C.Keys);
        EXPECT_EQ(File.Editor.Buffer()->GetText(), C.Expected);
        EXPECT_EQ(File.Editor.CursorOffset(), C.ExpectedCursor);
        // Saved and opened again, the file shows what the editor showed.
        TOpenFile Reopened(File.Editor.Buffer()->GetText());
        EXPECT_EQ(Reopened.Editor.toPlainText(), File.Editor.toPlainText());
    }
}

// Project > Remove File and Rename edit the uses clause. The entry goes with one comma; the
// comments and compiler directives around it stay, so conditional entries stay balanced and
// notes stay where they were written.
TEST(UsesClauseEditsTest, RemovingOrRenamingAnEntryKeepsTheCommentsAroundIt) {
    const std::string Guarded = "program P;\n\nuses\n  A in 'a.pas',\n  {$IFDEF X}\n"
                                "  B in 'b.pas',\n  {$ENDIF}\n  C in 'c.pas';\n\nbegin\nend.\n";
    const std::string Noted =
        "uses\n  A in 'a.pas', // main\n  B in 'b.pas', // note\n  C in 'c.pas';\nbegin end.";
    const std::string LeadingCommas =
        "uses\n  A in 'a.pas'\n  {$IFDEF X}\n  ,B in 'b.pas'\n  {$ENDIF}\n  ;\nbegin end.";
    const std::string OneLine =
        "program P; uses A in 'a.pas', B in 'b.pas', C in 'c.pas'; begin end.";
    struct TCase {
        const char* Name;
        std::string Text;
        std::string Path;    // the entry's path as written
        std::string NewPath; // "" to remove it
        std::string Expected;
    } Cases[] = {
        {"directive before a middle entry", Guarded, "b.pas", "",
         "program P;\n\nuses\n  A in 'a.pas',\n  {$IFDEF X}\n  {$ENDIF}\n  C in 'c.pas';\n\n"
         "begin\nend.\n"},
        {"directive before the last entry", Guarded, "c.pas", "",
         "program P;\n\nuses\n  A in 'a.pas',\n  {$IFDEF X}\n  B in 'b.pas'\n  {$ENDIF}\n  ;\n\n"
         "begin\nend.\n"},
        {"first entry before a directive", Guarded, "a.pas", "",
         "program P;\n\nuses\n  {$IFDEF X}\n  B in 'b.pas',\n  {$ENDIF}\n  C in 'c.pas';\n\n"
         "begin\nend.\n"},
        {"last entry after a note on the line before", Noted, "c.pas", "",
         "uses\n  A in 'a.pas', // main\n  B in 'b.pas' // note\n  ;\nbegin end."},
        {"entry with a note after its comma", Noted, "a.pas", "",
         "uses\n  // main\n  B in 'b.pas', // note\n  C in 'c.pas';\nbegin end."},
        {"leading commas: guarded entry", LeadingCommas, "b.pas", "",
         "uses\n  A in 'a.pas'\n  {$IFDEF X}\n  {$ENDIF}\n  ;\nbegin end."},
        {"leading commas: first entry", LeadingCommas, "a.pas", "",
         "uses\n  {$IFDEF X}\n  B in 'b.pas'\n  {$ENDIF}\n  ;\nbegin end."},
        {"directive after an entry on its line",
         "uses\n  A in 'a.pas',\n  B in 'b.pas' {$ENDIF},\n"
         "  C in 'c.pas';",
         "b.pas", "", "uses\n  A in 'a.pas' {$ENDIF},\n  C in 'c.pas';"},
        {"comment between the last entry and its comma, crlf",
         "uses\r\n  A in 'a.pas',\r\n  (* old *)\r\n  B in 'b.pas';\r\n", "b.pas", "",
         "uses\r\n  A in 'a.pas'\r\n  (* old *)\r\n  ;\r\n"},
        {"middle line, crlf", "uses\r\n  A in 'a.pas',\r\n  B in 'b.pas',\r\n  C in 'c.pas';\r\n",
         "b.pas", "", "uses\r\n  A in 'a.pas',\r\n  C in 'c.pas';\r\n"},
        // What is the entry's own goes with it: a form name after it, a comment inside it.
        {"form name after the entry", "uses\n  A in 'a.pas' {MainForm},\n  B in 'b.pas';", "a.pas",
         "", "uses\n  B in 'b.pas';"},
        {"comment inside the entry", "uses\n  A { x; y } in 'a.pas',\n  B in 'b.pas';", "a.pas", "",
         "uses\n  B in 'b.pas';"},
        {"one line: first", OneLine, "a.pas", "",
         "program P; uses B in 'b.pas', C in 'c.pas'; begin end."},
        {"one line: middle", OneLine, "b.pas", "",
         "program P; uses A in 'a.pas', C in 'c.pas'; begin end."},
        {"one line: last", OneLine, "c.pas", "",
         "program P; uses A in 'a.pas', B in 'b.pas'; begin end."},
        // A rename changes the entry's own bytes only.
        {"rename a guarded entry", Guarded, "b.pas", "lib/Bee.pas",
         "program P;\n\nuses\n  A in 'a.pas',\n  {$IFDEF X}\n  Bee in 'lib/Bee.pas',\n"
         "  {$ENDIF}\n  C in 'c.pas';\n\nbegin\nend.\n"},
        {"rename the last entry after a note", Noted, "c.pas", "d.pas",
         "uses\n  A in 'a.pas', // main\n  B in 'b.pas', // note\n  d in 'd.pas';\nbegin end."},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        const bool Remove = C.NewPath.empty();
        const std::optional<std::string> Result =
            Remove ? UsesClause::RemoveEntry(C.Text, "uses", "/p", "/p/" + C.Path)
                   : UsesClause::RenameEntry(C.Text, "uses", "/p", "/p/" + C.Path, C.NewPath);
        ASSERT_TRUE(Result.has_value());
        EXPECT_EQ(*Result, C.Expected);
        // The project reads the clause it wrote: the other entries, in their order.
        std::vector<std::string> Units = ParseUsesClause(C.Text);
        const auto At = std::find(Units.begin(), Units.end(), C.Path);
        ASSERT_NE(At, Units.end());
        if (Remove)
            Units.erase(At);
        else
            *At = C.NewPath;
        EXPECT_EQ(ParseUsesClause(*Result), Units);
    }
}
