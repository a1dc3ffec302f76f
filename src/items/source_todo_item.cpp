#include "items/source_todo_item.h"

#include "host/module.h"
#include "host/todo_intf.h"
#include "items/source_todo_manager.h"

#include <algorithm>
#include <utility>

std::function<bool(const std::shared_ptr<TSourceToDoItem>& Item)> EditToDoItemProc;

namespace {

std::string Cut(std::string_view S, TRange Range, int Skip = 0) {
    return std::string(RangeText(S, Range, Skip));
}

// A switch with nothing after its letter ("-o:") leaves its end at 0; the characters to replace
// are then just the two of the switch itself.
TRange SwitchRange(TRange R) {
    return {R.Start, std::max(R.End, R.Start + 2)};
}

std::string Quoted(const std::string& S) {
    return "\"" + S + "\"";
}

} // namespace

TSourceToDoItem::TSourceToDoItem(std::weak_ptr<TSourceToDoManager> Manager, std::string S, int Pos,
                                 const TToDoCommentFields& Fields)
    : FComment{S, Pos, Pos + static_cast<int>(S.size())}, FFields(Fields), FData(Pos),
      FManager(std::move(Manager)), FSerial([this] {
          auto M = FManager.lock();
          return M ? M->GetParseSerial() : 0u;
      }()),
      FCurText(std::move(S)), FCur(Fields) {}

TSourceToDoItem::TValues TSourceToDoItem::ValuesOf(std::string_view S,
                                                   const TToDoCommentFields& F) {
    TValues V;
    V.Text = Cut(S, F.Text);
    V.Owner = Cut(S, F.Owner, 2);
    V.Category = Cut(S, F.Category, 2);
    V.Priority = PriorityValue(RangeText(S, F.Priority));
    V.Checked = IsDoneKeyword(RangeText(S, F.Keyword));
    return V;
}

// Readers: cut from the comment as parsed, so they never change and need no lock.

std::string TSourceToDoItem::GetText() {
    return Cut(FComment.Text, FFields.Text);
}

int TSourceToDoItem::GetPriority() {
    return PriorityValue(RangeText(FComment.Text, FFields.Priority));
}

std::string TSourceToDoItem::GetCategory() {
    return Cut(FComment.Text, FFields.Category, 2);
}

bool TSourceToDoItem::GetChecked() {
    return IsDoneKeyword(RangeText(FComment.Text, FFields.Keyword));
}

int TSourceToDoItem::GetData() {
    return FData;
}

std::string TSourceToDoItem::GetOwner() {
    return Cut(FComment.Text, FFields.Owner, 2);
}

std::string TSourceToDoItem::GetKind() {
    return SourceItemKind;
}

std::string TSourceToDoItem::GetModuleName() {
    auto M = FManager.lock();
    return M ? M->GetSourceFileName() : std::string();
}

bool TSourceToDoItem::IsValid() {
    auto M = FManager.lock();
    return M && M->GetIsParsed() && M->GetParseSerial() == FSerial;
}

bool TSourceToDoItem::InProject() {
    auto M = FManager.lock();
    return M && M->InProject();
}

// Capabilities.

bool TSourceToDoItem::CanDelete() {
    if (!IsValid())
        return false;
    auto M = FManager.lock();
    return M && M->HasView() && M->GetUpdater();
}

bool TSourceToDoItem::CanEdit() {
    return CanDelete();
}

bool TSourceToDoItem::CanShow() {
    return IsValid();
}

void TSourceToDoItem::DoubleClicked() {
    if (CanShow())
        (void)Show();
}

void TSourceToDoItem::DrawImage(TCanvas& Canvas, const TRect& Rect) {
    Canvas.DrawImage(InProject() ? iiProjectSource : iiOtherSource, Rect.Left, Rect.Top, true);
}

bool TSourceToDoItem::Edit() {
    auto Self = weak_from_this().lock();
    if (!EditToDoItemProc || !Self)
        return false;
    return EditToDoItemProc(Self);
}

TStatus TSourceToDoItem::Show() {
    const std::string Name = GetModuleName();
    if (Name.empty())
        return TStatus::Error("this to-do item belongs to no file any more");
    auto Buffer = FindEditBuffer(Name);
    if (!Buffer && FileExists(Name)) {
        if (TStatus S = CallDefaultOpenProc(Name, true); !S)
            return S;
        Buffer = FindEditBuffer(Name);
    }
    if (!Buffer)
        return TStatus::Error("cannot open " + Name);
    Buffer->ShowText(-1, FComment.Start + FFields.Keyword.Start - 1);
    return {};
}

// Rewrites.

std::string TSourceToDoItem::Where() const {
    auto M = FManager.lock();
    return (M ? M->GetSourceFileName() : std::string("?")) + ":" + std::to_string(FComment.Start);
}

TStatus TSourceToDoItem::CheckCurrent(IToDoUpdater& Updater) const {
    if (Updater.HoldsText(FComment.Start, FCurText))
        return {};
    return TStatus::Error("the to-do comment at " + Where() +
                          " changed since it was read; parse the file again");
}

TResult<TRef<IToDoUpdater>>
TSourceToDoItem::EditableUpdater(std::shared_ptr<TSourceToDoManager>& Manager) {
    Manager = FManager.lock();
    if (!Manager)
        return TStatus::Error("the file of this to-do item is no longer listed; parse it again");
    TRef<IToDoUpdater> Updater = Manager->GetUpdater();
    if (!Updater)
        return Manager->NoUpdater();
    return Updater;
}

TStatus TSourceToDoItem::Apply(const TEdit& Edit, const std::string& NewText,
                               const TToDoCommentFields& NewFields, const std::string& What) {
    std::shared_ptr<TSourceToDoManager> Manager;
    auto Updater = EditableUpdater(Manager);
    if (!Updater)
        return Updater.Status();
    if (!Updater.Value()->IsOneComment(NewText))
        return TStatus::Error("cannot write " + What + " into this comment: it would break the " +
                              "comment");
    if (TStatus S = CheckCurrent(*Updater.Value()); !S)
        return S;

    // The manager takes "comment start + in-comment index" and subtracts 1 itself.
    const int From = FComment.Start + Edit.StartIdx;
    const int To = FComment.Start + Edit.EndIdx;
    const std::string Old = FCurText.substr(static_cast<size_t>(Edit.StartIdx - 1),
                                            static_cast<size_t>(Edit.EndIdx - Edit.StartIdx));
    if (To > From) {
        if (TStatus S = Manager->Delete(From, To, 1); !S)
            return S;
    }
    if (!Edit.Insert.empty()) {
        if (TStatus S = Manager->Add(From, Edit.Insert, 1); !S) {
            // Put back what was removed, so that the file and FCurText still agree.
            if (!Old.empty())
                (void)Manager->Add(From, Old, 1);
            return S;
        }
    }
    FCurText = NewText;
    FCur = NewFields;
    return {};
}

TStatus TSourceToDoItem::Change(TField Field, const std::string& Shown, const TValues& Intended,
                                const std::vector<TEdit>& Candidates) {
    static const char* const Names[] = {"text", "owner", "category", "priority", "checked state"};
    const std::string What = std::string("the ") + Names[static_cast<int>(Field)] + " " + Shown;
    {
        std::shared_ptr<TSourceToDoManager> Manager;
        if (auto Updater = EditableUpdater(Manager); !Updater)
            return Updater.Status();
    }

    std::string Why;
    for (const TEdit& E : Candidates) {
        std::string NewText = FCurText.substr(0, static_cast<size_t>(E.StartIdx - 1)) + E.Insert +
                              FCurText.substr(static_cast<size_t>(E.EndIdx - 1));
        auto NewFields = ParseToDoComment(NewText);
        if (!NewFields) {
            if (Why.empty())
                Why = "it would no longer be a to-do comment";
            continue;
        }
        const TValues Got = ValuesOf(NewText, *NewFields);
        if (Got == Intended)
            return Apply(E, NewText, *NewFields, What);
        if (!Why.empty())
            continue;
        // Name the first value that would come out wrong, the changed one ahead of the others.
        const auto Describe = [](TField F, const TValues& V) -> std::string {
            switch (F) {
            case TField::Text:
                return Quoted(V.Text);
            case TField::Owner:
                return Quoted(V.Owner);
            case TField::Category:
                return Quoted(V.Category);
            case TField::Priority:
                return std::to_string(V.Priority);
            case TField::Checked:
                return V.Checked ? "DONE" : "TODO";
            }
            return {};
        };
        if (Describe(Field, Got) != Describe(Field, Intended)) {
            Why = "it would read back as " + Describe(Field, Got);
        } else {
            for (TField Other :
                 {TField::Text, TField::Owner, TField::Category, TField::Priority, TField::Checked})
                if (Describe(Other, Got) != Describe(Other, Intended)) {
                    Why = std::string("it would change the ") + Names[static_cast<int>(Other)] +
                          " to " + Describe(Other, Got);
                    break;
                }
        }
    }
    return TStatus::Error("cannot write " + What + " into this comment: " + Why);
}

std::vector<TSourceToDoItem::TEdit>
TSourceToDoItem::SwitchInsertions(const std::string& Switch) const {
    std::vector<TEdit> Edits;
    const int After = FCur.Priority.Start > 0 ? FCur.Priority.End : FCur.Keyword.End;
    Edits.push_back({After, After, " " + Switch});
    // The head's colon is the last one before the text: only blanks separate the two.
    const size_t Colon = FCurText.rfind(':', static_cast<size_t>(std::max(FCur.Text.Start - 2, 0)));
    if (Colon != std::string::npos && static_cast<int>(Colon) + 1 > After) {
        const int Idx = static_cast<int>(Colon) + 1;
        Edits.push_back({Idx, Idx, " " + Switch});
    }
    return Edits;
}

TStatus TSourceToDoItem::SetText(const std::string& Value) {
    TValues Intended = Current();
    if (Intended.Text == Value)
        return {};
    Intended.Text = Value;
    return Change(TField::Text, Quoted(Value), Intended, {{FCur.Text.Start, FCur.Text.End, Value}});
}

TStatus TSourceToDoItem::SetSwitch(TField Field, const std::string& Value) {
    const bool IsOwner = Field == TField::Owner;
    TValues Intended = Current();
    std::string& Slot = IsOwner ? Intended.Owner : Intended.Category;
    if (Slot == Value)
        return {};
    Slot = Value;
    const std::string Switch = Value.empty() ? std::string() : (IsOwner ? "-o" : "-c") + Value;
    const TRange Existing = IsOwner ? FCur.Owner : FCur.Category;
    if (Existing.Start > 0) {
        const TRange R = SwitchRange(Existing);
        return Change(Field, Quoted(Value), Intended, {{R.Start, R.End, Switch}});
    }
    return Change(Field, Quoted(Value), Intended, SwitchInsertions(Switch));
}

TStatus TSourceToDoItem::SetOwner(const std::string& Value) {
    return SetSwitch(TField::Owner, Value);
}

TStatus TSourceToDoItem::SetCategory(const std::string& Value) {
    return SetSwitch(TField::Category, Value);
}

TStatus TSourceToDoItem::SetPriority(unsigned char Value) {
    if (TStatus S = CheckPriority(Value); !S)
        return S;
    TValues Intended = Current();
    if (Intended.Priority == Value)
        return {};
    Intended.Priority = Value;
    const std::string Digits = Value == 0 ? std::string() : std::to_string(Value);
    if (FCur.Priority.Start > 0)
        return Change(TField::Priority, Digits.empty() ? "0" : Digits, Intended,
                      {{FCur.Priority.Start, FCur.Priority.End, Digits}});
    return Change(TField::Priority, Digits, Intended,
                  {{FCur.Keyword.End, FCur.Keyword.End, " " + Digits}});
}

TStatus TSourceToDoItem::SetChecked(bool Value) {
    TValues Intended = Current();
    if (Intended.Checked == Value)
        return {};
    Intended.Checked = Value;
    const std::string Keyword = Value ? "DONE" : "TODO";
    return Change(TField::Checked, Keyword, Intended,
                  {{FCur.Keyword.Start, FCur.Keyword.End, Keyword}});
}

TStatus TSourceToDoItem::Delete() {
    return DeleteComment(/*ClearParsedFirst=*/true);
}

TStatus TSourceToDoItem::DeleteComment(bool ClearParsedFirst, bool WholeLine) {
    std::shared_ptr<TSourceToDoManager> Manager;
    auto Updater = EditableUpdater(Manager);
    if (!Updater)
        return Updater.Status();
    IToDoUpdater& U = *Updater.Value();
    if (TStatus S = CheckCurrent(U); !S)
        return S;
    int End = FComment.Start + static_cast<int>(FCurText.size());
    if (WholeLine && (FComment.Start == 0 || U.HoldsText(FComment.Start - 1, "\n"))) {
        if (U.HoldsText(End, "\r\n"))
            End += 2;
        else if (U.HoldsText(End, "\n"))
            ++End;
    }
    if (ClearParsedFirst)
        Manager->SetIsParsed(false);
    TStatus S = U.DeleteText(FComment.Start, End, 1);
    if (!ClearParsedFirst)
        Manager->SetIsParsed(false);
    return S;
}
