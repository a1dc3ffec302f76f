#include "add_todo_item_form.h"

#include "host/todo_intf.h"
#include "items/source_todo_item.h"
#include "list/todo_list.h"
#include "ui/shell/help.h"
#include "ui/up_down.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QToolButton>

#include <algorithm>
#include <limits>
#include <mutex>
#include <optional>

namespace {

// The client area and the right-hand margins of the controls that follow the right edge.
constexpr int ClientWidth = 383;
constexpr int ClientHeight = 179;
constexpr int MemoRightMargin = 4;
constexpr int CategoryRightMargin = 3;
constexpr int OKButtonFromRight = 159;
constexpr int CancelButtonFromRight = 78;

constexpr int MinPriority = 0;
constexpr int MaxPriority = 5;

constexpr int HelpContextForm = 6013;
constexpr int HelpContextMemo = 6008;
constexpr int HelpContextCategory = 6011;
constexpr int HelpContextDone = 6012;

/// The runtime's string-to-integer conversion: leading blanks, an optional sign, then decimal
/// digits, or hexadecimal digits after "$" or "0x"; the value must fit 32 bits.
std::optional<int> StrToInt(const QString& Text) {
    qsizetype I = 0;
    while (I < Text.size() && Text[I] == QLatin1Char(' '))
        ++I;
    bool Negative = false;
    if (I < Text.size() && (Text[I] == QLatin1Char('-') || Text[I] == QLatin1Char('+')))
        Negative = Text[I++] == QLatin1Char('-');
    int Base = 10;
    if (I < Text.size() && Text[I] == QLatin1Char('$')) {
        Base = 16;
        ++I;
    } else if (I + 1 < Text.size() && Text[I] == QLatin1Char('0') &&
               (Text[I + 1] == QLatin1Char('x') || Text[I + 1] == QLatin1Char('X'))) {
        Base = 16;
        I += 2;
    }
    if (I == Text.size())
        return std::nullopt;
    long long Value = 0;
    // A negative value may reach one past the largest positive one.
    const long long Limit = static_cast<long long>(std::numeric_limits<int>::max()) + Negative;
    for (; I < Text.size(); ++I) {
        const char16_t C = Text[I].toLower().unicode();
        const int Digit = C >= u'0' && C <= u'9'                 ? C - u'0'
                          : Base == 16 && C >= u'a' && C <= u'f' ? C - u'a' + 10
                                                                 : -1;
        if (Digit < 0)
            return std::nullopt;
        Value = Value * Base + Digit;
        if (Value > Limit)
            return std::nullopt;
    }
    return static_cast<int>(Negative ? -Value : Value);
}

TAddToDoItemForm* TheForm = nullptr; // owned here, no Qt parent
int InitCount = 0;

QStringList ListedValues(TToDoFilterList& Filter) {
    TFilterValueList Values;
    Filter.ListValues(Values, false, false);
    QStringList Out;
    for (const auto& [Key, Entry] : Values)
        Out << QString::fromStdWString(Key);
    return Out;
}

/// Replaces the drop-down list of Box with Items, keeping the text the box shows.
void FillDropDown(QComboBox& Box, const QStringList& Items) {
    const QString Text = Box.currentText();
    Box.clear();
    Box.addItems(Items);
    Box.setCurrentIndex(-1);
    Box.setEditText(Text);
}

} // namespace

TAddToDoItemForm::TAddToDoItemForm(QWidget* Parent) : QDialog(Parent) {
    setObjectName(QStringLiteral("AddToDoItemForm"));
    setWindowTitle(QString::fromUtf8(ToDoStrings::_sAddToDoItem));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    SetHelpContext(this, HelpContextForm);
    // A dialog frame: it may grow wider (the memo, the category box and the buttons follow the
    // right edge) but not taller.
    resize(ClientWidth, ClientHeight);
    setMinimumSize(ClientWidth, ClientHeight);
    setMaximumHeight(ClientHeight);

    auto MakeLabel = [this](const char* Name, const char* Caption, int X, int Y) {
        auto* Label = new QLabel(QString::fromUtf8(Caption), this);
        Label->setObjectName(QString::fromUtf8(Name));
        Label->move(X, Y);
        Label->adjustSize();
        return Label;
    };
    auto MakeCombo = [this](const char* Name) {
        auto* Box = new QComboBox(this);
        Box->setObjectName(QString::fromUtf8(Name));
        Box->setEditable(true);
        // The list only offers values: typing adds nothing to it, and a typed value that is
        // not in the list stays exactly as typed (no inline completion).
        Box->setInsertPolicy(QComboBox::NoInsert);
        Box->completer()->setCompletionMode(QCompleter::PopupCompletion);
        Box->completer()->setCaseSensitivity(Qt::CaseSensitive);
        return Box;
    };

    FLabel1 = MakeLabel("Label1", "&Text:", 6, 4);
    FMemo = new QPlainTextEdit(this);
    FMemo->setObjectName(QStringLiteral("Memo"));
    FMemo->setGeometry(5, 20, 374, 73);
    FMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
    FMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    FMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Tab moves on to the next control; Enter breaks the line.
    FMemo->setTabChangesFocus(true);
    SetHelpContext(FMemo, HelpContextMemo);
    FLabel1->setBuddy(FMemo);

    FLabel2 = MakeLabel("Label2", "&Priority:", 6, 98);
    FPriorityEdit = new QLineEdit(QStringLiteral("0"), this);
    FPriorityEdit->setObjectName(QStringLiteral("PriorityEdit"));
    FPriorityEdit->setGeometry(5, 114, 30, 21);
    FPriorityEdit->setLayoutDirection(Qt::LeftToRight);
    // No validator: any text can be typed, OK checks it.
    FLabel2->setBuddy(FPriorityEdit);

    FUpDown1 = MakeUpDown(FPriorityEdit, MinPriority, MaxPriority, StrToInt, this,
                          QStringLiteral("UpDown1"));
    FUpDown1->setGeometry(35, 114, 15, 21);

    FLabel3 = MakeLabel("Label3", "&Owner:", 58, 99);
    FOwnerBox = MakeCombo("cbOwner");
    FOwnerBox->setGeometry(58, 115, 156, 21);
    FLabel3->setBuddy(FOwnerBox);

    FLabel4 = MakeLabel("Label4", "&Category:", 224, 99);
    FCategoryBox = MakeCombo("cbCategory");
    FCategoryBox->setGeometry(224, 115, 156, 21);
    SetHelpContext(FCategoryBox, HelpContextCategory);
    FLabel4->setBuddy(FCategoryBox);

    FCheckedBox = new QCheckBox(QStringLiteral("&Done"), this);
    FCheckedBox->setObjectName(QStringLiteral("CheckedBox"));
    FCheckedBox->setGeometry(8, 150, 57, 17);
    SetHelpContext(FCheckedBox, HelpContextDone);

    FOKButton = new QPushButton(QStringLiteral("OK"), this);
    FOKButton->setObjectName(QStringLiteral("OKButton"));
    FOKButton->setGeometry(224, 146, 75, 25);
    FOKButton->setDefault(true);
    connect(FOKButton, &QPushButton::clicked, this, [this] { OKButtonClick(); });

    FCancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    FCancelButton->setObjectName(QStringLiteral("CancelButton"));
    FCancelButton->setGeometry(305, 146, 75, 25);
    connect(FCancelButton, &QPushButton::clicked, this, [this] { reject(); });

    setTabOrder(FMemo, FPriorityEdit);
    setTabOrder(FPriorityEdit, FOwnerBox);
    setTabOrder(FOwnerBox, FCategoryBox);
    setTabOrder(FCategoryBox, FCheckedBox);
    setTabOrder(FCheckedBox, FOKButton);
    setTabOrder(FOKButton, FCancelButton);

    // F1 opens the help of the focused control, or the dialog's when it has none.
    auto* Help = new QShortcut(QKeySequence::HelpContents, this);
    connect(Help, &QShortcut::activated, this,
            [this] { ShowHelp(HelpContextAt(focusWidget(), HelpContextForm)); });
}

bool TAddToDoItemForm::FarEastLocale() {
    switch (QLocale::system().language()) {
    case QLocale::Chinese:
    case QLocale::Japanese:
    case QLocale::Korean:
        return true;
    default:
        return false;
    }
}

void TAddToDoItemForm::FillControls(const QString& Text, int Priority, const QString& Owner,
                                    const QString& Category) {
    FMemo->setPlainText(Text);
    FPriorityEdit->setText(QString::number(Priority));
    FOwnerBox->setEditText(Owner);
    FCategoryBox->setEditText(Category);
}

std::wstring TAddToDoItemForm::Add() {
    setWindowTitle(QString::fromUtf8(ToDoStrings::_sAddToDoItem));
    FCheckedBox->hide();
    FCheckedBox->setChecked(false);
    FillControls(QString::fromStdWString(FText), FPriority, QString::fromStdWString(FOwner),
                 QString::fromStdWString(FCategory));
    if (exec() != QDialog::Accepted)
        return {};
    // OK stored exactly what the controls hold, and only after checking it.
    return FormatItem(FText, FOwner, FCategory, static_cast<unsigned char>(FPriority), false);
}

bool TAddToDoItemForm::Edit(const std::shared_ptr<TSourceToDoItem>& Item) {
    if (!Item)
        return false;
    setWindowTitle(QString::fromUtf8(ToDoStrings::_sEditToDoItem));
    FCheckedBox->show();
    FCheckedBox->setChecked(Item->GetChecked());
    FillControls(QString::fromStdString(Item->GetText()), Item->GetPriority() & 0x7F,
                 QString::fromStdString(Item->GetOwner()),
                 QString::fromStdString(Item->GetCategory()));
    if (exec() != QDialog::Accepted)
        return false;

    const std::string Text = FMemo->toPlainText().toStdString();
    const std::string Category = FCategoryBox->currentText().toStdString();
    const std::string Owner = FOwnerBox->currentText().toStdString();
    const auto Priority = static_cast<unsigned char>(FPriority);
    const bool Checked = FCheckedBox->isChecked();
    // The item keeps the order of these writes; each one works on the comment as the previous
    // one left it.
    TStatus S = Item->SetText(Text);
    if (S)
        S = Item->SetCategory(Category);
    if (S)
        S = Item->SetOwner(Owner);
    if (S)
        S = Item->SetPriority(Priority);
    if (S)
        S = Item->SetChecked(Checked);
    if (!S) {
        QMessageBox::warning(parentWidget(), QString::fromUtf8(ToDoStrings::_sEditToDoItem),
                             QString::fromStdString(S.Message()));
        return false;
    }
    return true;
}

void TAddToDoItemForm::Refuse(const QString& Message, QWidget* Control) {
    QMessageBox::critical(this, QStringLiteral("Error"), Message, QMessageBox::Ok);
    Control->setFocus(Qt::OtherFocusReason);
    if (auto* Line = qobject_cast<QLineEdit*>(Control))
        Line->selectAll();
    else if (auto* Box = qobject_cast<QComboBox*>(Control); Box && Box->lineEdit())
        Box->lineEdit()->selectAll();
    else if (auto* Memo = qobject_cast<QPlainTextEdit*>(Control))
        Memo->selectAll();
}

void TAddToDoItemForm::OKButtonClick() {
    const QString PriorityText = FPriorityEdit->text();
    const std::optional<int> Priority = StrToInt(PriorityText);
    if (!Priority) {
        Refuse(QStringLiteral("'%1' is not a valid integer value").arg(PriorityText),
               FPriorityEdit);
        return;
    }
    if (static_cast<unsigned>(*Priority) > MaxPriority) {
        Refuse(QString::fromUtf8(ToDoStrings::_sInvalidPriorityValue), FPriorityEdit);
        return;
    }
    const std::wstring Text = FMemo->toPlainText().toStdWString();
    const std::wstring Owner = FOwnerBox->currentText().toStdWString();
    const std::wstring Category = FCategoryBox->currentText().toStdWString();
    // A value the comment syntax would read back differently is refused here, before anything
    // is written, with the box that holds it focused.
    const std::pair<TStatus, QWidget*> Checks[] = {
        {CheckItemFields(Text, {}, {}), FMemo},
        {CheckItemFields({}, Owner, {}), FOwnerBox},
        {CheckItemFields({}, {}, Category), FCategoryBox},
    };
    for (const auto& [Status, Control] : Checks) {
        if (!Status) {
            Refuse(QString::fromStdString(Status.Message()), Control);
            return;
        }
    }
    FText = Text;
    FPriority = *Priority;
    FOwner = Owner;
    FCategory = Category;
    accept();
}

void TAddToDoItemForm::FormShow() {
    if (ToDoList) {
        QStringList Categories, Owners;
        {
            std::scoped_lock Lock(ToDoList->ItemsLock());
            Categories = ListedValues(ToDoList->CategoryFilter());
            Owners = ListedValues(ToDoList->OwnerFilter());
        }
        FillDropDown(*FCategoryBox, Categories);
        FillDropDown(*FOwnerBox, Owners);
    }
    FMemo->setFocus(Qt::OtherFocusReason);
    FMemo->selectAll();
}

void TAddToDoItemForm::showEvent(QShowEvent* Event) {
    QDialog::showEvent(Event);
    if (!Event->spontaneous())
        FormShow();
}

void TAddToDoItemForm::resizeEvent(QResizeEvent* Event) {
    QDialog::resizeEvent(Event);
    const int W = width();
    FMemo->resize(W - FMemo->x() - MemoRightMargin, FMemo->height());
    FCategoryBox->resize(W - FCategoryBox->x() - CategoryRightMargin, FCategoryBox->height());
    FOKButton->move(W - OKButtonFromRight, FOKButton->y());
    FCancelButton->move(W - CancelButtonFromRight, FCancelButton->y());
}

void TAddToDoItemForm::keyPressEvent(QKeyEvent* Event) {
    // Escape reaches the dialog from every control that does not use it (the memo included)
    // and cancels. Under a Far East locale it belongs to the input method and must not cancel.
    if (Event->key() == Qt::Key_Escape && Event->modifiers() == Qt::NoModifier && FarEastLocale()) {
        Event->accept();
        return;
    }
    QDialog::keyPressEvent(Event);
}

TAddToDoItemForm& AddToDoItemForm() {
    if (!TheForm)
        TheForm = new TAddToDoItemForm();
    return *TheForm;
}

void FreeAddToDoItemForm() {
    delete TheForm;
    TheForm = nullptr;
}

void InitializeToDoAddDlg() {
    if (InitCount++ > 0)
        return;
    EditToDoItemProc = [](const std::shared_ptr<TSourceToDoItem>& Item) {
        return AddToDoItemForm().Edit(Item);
    };
}

void FinalizeToDoAddDlg() {
    if (InitCount == 0 || --InitCount > 0)
        return;
    EditToDoItemProc = nullptr;
    FreeAddToDoItemForm();
}
