#include "todo_filter_dlg.h"

#include "comments/todo_filter_list.h"
#include "list/todo_list.h"
#include "ui/shell/help.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QShowEvent>

#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

namespace {

constexpr int HelpContext = 6046;

struct TFilterTypeInfo {
    TToDoFilterList& (TToDoList::*List)();
    const char* Caption;
    int ShownValue; ///< what a checked line's entry gets
};

TFilterTypeInfo InfoOf(TFilterType Type) {
    switch (Type) {
    case ftOwner:
        return {&TToDoList::OwnerFilter, ToDoStrings::_sFilterOnOwner, 0};
    case ftKind:
        return {&TToDoList::OriginFilter, ToDoStrings::_sFilterOnKind, 1};
    case ftCategory:
        break;
    }
    return {&TToDoList::CategoryFilter, ToDoStrings::_sFilterOnCategory, 0};
}

} // namespace

TToDoFilterDlg::TToDoFilterDlg(QWidget* Parent) : QDialog(Parent) {
    setObjectName(QStringLiteral("ToDoFilterDlg"));
    setWindowTitle(QStringLiteral("Filter To-Do List"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    // The list and the button column inside 5-pixel margins.
    setFixedSize(289, 275);

    FLabel1 = new QLabel(this);
    FLabel1->setObjectName(QStringLiteral("Label1"));
    FLabel1->move(8, 8);

    FCheckList = new QListWidget(this);
    FCheckList->setObjectName(QStringLiteral("CheckList"));
    FCheckList->setGeometry(6, 24, 193, 241);
    FLabel1->setBuddy(FCheckList);
    connect(FCheckList, &QListWidget::itemClicked, this, [this] { UpdateButtons(); });

    auto MakeButton = [this](const char* Name, const char* Caption, int Y) {
        auto* Button = new QPushButton(QString::fromUtf8(Caption), this);
        Button->setObjectName(QString::fromUtf8(Name));
        Button->setGeometry(208, Y, 75, 25);
        return Button;
    };
    FOKButton = MakeButton("btnOK", "OK", 25);
    FOKButton->setDefault(true);
    connect(FOKButton, &QPushButton::clicked, this, [this] { accept(); });
    FCancelButton = MakeButton("btnCancel", "Cancel", 56);
    connect(FCancelButton, &QPushButton::clicked, this, [this] { reject(); });
    FShowAllButton = MakeButton("btnShowAll", "Show &All", 88);
    connect(FShowAllButton, &QPushButton::clicked, this, [this] { btnShowAllClick(); });
    FHelpButton = MakeButton("btnHelp", "&Help", 120);
    connect(FHelpButton, &QPushButton::clicked, this, [this] { btnHelpClick(); });
    FAddButton = MakeButton("btnAdd", "&Add...", 174);
    FAddButton->hide();

    setTabOrder(FCheckList, FOKButton);
    setTabOrder(FOKButton, FCancelButton);
    setTabOrder(FCancelButton, FShowAllButton);
    setTabOrder(FShowAllButton, FHelpButton);

    auto* Help = new QShortcut(QKeySequence::HelpContents, this);
    connect(Help, &QShortcut::activated, this, [this] { btnHelpClick(); });
}

void TToDoFilterDlg::EditFilter(TFilterType FilterType) {
    if (!ToDoList)
        return;
    const TFilterTypeInfo Info = InfoOf(FilterType);
    FFilterType = FilterType;
    FFilterList = &(ToDoList->*Info.List)();
    FLabel1->setText(QString::fromUtf8(Info.Caption));
    FLabel1->adjustSize();

    std::vector<std::pair<QString, bool>> Lines; // value, shown
    {
        std::scoped_lock Lock(ToDoList->ItemsLock());
        TFilterValueList Values;
        FFilterList->ListValues(Values, true, false);
        for (const auto& [Key, Entry] : Values)
            Lines.emplace_back(QString::fromStdWString(Key), Entry->Value != -1);
    }
    std::sort(Lines.begin(), Lines.end(), [](const auto& A, const auto& B) {
        const int ByCase = A.first.compare(B.first, Qt::CaseInsensitive);
        return ByCase != 0 ? ByCase < 0 : A.first < B.first;
    });
    FCheckList->clear();
    for (const auto& [Key, Shown] : Lines) {
        // Items without a category or owner share the empty value: name it, so that the line
        // is not a blank the user cannot tell apart.
        auto* Line = new QListWidgetItem(Key.isEmpty() ? tr("(none)") : Key, FCheckList);
        Line->setData(Qt::UserRole, Key);
        if (Key.isEmpty()) {
            QFont Font = Line->font();
            Font.setItalic(true);
            Line->setFont(Font);
        }
        Line->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        Line->setCheckState(Shown ? Qt::Checked : Qt::Unchecked);
    }

    if (exec() != QDialog::Accepted)
        return;

    {
        // The entries are looked up again by key: a collation may have run meanwhile, and a
        // key the list no longer holds is added back so that the choice is not lost.
        std::scoped_lock Lock(ToDoList->ItemsLock());
        for (int Row = 0; Row < FCheckList->count(); ++Row) {
            const QListWidgetItem* Line = FCheckList->item(Row);
            const int Value = Line->checkState() == Qt::Checked ? Info.ShownValue : -1;
            FFilterList->Add(Line->data(Qt::UserRole).toString().toStdWString(), Value);
        }
    }
    // Collate takes the manager lock before the items lock, so ours must be released first.
    ToDoList->Collate();
}

void TToDoFilterDlg::UpdateButtons() {
    FAddButton->hide();
    FShowAllButton->setEnabled(FCheckList->count() > 0);
}

void TToDoFilterDlg::showEvent(QShowEvent* Event) {
    if (!Event->spontaneous())
        UpdateButtons();
    QDialog::showEvent(Event);
}

void TToDoFilterDlg::btnShowAllClick() {
    for (int Row = 0; Row < FCheckList->count(); ++Row)
        FCheckList->item(Row)->setCheckState(Qt::Checked);
}

void TToDoFilterDlg::btnHelpClick() {
    ShowHelp(HelpContext);
}
