#include "table_options_dlg.h"

#include "host/errors.h"
#include "host/ini_file.h"
#include "host/tools_api.h"
#include "list/todo_list.h"
#include "table/table_options.h"
#include "table/table_options_model.h"
#include "ui/shell/help.h"
#include "ui/up_down.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QShortcut>
#include <QShowEvent>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTextBrowser>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <filesystem>
#include <initializer_list>
#include <mutex>
#include <system_error>
#include <utility>

namespace {

constexpr int HelpContext = 6044;
constexpr int TablePageIndex = 0;

TTableOptionsDlg* TheDlg = nullptr; // owned here, no Qt parent

/// The item source of the preview when there is no to-do list service: no items, so the
/// preview still shows the caption and the header row.
class TNoItems : public IOTAToDoServices {
public:
    int AddManager(TRef<IOTAToDoManager>) override { return -1; }
    int AddNotifier(TRef<IOTANotifier>) override { return -1; }
    TRef<INTAToDoItem> GetItem(int Index) override { throw EListError(Index); }
    int GetItemCount() override { return 0; }
    void RemoveManager(int) override {}
    void RemoveNotifier(int) override {}
    void UpdateList() override {}
};

QColor ToQColor(TColor Color) {
    const std::uint32_t Rgb = ColorToRGB(Color); // 0x00BBGGRR
    return QColor(static_cast<int>(Rgb & 0xFF), static_cast<int>(Rgb >> 8 & 0xFF),
                  static_cast<int>(Rgb >> 16 & 0xFF));
}

TColor FromQColor(const QColor& Color) {
    return RGBColor(Color.red(), Color.green(), Color.blue());
}

/// Checks the button of Id, or none when the group has no such button (a value the group
/// cannot show, such as a baseline alignment).
void SetChoice(QButtonGroup* Group, int Id) {
    if (QAbstractButton* Button = Group->button(Id)) {
        Button->setChecked(true);
    } else if (QAbstractButton* Checked = Group->checkedButton()) {
        Group->setExclusive(false);
        Checked->setChecked(false);
        Group->setExclusive(true);
    }
}

QLabel* MakeLabel(const char* Caption, QWidget* Buddy, QWidget* Parent) {
    auto* Label = new QLabel(QString::fromUtf8(Caption), Parent);
    Label->setBuddy(Buddy);
    return Label;
}

/// A number box: an edit that takes any text (Apply decides what a text that is no integer
/// means) with up and down arrows beside it, also reached by the Up and Down keys. Returns the
/// row holding both; Edit receives the edit.
QWidget* MakeNumberBox(QWidget* Parent, const char* Name, int Min, int Max, const char* Initial,
                       QLineEdit*& Edit) {
    auto* Row = new QWidget(Parent);
    auto* Layout = new QHBoxLayout(Row);
    Layout->setContentsMargins(0, 0, 0, 0);
    Layout->setSpacing(0);
    Edit = new QLineEdit(QString::fromUtf8(Initial), Row);
    Edit->setObjectName(QString::fromUtf8(Name));
    Edit->setMaximumWidth(60);
    Layout->addWidget(Edit);

    auto* UpDown = MakeUpDown(
        Edit, Min, Max, [](const QString& Text) { return TextToInt(Text.toStdString()); }, Row,
        QString::fromUtf8(Name) + QStringLiteral("UpDown"));
    UpDown->setFixedHeight(Edit->sizeHint().height());
    Layout->addWidget(UpDown);
    Layout->addStretch();
    return Row;
}

/// A group box of radio buttons whose ids are their positions.
QGroupBox* MakeRadioGroup(QWidget* Parent, const char* Name, const char* Title,
                          std::initializer_list<const char*> Captions, QButtonGroup*& Group) {
    auto* Box = new QGroupBox(QString::fromUtf8(Title), Parent);
    Box->setObjectName(QString::fromUtf8(Name));
    auto* Layout = new QVBoxLayout(Box);
    Group = new QButtonGroup(Box);
    int Id = 0;
    for (const char* Caption : Captions) {
        auto* Button = new QRadioButton(QString::fromUtf8(Caption), Box);
        Group->addButton(Button, Id++);
        Layout->addWidget(Button);
    }
    return Box;
}

/// A colour swatch and its "..." button.
QWidget* MakeColorRow(QWidget* Parent, const char* SwatchName, const char* ButtonName,
                      QFrame*& Swatch, QPushButton*& Button) {
    auto* Row = new QWidget(Parent);
    auto* Layout = new QHBoxLayout(Row);
    Layout->setContentsMargins(0, 0, 0, 0);
    Swatch = new QFrame(Row);
    Swatch->setObjectName(QString::fromUtf8(SwatchName));
    Swatch->setFrameShape(QFrame::Box);
    Swatch->setFixedSize(40, 21);
    Swatch->setAutoFillBackground(true);
    Layout->addWidget(Swatch);
    Button = new QPushButton(QStringLiteral("..."), Row);
    Button->setObjectName(QString::fromUtf8(ButtonName));
    Button->setFixedWidth(25);
    Layout->addWidget(Button);
    Layout->addStretch();
    return Row;
}

} // namespace

TTableOptionsDlg::TTableOptionsDlg(QWidget* Parent)
    : QDialog(Parent), FModel(std::make_unique<TTableOptionsModel>()) {
    setObjectName(QStringLiteral("TableOptionsDlg"));
    setWindowTitle(QStringLiteral("Table Properties"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    // The generic cache folder rather than the application's: it does not depend on how the
    // program names itself, so every front end finds (and cleans up) the same file.
    QString Folder = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (Folder.isEmpty())
        Folder = QDir::tempPath();
    FPreviewFile =
        PreviewFileName(QFile::encodeName(Folder + QStringLiteral("/todolist/")).toStdString());

    ChooseColor = [this](QColor Initial) -> std::optional<QColor> {
        const QColor Chosen = QColorDialog::getColor(Initial, this);
        if (!Chosen.isValid())
            return std::nullopt;
        return Chosen;
    };

    auto* Main = new QVBoxLayout(this);
    auto* Top = new QHBoxLayout;
    Main->addLayout(Top, 1);

    FPageControl = new QTabWidget(this);
    FPageControl->setObjectName(QStringLiteral("PageControl"));
    auto* TablePage = new QWidget;
    TablePage->setObjectName(QStringLiteral("tsTable"));
    BuildTablePage(TablePage);
    FPageControl->addTab(TablePage, QStringLiteral("Table"));
    auto* ColumnsPage = new QWidget;
    ColumnsPage->setObjectName(QStringLiteral("tsColumns"));
    BuildColumnsPage(ColumnsPage);
    FPageControl->addTab(ColumnsPage, QStringLiteral("Columns"));
    connect(FPageControl, &QTabWidget::currentChanged, this, [this](int Index) {
        if (!FLoading)
            PageControlChange(Index);
    });
    Top->addWidget(FPageControl);

    // The preview: a "Loading..." panel until the first preview is shown.
    FBrowserPanel = new QStackedWidget(this);
    FBrowserPanel->setObjectName(QStringLiteral("BrowserPanel"));
    FBrowserPanel->setMinimumWidth(300);
    FLoadingLabel = new QLabel(QStringLiteral("Loading..."), FBrowserPanel);
    FLoadingLabel->setAlignment(Qt::AlignCenter);
    FBrowserPanel->addWidget(FLoadingLabel);
    FBrowser = new QTextBrowser(FBrowserPanel);
    FBrowser->setObjectName(QStringLiteral("Browser"));
    FBrowserPanel->addWidget(FBrowser);
    Top->addWidget(FBrowserPanel, 1);

    auto* Buttons = new QHBoxLayout;
    Buttons->addStretch();
    auto MakeButton = [this, Buttons](const char* Name, const char* Caption) {
        auto* Button = new QPushButton(QString::fromUtf8(Caption), this);
        Button->setObjectName(QString::fromUtf8(Name));
        Buttons->addWidget(Button);
        return Button;
    };
    QPushButton* Preview = MakeButton("btnPreview", "Pre&view >>");
    Preview->hide();
    connect(Preview, &QPushButton::clicked, this, [this] { ShowPreview(); });
    QPushButton* OK = MakeButton("btnOK", "OK");
    OK->setDefault(true);
    connect(OK, &QPushButton::clicked, this, [this] { btnOKClick(); });
    QPushButton* Cancel = MakeButton("btnCancel", "Cancel");
    connect(Cancel, &QPushButton::clicked, this, [this] { reject(); });
    FApplyButton = MakeButton("btnApply", "&Apply");
    FApplyButton->setEnabled(false);
    connect(FApplyButton, &QPushButton::clicked, this, [this] { btnApplyClick(); });
    QPushButton* Help = MakeButton("btnHelp", "&Help");
    connect(Help, &QPushButton::clicked, this, [] { ShowHelp(HelpContext); });
    auto* HelpKey = new QShortcut(QKeySequence::HelpContents, this);
    connect(HelpKey, &QShortcut::activated, this, [] { ShowHelp(HelpContext); });
    Main->addLayout(Buttons);

    // Every way of closing (buttons, Escape, the window's close button) ends in finished.
    connect(this, &QDialog::finished, this, [this] { FormClose(); });

    if (const THTMLTable* Source = Table())
        FModel->ReadData(*Source);
    SelectColumnEntry(FModel->ColumnPage().Selected);
    adjustSize();
    FCreationWidth = width();
}

TTableOptionsDlg::~TTableOptionsDlg() = default;

void TTableOptionsDlg::BuildTablePage(QWidget* Page) {
    auto* Grid = new QGridLayout(Page);
    int Row = 0;
    const auto AddRow = [&](const char* Caption, QWidget* Field, QWidget* Buddy) {
        Grid->addWidget(MakeLabel(Caption, Buddy, Page), Row, 0);
        Grid->addWidget(Field, Row++, 1);
    };

    FTableCaption = new QLineEdit(Page);
    FTableCaption->setObjectName(QStringLiteral("eTableCaption"));
    AddRow("&Caption:", FTableCaption, FTableCaption);
    QWidget* Box = MakeNumberBox(Page, "eTableBorder", 0, 100, "0", FTableBorder);
    FTableBorder->setMaxLength(2);
    AddRow("&Border Width:", Box, FTableBorder);
    Box = MakeNumberBox(Page, "eTableWidth", 0, 100, "0", FTableWidth);
    AddRow("&Width (Percent):", Box, FTableWidth);
    Box = MakeNumberBox(Page, "eCellSpacing", 0, 100, "0", FCellSpacing);
    AddRow("Cell &Spacing:", Box, FCellSpacing);
    Box = MakeNumberBox(Page, "eCellPadding", 0, 100, "0", FCellPadding);
    AddRow("Cell &Padding:", Box, FCellPadding);
    for (QLineEdit* Edit : {FTableCaption, FTableBorder, FTableWidth, FCellSpacing, FCellPadding})
        connect(Edit, &QLineEdit::textChanged, this, [this] { Changed(); });

    Grid->addWidget(MakeRadioGroup(Page, "rgTableAlignment", "Alignment",
                                   {"&Left", "&Right", "Ce&nter"}, FTableAlignment),
                    Row++, 0, 1, 2);
    connect(FTableAlignment, &QButtonGroup::idToggled, this, [this](int, bool On) {
        if (On)
            Changed();
    });

    QPushButton* ColorButton = nullptr;
    QWidget* ColorRow = MakeColorRow(Page, "pBackColor", "btnColor", FBackSwatch, ColorButton);
    AddRow("Background C&olor:", ColorRow, ColorButton);
    connect(ColorButton, &QPushButton::clicked, this, [this] { btnColorClick(); });
    Grid->setRowStretch(Row, 1);
}

void TTableOptionsDlg::BuildColumnsPage(QWidget* Page) {
    auto* Layout = new QHBoxLayout(Page);
    auto* Left = new QVBoxLayout;
    FColList = new QListWidget(Page);
    FColList->setObjectName(QStringLiteral("ColList"));
    FColList->setMaximumWidth(110);
    for (int I = 0; I < THTMLTable::ColumnCount; ++I)
        FColList->addItem(QString::fromStdWString(FModel->ColumnListText(I)));
    Left->addWidget(MakeLabel("&Column:", FColList, Page));
    Left->addWidget(FColList);
    Layout->addLayout(Left);
    connect(FColList, &QListWidget::currentRowChanged, this, [this] {
        if (!FLoading)
            ColListClick();
    });

    auto* Right = new QGridLayout;
    Layout->addLayout(Right, 1);
    Right->addWidget(
        MakeRadioGroup(Page, "rgAlign", "Alignment", {"&Left", "&Right", "Ce&nter "}, FAlign), 0,
        0);
    Right->addWidget(MakeRadioGroup(Page, "rgVAlign", "Vertical Alignment",
                                    {"To&p", "Mi&ddle", "Botto&m"}, FVAlign),
                     0, 1);
    for (QButtonGroup* Group : {FAlign, FVAlign})
        connect(Group, &QButtonGroup::idToggled, this, [this](int, bool On) {
            if (On)
                Changed();
        });

    auto* Font = new QGroupBox(QStringLiteral("Font"), Page);
    Font->setObjectName(QStringLiteral("gbFont"));
    auto* FontGrid = new QGridLayout(Font);
    QWidget* Box = MakeNumberBox(Font, "eColFontSize", 1, 7, "3", FColFontSize);
    FontGrid->addWidget(MakeLabel("&Size:", FColFontSize, Font), 0, 0);
    FontGrid->addWidget(Box, 0, 1);
    FFontFace = new QLineEdit(Font);
    FFontFace->setObjectName(QStringLiteral("eFontFace"));
    FontGrid->addWidget(MakeLabel("&Face:", FFontFace, Font), 1, 0);
    FontGrid->addWidget(FFontFace, 1, 1);
    FBold = new QCheckBox(QStringLiteral("&Bold"), Font);
    FBold->setObjectName(QStringLiteral("cbBold"));
    FontGrid->addWidget(FBold, 2, 0, 1, 2);
    FItalic = new QCheckBox(QStringLiteral("&Italic"), Font);
    FItalic->setObjectName(QStringLiteral("cbItalic"));
    FontGrid->addWidget(FItalic, 3, 0, 1, 2);
    QPushButton* ColorButton = nullptr;
    QWidget* ColorRow = MakeColorRow(Font, "pFontColor", "btnColColor", FFontSwatch, ColorButton);
    FontGrid->addWidget(MakeLabel("C&olor:", ColorButton, Font), 4, 0);
    FontGrid->addWidget(ColorRow, 4, 1);
    connect(ColorButton, &QPushButton::clicked, this, [this] { btnColColorClick(); });
    Right->addWidget(Font, 1, 0);

    auto* General = new QGroupBox(QStringLiteral("General"), Page);
    General->setObjectName(QStringLiteral("gbGeneral"));
    auto* GeneralGrid = new QGridLayout(General);
    FColTitle = new QLineEdit(General);
    FColTitle->setObjectName(QStringLiteral("eColTitle"));
    GeneralGrid->addWidget(MakeLabel("&Title:", FColTitle, General), 0, 0);
    GeneralGrid->addWidget(FColTitle, 0, 1);
    Box = MakeNumberBox(General, "eColHeight", 0, 1000, "0", FColHeight);
    GeneralGrid->addWidget(MakeLabel("Hei&ght (Pixels):", FColHeight, General), 1, 0);
    GeneralGrid->addWidget(Box, 1, 1);
    Box = MakeNumberBox(General, "eColWidth", 0, 100, "0", FColWidth);
    GeneralGrid->addWidget(MakeLabel("&Width (Percent):", FColWidth, General), 2, 0);
    GeneralGrid->addWidget(Box, 2, 1);
    FWrapText = new QCheckBox(QStringLiteral("Wrap Te&xt"), General);
    FWrapText->setObjectName(QStringLiteral("cbWrapText"));
    GeneralGrid->addWidget(FWrapText, 3, 0, 1, 2);
    FVisible = new QCheckBox(QStringLiteral("&Visible"), General);
    FVisible->setObjectName(QStringLiteral("cbVisible"));
    GeneralGrid->addWidget(FVisible, 4, 0, 1, 2);
    Right->addWidget(General, 1, 1);
    Right->setRowStretch(2, 1);

    for (QLineEdit* Edit : {FColFontSize, FFontFace, FColTitle, FColHeight, FColWidth})
        connect(Edit, &QLineEdit::textChanged, this, [this] { Changed(); });
    for (QCheckBox* Check : {FBold, FItalic, FWrapText, FVisible})
        connect(Check, &QCheckBox::toggled, this, [this] { Changed(); });
}

void TTableOptionsDlg::Edit() {
    FModel->ReadData(CreateTable());
    SelectColumnEntry(FModel->ColumnPage().Selected);
    if (exec() != QDialog::Accepted)
        return;
    FModel->SaveData(CreateTable(), AppIniFile());
    if (TStatus S = AppIniFile().UpdateFile(); !S)
        QMessageBox::warning(parentWidget(), windowTitle(), QString::fromStdString(S.Message()));
}

std::string TTableOptionsDlg::PreviewFile() const {
    return FPreviewFile;
}

void TTableOptionsDlg::showEvent(QShowEvent* Event) {
    QDialog::showEvent(Event);
    if (Event->spontaneous())
        return;
    {
        const QScopedValueRollback<bool> Guard(FLoading, true);
        FPageControl->setCurrentIndex(TablePageIndex);
    }
    PageControlChange(TablePageIndex);
    setMinimumHeight(height());
    setMaximumHeight(height());
    setMinimumWidth(FCreationWidth);
    FApplyButton->setEnabled(false);
    btnApplyClick();
}

void TTableOptionsDlg::PageControlChange(int Index) {
    if (Index == TablePageIndex) {
        FModel->LoadTablePage();
        LoadTablePage();
    } else {
        ColListClick();
    }
}

void TTableOptionsDlg::ColListClick() {
    StoreColumnPage();
    FModel->ColListClick();
    LoadColumnPage();
}

TStatus TTableOptionsDlg::Apply() {
    StoreTablePage();
    StoreColumnPage();
    TStatus S = FModel->Apply();
    // Apply stored the shown column and loaded it back: show what it made of the texts.
    LoadColumnPage();
    return S;
}

void TTableOptionsDlg::btnApplyClick() {
    if (TStatus S = Apply(); !S) {
        QMessageBox::critical(this, windowTitle(), QString::fromStdString(S.Message()));
        return;
    }
    ShowPreview();
}

void TTableOptionsDlg::btnOKClick() {
    if (Apply())
        accept();
}

void TTableOptionsDlg::btnColorClick() {
    if (const auto Chosen = ChooseColor(ToQColor(FModel->WorkingTable().BackgroundColor()))) {
        SetSwatch(FBackSwatch, FBackColor, FromQColor(*Chosen));
        FApplyButton->setEnabled(true);
    }
}

void TTableOptionsDlg::btnColColorClick() {
    const int Current = FModel->CurrentColumn();
    const TColor Initial = Current >= 0 ? FModel->ScratchColumn(Current).Font().Color : FFontColor;
    if (const auto Chosen = ChooseColor(ToQColor(Initial))) {
        SetSwatch(FFontSwatch, FFontColor, FromQColor(*Chosen));
        FApplyButton->setEnabled(true);
    }
}

void TTableOptionsDlg::FormClose() {
    // Starting over from the working table is how the model forgets its current column; the
    // working table itself (what OK saves) stays as it is.
    FModel->ReadData(FModel->WorkingTable());
    SelectColumnEntry(FModel->ColumnPage().Selected);
    std::error_code Ignored; // a preview that is gone already is fine
    std::filesystem::remove(FPreviewFile, Ignored);
}

void TTableOptionsDlg::ShowPreview() {
    std::error_code Ignored; // SaveToFile reports a folder it cannot write to
    std::filesystem::create_directories(std::filesystem::path(FPreviewFile).parent_path(), Ignored);
    TStatus S;
    if (ToDoList) {
        std::scoped_lock Lock(ToDoList->ItemsLock());
        S = FModel->WorkingTable().SaveToFile(FPreviewFile, *ToDoList);
    } else {
        TNoItems NoItems;
        S = FModel->WorkingTable().SaveToFile(FPreviewFile, NoItems);
    }
    if (!S) {
        QMessageBox::warning(this, windowTitle(), QString::fromStdString(S.Message()));
        return;
    }
    // The browser decodes the file by its byte order mark (UTF-16LE); the same address is
    // reloaded, as setSource ignores an address it shows already.
    const QUrl Url = QUrl::fromLocalFile(QFile::decodeName(FPreviewFile.c_str()));
    if (FBrowser->source() == Url)
        FBrowser->reload();
    else
        FBrowser->setSource(Url);
    FBrowserPanel->setCurrentWidget(FBrowser);
}

void TTableOptionsDlg::Changed() {
    if (!FLoading)
        FApplyButton->setEnabled(true);
}

void TTableOptionsDlg::StoreTablePage() {
    TTablePage& P = FModel->TablePage();
    P.Caption = FTableCaption->text().toStdWString();
    P.BorderWidth = FTableBorder->text().toStdString();
    P.Width = FTableWidth->text().toStdString();
    P.CellSpacing = FCellSpacing->text().toStdString();
    P.CellPadding = FCellPadding->text().toStdString();
    P.Alignment = FTableAlignment->checkedId();
    P.BackgroundColor = FBackColor;
}

void TTableOptionsDlg::LoadTablePage() {
    const QScopedValueRollback<bool> Guard(FLoading, true);
    const TTablePage& P = FModel->TablePage();
    FTableCaption->setText(QString::fromStdWString(P.Caption));
    FTableBorder->setText(QString::fromStdString(P.BorderWidth));
    FTableWidth->setText(QString::fromStdString(P.Width));
    FCellSpacing->setText(QString::fromStdString(P.CellSpacing));
    FCellPadding->setText(QString::fromStdString(P.CellPadding));
    SetChoice(FTableAlignment, P.Alignment);
    SetSwatch(FBackSwatch, FBackColor, P.BackgroundColor);
}

void TTableOptionsDlg::StoreColumnPage() {
    TColumnPage& P = FModel->ColumnPage();
    P.Selected = FColList->currentRow();
    P.Title = FColTitle->text().toStdWString();
    P.Width = FColWidth->text().toStdString();
    P.Height = FColHeight->text().toStdString();
    P.FontSize = FColFontSize->text().toStdString();
    P.FontFace = FFontFace->text().toStdWString();
    P.Align = FAlign->checkedId();
    P.VAlign = FVAlign->checkedId();
    P.Wrap = FWrapText->isChecked();
    P.Visible = FVisible->isChecked();
    P.Bold = FBold->isChecked();
    P.Italic = FItalic->isChecked();
    P.FontColor = FFontColor;
}

void TTableOptionsDlg::LoadColumnPage() {
    const QScopedValueRollback<bool> Guard(FLoading, true);
    const TColumnPage& P = FModel->ColumnPage();
    FColTitle->setText(QString::fromStdWString(P.Title));
    FColWidth->setText(QString::fromStdString(P.Width));
    FColHeight->setText(QString::fromStdString(P.Height));
    SetChoice(FAlign, P.Align);
    SetChoice(FVAlign, P.VAlign);
    FVisible->setChecked(P.Visible);
    FColFontSize->setText(QString::fromStdString(P.FontSize));
    FFontFace->setText(QString::fromStdWString(P.FontFace));
    FBold->setChecked(P.Bold);
    FItalic->setChecked(P.Italic);
    FWrapText->setChecked(P.Wrap);
    SetSwatch(FFontSwatch, FFontColor, P.FontColor);
}

void TTableOptionsDlg::SelectColumnEntry(int Row) {
    const QScopedValueRollback<bool> Guard(FLoading, true);
    FColList->setCurrentRow(Row);
}

void TTableOptionsDlg::SetSwatch(QFrame* Swatch, TColor& Field, TColor Color) {
    Field = Color;
    QPalette Palette = Swatch->palette();
    Palette.setColor(QPalette::Window, ToQColor(Color));
    Swatch->setPalette(Palette);
}

TTableOptionsDlg& TableOptionsDlg() {
    if (!TheDlg)
        TheDlg = new TTableOptionsDlg;
    return *TheDlg;
}

void FreeTableOptionsDlg() {
    delete std::exchange(TheDlg, nullptr);
}
