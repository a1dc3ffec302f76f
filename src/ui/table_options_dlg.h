#pragma once

#include "host/status.h"
#include "table/html_table.h"

#include <QColor>
#include <QDialog>

#include <functional>
#include <memory>
#include <optional>
#include <string>

class QButtonGroup;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QShowEvent;
class QStackedWidget;
class QTabWidget;
class QTextBrowser;
class TTableOptionsModel;

/// The "Table Properties" dialog: edits a working copy of the program's table (Table()) on a
/// "Table" and a "Columns" page and shows the HTML it generates in a preview beside them. The
/// editing itself is TTableOptionsModel's; this class copies its controls into the model's pages,
/// calls it, and shows what it leaves there.
///
/// Apply takes the controls into the working table and rewrites the preview file; only OK
/// changes Table() and the settings. The preview is written at once when the dialog shows and
/// removed whenever it closes (OK, Cancel, Escape, the window's close button). Its height is
/// fixed and it cannot get narrower than it was made. Main thread only.
class TTableOptionsDlg : public QDialog {
    Q_OBJECT
public:
    explicit TTableOptionsDlg(QWidget* Parent = nullptr);
    ~TTableOptionsDlg() override;

    /// Runs the dialog modally over a copy of Table() (created with the default options when
    /// there is none). On OK, Table() becomes the working table, its options are written to
    /// AppIniFile() and the file is saved; a failure to save is reported in a message box.
    void Edit();
    /// Where the preview is written: "ToDoTable.html" in the "todolist" folder of the user's
    /// cache ($XDG_CACHE_HOME or ~/.cache), as it was when the dialog was made. The folder is
    /// created when the preview is written.
    std::string PreviewFile() const;

    /// Asks the user for a colour, starting from the given one; nothing when cancelled. Defaults
    /// to the desktop's colour dialog; tests replace it.
    std::function<std::optional<QColor>(QColor)> ChooseColor;

protected:
    /// Shows the "Table" page filled from the working table, fixes the height, disables Apply
    /// and writes the preview.
    void showEvent(QShowEvent* Event) override;

private:
    void BuildTablePage(QWidget* Page);
    void BuildColumnsPage(QWidget* Page);

    /// Fills the page's controls from the working table (the "Table" page) or from the selected
    /// column (the "Columns" page).
    void PageControlChange(int Index);
    /// Stores the "Columns" page into the current column, then shows the selected one.
    void ColListClick();
    /// Takes every control into the working table; fails with the model's message when a table
    /// box holds no integer (what came before that box was taken).
    TStatus Apply();
    /// Apply, then writes the preview and shows it; a failure is reported in a message box.
    void btnApplyClick();
    /// Apply; accepts only when it worked (no message otherwise).
    void btnOKClick();
    void btnColorClick();
    void btnColColorClick();
    /// Runs on every close: forgets the current column and removes the preview file.
    void FormClose();
    /// Writes the working table's HTML to the preview file and (re)loads it in the browser.
    void ShowPreview();
    /// Enables Apply, unless the controls are being filled by the dialog itself.
    void Changed();

    void StoreTablePage();
    void LoadTablePage();
    void StoreColumnPage();
    void LoadColumnPage();
    void SelectColumnEntry(int Row);
    void SetSwatch(QFrame* Swatch, TColor& Field, TColor Color);

    std::unique_ptr<TTableOptionsModel> FModel;
    std::string FPreviewFile;
    int FCreationWidth = 0;
    /// True while the dialog fills its own controls, whose change signals are then no edits.
    bool FLoading = false;
    /// The colours the swatches show, kept as the table stores them (system colours too).
    TColor FBackColor = 0;
    TColor FFontColor = 0;

    // Children, owned by this (Qt parent).
    QTabWidget* FPageControl;
    QLineEdit* FTableCaption;
    QLineEdit* FTableBorder;
    QLineEdit* FTableWidth;
    QLineEdit* FCellSpacing;
    QLineEdit* FCellPadding;
    QButtonGroup* FTableAlignment;
    QFrame* FBackSwatch;
    QListWidget* FColList;
    QButtonGroup* FAlign;
    QButtonGroup* FVAlign;
    QLineEdit* FColFontSize;
    QLineEdit* FFontFace;
    QCheckBox* FBold;
    QCheckBox* FItalic;
    QFrame* FFontSwatch;
    QLineEdit* FColTitle;
    QLineEdit* FColHeight;
    QLineEdit* FColWidth;
    QCheckBox* FWrapText;
    QCheckBox* FVisible;
    QPushButton* FApplyButton;
    QStackedWidget* FBrowserPanel;
    QLabel* FLoadingLabel;
    QTextBrowser* FBrowser;
};

/// The shared dialog, created on first use (no parent); closing it only hides it. Needs the
/// QApplication. Main thread only.
TTableOptionsDlg& TableOptionsDlg();
/// Destroys the shared dialog; nothing when there is none.
void FreeTableOptionsDlg();
