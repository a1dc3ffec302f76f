#include "markdown_task_item.h"

#include "host/events.h"
#include "host/module.h"

#include <iostream>

namespace {

/// The host's main image list index of the Markdown task image.
constexpr int MarkdownTaskImage = 92;

bool IsBlank(char C) {
    return C == ' ' || C == '\t';
}

std::string_view Trim(std::string_view S) {
    while (!S.empty() && (IsBlank(S.front()) || S.front() == '\r'))
        S.remove_prefix(1);
    while (!S.empty() && (IsBlank(S.back()) || S.back() == '\r'))
        S.remove_suffix(1);
    return S;
}

/// The length of the run of Fence characters at the start of S.
size_t RunLength(std::string_view S, char Fence) {
    size_t N = 0;
    while (N < S.size() && S[N] == Fence)
        ++N;
    return N;
}

/// The position after a list bullet and its following blank at Pos, or npos when there is none.
size_t SkipBullet(std::string_view Line, size_t Pos) {
    if (Pos >= Line.size())
        return std::string_view::npos;
    size_t After;
    if (Line[Pos] == '-' || Line[Pos] == '*' || Line[Pos] == '+') {
        After = Pos + 1;
    } else {
        size_t Digits = 0;
        while (Pos + Digits < Line.size() && Line[Pos + Digits] >= '0' && Line[Pos + Digits] <= '9')
            ++Digits;
        // An ordered bullet has 1 to 9 digits (a longer number is text, not a list item).
        if (Digits == 0 || Digits > 9 || Pos + Digits >= Line.size() ||
            (Line[Pos + Digits] != '.' && Line[Pos + Digits] != ')'))
            return std::string_view::npos;
        After = Pos + Digits + 1;
    }
    if (After >= Line.size() || !IsBlank(Line[After]))
        return std::string_view::npos;
    while (After < Line.size() && IsBlank(Line[After]))
        ++After;
    return After;
}

} // namespace

std::vector<TMarkdownTask> ParseMarkdownTasks(std::string_view Text) {
    std::vector<TMarkdownTask> Tasks;
    char Fence = 0; // the open fence's character, 0 outside a fenced block
    size_t FenceLength = 0;
    size_t Start = 0;
    for (int LineNo = 1; Start < Text.size(); ++LineNo) {
        size_t End = Text.find('\n', Start);
        if (End == std::string_view::npos)
            End = Text.size();
        std::string_view Line = Text.substr(Start, End - Start);
        if (!Line.empty() && Line.back() == '\r')
            Line.remove_suffix(1);
        const size_t LineStart = Start;
        Start = End + 1;

        size_t Pos = 0;
        while (Pos < Line.size() && IsBlank(Line[Pos]))
            ++Pos;
        const std::string_view Rest = Line.substr(Pos);
        if (Fence) {
            const size_t Run = RunLength(Rest, Fence);
            if (Run >= FenceLength && Trim(Rest.substr(Run)).empty())
                Fence = 0;
            continue;
        }
        for (char C : {'`', '~'}) {
            if (const size_t Run = RunLength(Rest, C); Run >= 3) {
                Fence = C;
                FenceLength = Run;
            }
        }
        if (Fence)
            continue;

        const size_t Box = SkipBullet(Line, Pos);
        if (Box == std::string_view::npos || Box + 3 >= Line.size() || Line[Box] != '[' ||
            Line[Box + 2] != ']' || !IsBlank(Line[Box + 3]))
            continue;
        const char Mark = Line[Box + 1];
        if (Mark != ' ' && Mark != 'x' && Mark != 'X')
            continue;
        const std::string_view TaskText = Trim(Line.substr(Box + 3));
        if (TaskText.empty())
            continue;
        Tasks.push_back(TMarkdownTask{LineNo, Mark != ' ', std::string(TaskText),
                                      static_cast<int>(LineStart),
                                      static_cast<int>(LineStart + Box), std::string(Line)});
    }
    return Tasks;
}

bool IsMarkdownFileName(std::string_view FileName) {
    auto EndsWith = [&](std::string_view Suffix) {
        if (FileName.size() <= Suffix.size())
            return false;
        auto Tail = FileName.substr(FileName.size() - Suffix.size());
        for (size_t I = 0; I < Suffix.size(); ++I) {
            char C = Tail[I];
            if (C >= 'A' && C <= 'Z')
                C = static_cast<char>(C - 'A' + 'a');
            if (C != Suffix[I])
                return false;
        }
        return true;
    };
    return EndsWith(".md") || EndsWith(".markdown");
}

TMarkdownTaskItem::TMarkdownTaskItem(std::string FileName, TMarkdownTask Task)
    : FFileName(std::move(FileName)), FTask(std::move(Task)) {}

TStatus TMarkdownTaskItem::Delete() {
    return TStatus::Error("a markdown task cannot be deleted from the list: edit " + FFileName);
}

void TMarkdownTaskItem::DrawImage(TCanvas& Canvas, const TRect& Rect) {
    Canvas.DrawImage(MarkdownTaskImage, Rect.Left, Rect.Top, true);
}

void TMarkdownTaskItem::DoubleClicked() {
    if (TStatus S = Show(); !S)
        std::cerr << S.Message() << '\n';
}

TStatus TMarkdownTaskItem::Rewrite(TEditBuffer& Buffer, bool Value) const {
    // The whole line must read as it did, up to its break: a line that only grew is changed.
    const int End = FTask.LineStart + static_cast<int>(FTask.LineBytes.size());
    const bool LineEnds =
        End == Buffer.GetSize() || Buffer.HoldsText(End, "\n") || Buffer.HoldsText(End, "\r\n");
    if (!LineEnds || !Buffer.HoldsText(FTask.LineStart, FTask.LineBytes))
        return TStatus::Error(FFileName + ": line " + std::to_string(FTask.Line) +
                              " changed since its tasks were read; refresh the list");
    // Only the mark changes: the rest of the line, its bullet and its line break stay.
    const int Mark = FTask.BracketOffset + 1;
    return Buffer.Replace(Mark, Mark + 1, Value ? "x" : " ");
}

TStatus TMarkdownTaskItem::SetChecked(bool Value) {
    if (Value == FTask.Checked)
        return {};
    // In memory only where the user sees the change and saves it with the rest of the editor's
    // text, or where unsaved changes wait already (saving here would write them unasked). A
    // module loaded without an editor (one whose tab was closed) is otherwise written at once:
    // nothing would remind anyone to save it.
    std::shared_ptr<TModule> Loaded = FindDocModule(FFileName);
    // Loaded is tested with the editor as well: a module opened on another thread since the
    // first lookup is written through the safe path below.
    if (Loaded && (FindEditBuffer(FFileName) || Loaded->GetModified() ||
                   Loaded->GetBuffer()->GetModified())) {
        if (TStatus S = Rewrite(*Loaded->GetBuffer(), Value); !S)
            return S;
        Loaded->Modified(); // tells the list (and this package's manager) to read it again
        return {};
    }
    auto Opened = OpenModule(FFileName);
    if (!Opened)
        return Opened.Status();
    const auto& Module = Opened.Value();
    const bool OpenedHere = Module != Loaded;
    const auto& Buffer = Module->GetBuffer();
    // A module kept loaded may hold bytes the file no longer has; the line is checked against
    // the file as it is now.
    TStatus S;
    if (!OpenedHere && Buffer->ChangedOnDisk())
        S = Buffer->Reload();
    if (S)
        S = Rewrite(*Buffer, Value);
    if (S)
        S = Module->Save(); // a temporary file renamed over it; refused if changed on disk
    if (OpenedHere)
        CloseModule(FFileName);
    else if (!S && Buffer->GetModified()) // the rewrite could not be saved: the file stays as is
        (void)Buffer->Reload();
    if (S || !OpenedHere)
        NotifyModuleModified(FFileName); // the file, or the buffer the list reads, changed
    return S;
}

TStatus TMarkdownTaskItem::Show() {
    if (TStatus S = CallDefaultOpenProc(FFileName, true); !S)
        return S;
    auto Module = FindDocModule(FFileName);
    if (!Module)
        return TStatus::Error("cannot show " + FFileName + ": it was closed while opening");
    Module->GetBuffer()->ShowText(FTask.Line, 0);
    return {};
}
