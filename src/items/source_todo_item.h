#pragma once

#include "comments/todo_comment.h"
#include "host/intatodo_item.h"
#include "host/itodo_updater.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TSourceToDoManager;

/// The whole comment an item was parsed from: its text, the 0-based offset of its first byte
/// in the file, and the offset just past its last byte.
struct TToDoComment {
    std::string Text;
    int Start = 0;
    int End = 0;
};

/// One to-do comment of a source file. The item reads its fields by cutting them out of the
/// comment it was parsed from; these readers never change after the parse, so any thread may
/// call them. The setters rewrite the comment in the file through the manager and keep a private
/// copy of the comment as it now stands, so that a sequence of setters (the edit dialog's or any
/// other) always works on current positions. Setters are for one editing thread at a time.
class TSourceToDoItem : public INTAToDoItem, public std::enable_shared_from_this<TSourceToDoItem> {
public:
    /// Made only by a manager's CreateItem. Manager is not owned: an item whose manager is gone
    /// reads as invalid and refuses every change.
    TSourceToDoItem(std::weak_ptr<TSourceToDoManager> Manager, std::string S, int Pos,
                    const TToDoCommentFields& Fields);

    // The class's own virtual operations. Setters compare with the comment as it now stands and
    // write nothing for an equal value. They refuse, writing nothing, when the manager has no
    // updater, when the file no longer holds the comment at its offset (the item is out of
    // date), or when the value would not read back unchanged or would break the comment.
    virtual TStatus SetCategory(const std::string& Value);
    TStatus SetChecked(bool Value) override;
    virtual TStatus SetOwner(const std::string& Value);
    /// Value 0 removes the priority number.
    virtual TStatus SetPriority(unsigned char Value);
    virtual TStatus SetText(const std::string& Value);
    bool CanDelete() override;
    bool CanEdit() override;
    bool CanShow() override;
    TStatus Delete() override;
    void DrawImage(TCanvas& Canvas, const TRect& Rect) override;
    void DoubleClicked() override;
    std::string GetKind() override;
    std::string GetModuleName() override;
    TStatus Show() override;

    bool Edit() override;
    std::string GetText() override;
    int GetPriority() override;
    std::string GetCategory() override;
    bool GetChecked() override;
    int GetData() override;
    std::string GetOwner() override;
    bool IsValid() override;

    /// The manager's InProject.
    bool InProject();
    /// The comment as parsed and the field ranges the parser recorded (1-based into its text).
    const TToDoComment& GetComment() const { return FComment; }
    const TToDoCommentFields& GetFields() const { return FFields; }
    /// The comment as it stands after this item's own rewrites (equal to GetComment().Text
    /// until a setter changed something).
    std::string GetCurrentText() const { return FCurText; }
    std::shared_ptr<TSourceToDoManager> GetManager() const { return FManager.lock(); }

protected:
    /// Deletes the whole comment; the manager's parsed flag is cleared before the deletion
    /// (source items) or after it (project items). With WholeLine, a comment that stands alone
    /// on its line takes the line's break along, so no empty line is left behind.
    TStatus DeleteComment(bool ClearParsedFirst, bool WholeLine = false);

private:
    /// The five values a to-do comment reads as.
    struct TValues {
        std::string Text, Owner, Category;
        int Priority = 0;
        bool Checked = false;
        bool operator==(const TValues&) const = default;
    };
    enum class TField { Text, Owner, Category, Priority, Checked };

    /// One replacement inside the current comment: [StartIdx, EndIdx) (1-based) becomes Insert.
    struct TEdit {
        int StartIdx = 0;
        int EndIdx = 0;
        std::string Insert;
    };

    static TValues ValuesOf(std::string_view S, const TToDoCommentFields& F);
    /// Applies the first of Candidates whose result reads back exactly as Intended and is one
    /// comment of the file; refuses, writing nothing, when none does. Shown is the new value as
    /// the message names it.
    TStatus Change(TField Field, const std::string& Shown, const TValues& Intended,
                   const std::vector<TEdit>& Candidates);
    /// The updater of a live manager, or the reason there is none.
    TResult<TRef<IToDoUpdater>> EditableUpdater(std::shared_ptr<TSourceToDoManager>& Manager);
    /// Where an absent switch goes: after the priority number when there is one (a number
    /// behind a switch would join its value), else after the keyword; as a second choice right
    /// before the colon, for heads whose other words the switch would swallow.
    std::vector<TEdit> SwitchInsertions(const std::string& Switch) const;
    /// SetOwner and SetCategory: replace, remove or insert the -o or -c switch.
    TStatus SetSwitch(TField Field, const std::string& Value);
    /// Checks that the file still holds the current comment and that NewText is one comment
    /// of its syntax, then writes the edit through the manager and makes NewText current.
    TStatus Apply(const TEdit& Edit, const std::string& NewText,
                  const TToDoCommentFields& NewFields, const std::string& What);
    /// The values the comment reads as after this item's own rewrites.
    TValues Current() const { return ValuesOf(FCurText, FCur); }
    /// "FILE:OFFSET" of the comment, for messages.
    std::string Where() const;
    /// Refuses a change when the file no longer holds the comment as this item last wrote it.
    TStatus CheckCurrent(IToDoUpdater& Updater) const;

    const TToDoComment FComment;
    const TToDoCommentFields FFields;
    const int FData;
    std::weak_ptr<TSourceToDoManager> FManager;
    /// The manager's parse serial when the item was made: an item of an earlier parse is out
    /// of date even after the manager parsed again.
    const unsigned FSerial;
    // Editing state: the comment as it now stands in the file and its ranges.
    std::string FCurText;
    TToDoCommentFields FCur;
};

/// Opens the host's Add/Edit dialog in edit mode for Item; installed by the GUI. Without it
/// Edit does nothing and returns false.
extern std::function<bool(const std::shared_ptr<TSourceToDoItem>& Item)> EditToDoItemProc;

/// The kind text of a source item.
inline constexpr const char* SourceItemKind = "$Source";

/// Image indexes of the host's main image list for the item kinds.
enum TItemImage { iiProjectToDoFile = 90, iiProjectSource = 91, iiOtherSource = 92 };
