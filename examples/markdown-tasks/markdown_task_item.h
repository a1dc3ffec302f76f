#pragma once

#include "host/intatodo_item.h"

#include <string>
#include <string_view>
#include <vector>

class TEditBuffer;

/// One task line of a Markdown file, as read.
struct TMarkdownTask {
    int Line = 0;          ///< 1-based
    bool Checked = false;  ///< `[x]` or `[X]`
    std::string Text;      ///< the rest of the line after the brackets, trimmed
    int LineStart = 0;     ///< 0-based byte offset of the line in the file
    int BracketOffset = 0; ///< 0-based byte offset of the `[` in the file
    std::string LineBytes; ///< the line as read, without its line break
    bool operator==(const TMarkdownTask&) const = default;
};

/// The task lines of the Markdown text Text in text order: a list item (`-`, `*`, `+` or an
/// ordered `1.` / `1)` bullet, any indentation, then a space or tab) that starts with `[ ]`,
/// `[x]` or `[X]` followed by a space or tab and some text. Lines inside fenced code blocks
/// (``` or ~~~, closed by a fence of the same character at least as long) are not tasks. Line
/// breaks are LF or CRLF; bytes are kept as they are.
std::vector<TMarkdownTask> ParseMarkdownTasks(std::string_view Text);

/// True for the names this package reads: ending in .md or .markdown, any letter case.
bool IsMarkdownFileName(std::string_view FileName);

/// The origin the list shows for these items (and the name its origin filter hides them by).
inline constexpr const char* MarkdownTaskKind = "Markdown tasks";

/// A task of a Markdown file as the to-do list sees it. Immutable: the list's parse thread may
/// read it while the main thread replaces the manager's items. Checking it rewrites the file.
class TMarkdownTaskItem : public INTAToDoItem {
public:
    /// FileName: absolute and normal (NormalizeFileName).
    TMarkdownTaskItem(std::string FileName, TMarkdownTask Task);

    bool CanDelete() override { return false; }
    bool CanEdit() override { return false; }
    bool CanShow() override { return true; }
    /// Refused: a task is removed by editing the file.
    TStatus Delete() override;
    void DrawImage(TCanvas& Canvas, const TRect& Rect) override;
    /// Show(); a failure is reported on stderr (there is no other channel).
    void DoubleClicked() override;
    /// False: there is no edit dialog for a task line.
    bool Edit() override { return false; }
    std::string GetText() override { return FTask.Text; }
    int GetPriority() override { return 0; }
    std::string GetCategory() override { return {}; }
    bool GetChecked() override { return FTask.Checked; }
    /// The Markdown file's name (absolute).
    std::string GetModuleName() override { return FFileName; }
    std::string GetKind() override { return MarkdownTaskKind; }
    /// The 1-based line number.
    int GetData() override { return FTask.Line; }
    std::string GetOwner() override { return {}; }
    bool IsValid() override { return true; }
    /// Rewrites the one character between the brackets. In the file's buffer (marked modified,
    /// not saved) when it is open in an editor or has unsaved changes already; else in the file:
    /// loaded (or the module loaded without an editor, read again when the file changed),
    /// changed, saved safely, and closed again when it was loaded for this. Refused, nothing
    /// changed, when the line no longer reads as it did. Main thread only.
    TStatus SetChecked(bool Value) override;
    /// Opens the file in an editor view and puts the cursor at the start of the line.
    TStatus Show() override;

private:
    /// Replaces the mark in Buffer after checking that the line is unchanged.
    TStatus Rewrite(TEditBuffer& Buffer, bool Value) const;

    const std::string FFileName;
    const TMarkdownTask FTask;
};
