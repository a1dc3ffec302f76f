#pragma once

#include <QDialog>

#include <memory>
#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QWidget;
class TSourceToDoItem;

/// The modal dialog through which the user writes a new to-do item (Add) or changes an existing
/// one (Edit): text, priority, owner, category and, when editing, the completed state. It
/// remembers the text, priority, owner and category of the last run confirmed with OK (either
/// mode); an Add opens with them, so a new item starts from the values last confirmed. The
/// completed state is never remembered. Main thread only.
///
/// Escape cancels (the button, Escape or closing the window all leave the remembered values and
/// the item alone), except under a Chinese, Japanese or Korean system locale, where the input
/// method uses Escape and the dialog must not close on it.
class TAddToDoItemForm : public QDialog {
    Q_OBJECT
public:
    explicit TAddToDoItemForm(QWidget* Parent = nullptr);

    /// Runs the dialog in add mode. The result is the body of a new to-do comment (FormatItem:
    /// no opener or closer, never checked), or an empty string when the user cancelled.
    std::wstring Add();
    /// Runs the dialog in edit mode over Item's values and, when the user confirms, writes text,
    /// category, owner, priority and completed state into the item in that order (UTF-8). False
    /// at once for a null item, and false when cancelled. A setter that refuses is reported in a
    /// warning box; the setters after it are not called and the result is false.
    bool Edit(const std::shared_ptr<TSourceToDoItem>& Item);

    /// The OK button's handler: checks the priority (an integer 0 to 5) and that the values can
    /// be written so that they read back unchanged, reports the first problem in a message box
    /// and keeps the dialog open with the offending box focused; otherwise remembers the values
    /// and accepts.
    void OKButtonClick();

    /// True when the system locale is a Far East one (Chinese, Japanese, Korean).
    static bool FarEastLocale();

protected:
    void showEvent(QShowEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;

private:
    /// Fills the drop-down lists from the service's filters (values current items carry),
    /// keeping the texts already set, then focuses the memo with its whole text selected.
    void FormShow();
    /// Puts the controls' values in place: Priority as decimal text, texts as given.
    void FillControls(const QString& Text, int Priority, const QString& Owner,
                      const QString& Category);
    /// Moves the priority by Delta like an up-down control: from the box's value (0 when it is
    /// no integer), never leaving 0 to 5.
    /// Reports Message in an error box, then focuses Control with its whole text selected.
    void Refuse(const QString& Message, QWidget* Control);

    // Children, owned by this (Qt parent).
    QLabel* FLabel1;
    QPlainTextEdit* FMemo;
    QLabel* FLabel2;
    QLineEdit* FPriorityEdit;
    QWidget* FUpDown1;
    QLabel* FLabel3;
    QComboBox* FOwnerBox;
    QLabel* FLabel4;
    QComboBox* FCategoryBox;
    QCheckBox* FCheckedBox;
    QPushButton* FOKButton;
    QPushButton* FCancelButton;

    std::wstring FText;
    std::wstring FOwner;
    std::wstring FCategory;
    int FPriority = 0;
};

/// The one shared instance, created on first use (no parent), kept until FreeAddToDoItemForm.
/// Needs the QApplication. Main thread only.
TAddToDoItemForm& AddToDoItemForm();
/// Destroys the shared instance (nothing when there is none).
void FreeAddToDoItemForm();

/// Unit start-up/shut-down (counted: only the first call / the balancing call acts): installs
/// EditToDoItemProc (src/items/source_todo_item.h) so that an item's Edit opens this dialog;
/// shut-down removes the hook and frees the instance.
void InitializeToDoAddDlg();
void FinalizeToDoAddDlg();
