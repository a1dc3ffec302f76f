// The table-properties dialog driven the way a user drives it: a timer works the controls of the
// running modal dialog, and the tests look at the preview file, the browser, Table() and the
// settings.

#include "dialog_driver.h"
#include "ui_host.h"

#include "host/module.h"
#include "host/window_link.h"
#include "table/html_table.h"
#include "table/table_options.h"
#include "ui/table_options_dlg.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QFrame>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace {

QRadioButton& Radio(QWidget& D, const char* Group, int Index) {
    return *Get<QGroupBox>(D, Group).findChildren<QRadioButton*>().at(Index);
}

/// Clicks the button Name; returns the text of the message box the click opened (and that was
/// closed at once), or an empty text when none opened.
QString Press(QDialog& D, const char* Name) {
    QString Text;
    QTimer Timer;
    QObject::connect(&Timer, &QTimer::timeout, [&] {
        if (auto* Box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            Text = Box->text();
            Box->reject();
        }
    });
    Timer.start(5);
    Get<QAbstractButton>(D, Name).click();
    return Text;
}

void Type(QDialog& D, const char* Edit, const QString& Text) {
    Get<QLineEdit>(D, Edit).setText(Text);
}

/// The preview file's text after its byte order mark; "<no BOM>" when it lacks one.
QString ReadPreview(const std::string& File) {
    std::ifstream In(File, std::ios::binary);
    const std::string Bytes{std::istreambuf_iterator<char>(In), {}};
    if (Bytes.size() < 2 || Bytes.compare(0, 2, "\xFF\xFE") != 0)
        return QStringLiteral("<no BOM>");
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(Bytes.data() + 2),
                              static_cast<qsizetype>((Bytes.size() - 2) / 2));
}

class TableDialogTest : public ::testing::Test {
protected:
    TShownDisplay Display; // outlives the service's reference to it
    TUiHost Host;

    void SetUp() override {
        Host.List().SetDisplayForm(&Display);
        ASSERT_NE(Table(), nullptr);
    }
    // The dialog keeps the preview name of the cache folder it was made under: free it with the
    // host.
    void TearDown() override { FreeTableOptionsDlg(); }

    std::string Preview() { return TableOptionsDlg().PreviewFile(); }
};

TEST_F(TableDialogTest, OpeningWritesThePreviewAndEveryWayOfClosingRemovesIt) {
    Table()->SetCaption(L"Prévue ✓ <b>");
    EXPECT_EQ(Preview(), Host.SettingsDir.File("cache") + "/todolist/ToDoTable.html");
    const struct {
        const char* Name;
        std::function<void(QDialog&)> Close;
    } Cases[] = {
        {"OK", [](QDialog& D) { Get<QPushButton>(D, "btnOK").click(); }},
        {"Cancel", [](QDialog& D) { Get<QPushButton>(D, "btnCancel").click(); }},
        {"Escape", [](QDialog& D) { QTest::keyClick(&D, Qt::Key_Escape); }},
        {"window close", [](QDialog& D) { D.close(); }},
    };
    TTableOptionsDlg* First = &TableOptionsDlg();
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        bool Closed = false;
        OnModal([&](QDialog& D) {
            EXPECT_EQ(Get<QTabWidget>(D, "PageControl").currentIndex(), 0);
            EXPECT_EQ(Get<QLineEdit>(D, "eTableCaption").text(), "Prévue ✓ <b>");
            EXPECT_FALSE(Get<QPushButton>(D, "btnApply").isEnabled());
            EXPECT_TRUE(ReadPreview(Preview()).contains("<CAPTION>Prévue ✓ <b></CAPTION>"));
            // The view decoded the UTF-16 file and rendered its HTML.
            const QString Shown = Get<QTextBrowser>(D, "Browser").toPlainText();
            EXPECT_TRUE(Shown.contains("Prévue ✓")) << Shown.toStdString();
            EXPECT_TRUE(Shown.contains("Action Item")) << Shown.toStdString();
            C.Close(D);
            Closed = !D.isVisible();
        });
        TableOptionsDlg().Edit();
        EXPECT_TRUE(Closed);
        EXPECT_FALSE(std::filesystem::exists(Preview()));
    }
    EXPECT_EQ(&TableOptionsDlg(), First) << "closing hides the dialog, it does not free it";
}

TEST_F(TableDialogTest, HeightIsFixedAndWidthKeepsItsCreationMinimum) {
    const int CreatedWidth = TableOptionsDlg().width();
    OnModal([&](QDialog& D) {
        const int Height = D.height();
        D.resize(CreatedWidth + 80, Height + 80);
        QApplication::processEvents();
        EXPECT_EQ(D.height(), Height);
        EXPECT_EQ(D.width(), CreatedWidth + 80);
        D.resize(CreatedWidth - 80, Height - 40);
        QApplication::processEvents();
        EXPECT_EQ(D.height(), Height);
        EXPECT_EQ(D.width(), CreatedWidth);
    });
    TableOptionsDlg().Edit();
}

TEST_F(TableDialogTest, EveryKindOfEditEnablesApply) {
    const auto ToColumns = [](QDialog& D) { Get<QTabWidget>(D, "PageControl").setCurrentIndex(1); };
    const struct {
        const char* Name;
        std::function<void(QDialog&)> Edit;
    } Cases[] = {
        {"caption typed",
         [](QDialog& D) { QTest::keyClicks(&Get<QLineEdit>(D, "eTableCaption"), "x"); }},
        {"border up arrow",
         [](QDialog& D) {
             Get<QWidget>(D, "eTableBorderUpDown").findChild<QToolButton*>("UpButton")->click();
             EXPECT_EQ(Get<QLineEdit>(D, "eTableBorder").text(), "2");
         }},
        {"table alignment", [](QDialog& D) { Radio(D, "rgTableAlignment", 2).click(); }},
        {"column chosen only, then title typed",
         [&](QDialog& D) {
             ToColumns(D);
             Get<QListWidget>(D, "ColList").setCurrentRow(3);
             EXPECT_FALSE(Get<QPushButton>(D, "btnApply").isEnabled());
             EXPECT_EQ(Get<QLineEdit>(D, "eColTitle").text(), "Owner");
             QTest::keyClicks(&Get<QLineEdit>(D, "eColTitle"), "s");
         }},
        {"bold clicked",
         [&](QDialog& D) {
             ToColumns(D);
             Get<QAbstractButton>(D, "cbBold").click();
         }},
        {"vertical alignment",
         [&](QDialog& D) {
             ToColumns(D);
             Radio(D, "rgVAlign", 0).click();
         }},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        OnModal([&](QDialog& D) {
            EXPECT_FALSE(Get<QPushButton>(D, "btnApply").isEnabled());
            C.Edit(D);
            EXPECT_TRUE(Get<QPushButton>(D, "btnApply").isEnabled());
        });
        TableOptionsDlg().Edit();
    }
}

TEST_F(TableDialogTest, ColourButtonsStartFromTheColourAndSetTheSwatch) {
    Table()->SetBackgroundColor(RGBColor(0x12, 0x34, 0x56));
    THTMLFont Font = Table()->GetColumn(0).Font();
    Font.Color = RGBColor(0xAB, 0xCD, 0xEF);
    Table()->GetColumn(0).SetFont(Font);
    const struct {
        const char* Button;
        const char* Swatch;
        QColor Initial;
        const char* Written;
    } Cases[] = {
        {"btnColor", "pBackColor", QColor(0x12, 0x34, 0x56), "BGCOLOR=\"#0A0B0C\""},
        {"btnColColor", "pFontColor", QColor(0xAB, 0xCD, 0xEF), "COLOR=\"#0A0B0C\">Action"},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Button);
        QColor Offered;
        TableOptionsDlg().ChooseColor = [&](QColor Initial) -> std::optional<QColor> {
            Offered = Initial;
            return QColor(0x0A, 0x0B, 0x0C);
        };
        OnModal([&](QDialog& D) {
            Get<QPushButton>(D, C.Button).click();
            EXPECT_EQ(Offered, C.Initial);
            EXPECT_EQ(Get<QFrame>(D, C.Swatch).palette().color(QPalette::Window),
                      QColor(0x0A, 0x0B, 0x0C));
            EXPECT_TRUE(Get<QPushButton>(D, "btnApply").isEnabled());
            EXPECT_EQ(Press(D, "btnApply"), "");
            EXPECT_TRUE(ReadPreview(Preview()).contains(C.Written));
        });
        TableOptionsDlg().Edit();
    }
}

TEST_F(TableDialogTest, ApplyChangesOnlyThePreviewAndCancelKeepsTableAndSettings) {
    Table()->SetCaption(L"Stored");
    OnModal([&](QDialog& D) {
        Type(D, "eTableCaption", "Applied");
        EXPECT_EQ(Press(D, "btnApply"), "");
        EXPECT_TRUE(ReadPreview(Preview()).contains("<CAPTION>Applied</CAPTION>"));
        EXPECT_TRUE(Get<QTextBrowser>(D, "Browser").toPlainText().contains("Applied"));
        EXPECT_EQ(Table()->Caption(), L"Stored");
        Get<QPushButton>(D, "btnCancel").click();
    });
    TableOptionsDlg().Edit();
    EXPECT_EQ(Table()->Caption(), L"Stored");
    EXPECT_FALSE(AppIniFile().ValueExists(TableSettingsSection, TableOptionsKey));
}

TEST_F(TableDialogTest, OkCopiesIntoTableAndSavesTheSettings) {
    OnModal([&](QDialog& D) {
        Type(D, "eTableCaption", "Saved");
        Type(D, "eTableBorder", "3");
        Get<QTabWidget>(D, "PageControl").setCurrentIndex(1);
        Get<QAbstractButton>(D, "cbVisible").click(); // hides "Action Item"
        Get<QPushButton>(D, "btnOK").click();
    });
    TableOptionsDlg().Edit();
    EXPECT_EQ(Table()->Caption(), L"Saved");
    EXPECT_EQ(Table()->BorderWidth(), 3);
    EXPECT_FALSE(Table()->GetColumn(0).Visible());

    TIniFile OnDisk(AppIniFile().FileName());
    THTMLTable Read;
    ASSERT_TRUE(ReadTableOptions(Read, OnDisk));
    EXPECT_TRUE(Read == *Table());
}

TEST_F(TableDialogTest, FontSizeThatIsNoNumberWritesSizeZeroInThatColumn) {
    Host.OpenProject("app", {{"a.pas", "unit a;\n{ TODO 1 : One }\n{ TODO 2 : Two }\nend.\n"}});
    ASSERT_TRUE(CallDefaultOpenProc(Host.Dir.File("a.pas"), true));
    Host.ParseAndSettle();
    ASSERT_TRUE(TUiHost::WaitFor([&] { return Host.List().GetItemCount() == 2; }));

    OnModal([&](QDialog& D) {
        Get<QTabWidget>(D, "PageControl").setCurrentIndex(1);
        Get<QListWidget>(D, "ColList").setCurrentRow(2); // Priority
        Type(D, "eColFontSize", "x");
        EXPECT_EQ(Press(D, "btnApply"), "");
        EXPECT_EQ(Get<QLineEdit>(D, "eColFontSize").text(), "0");
        const QString Html = ReadPreview(Preview());
        EXPECT_EQ(Html.count("<FONT SIZE=0>"), 3) << Html.toStdString(); // header and 2 items
        EXPECT_TRUE(Html.contains("<TH ALIGN=CENTER WIDTH=\"5%\"><FONT SIZE=0>Priority</FONT>"));
    });
    TableOptionsDlg().Edit();
}

TEST_F(TableDialogTest, TableBoxThatIsNoNumberKeepsOkOpenAndApplyReports) {
    const struct {
        const char* Button;
        bool Reported;
    } Cases[] = {{"btnOK", false}, {"btnApply", true}};
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Button);
        OnModal([&](QDialog& D) {
            Type(D, "eCellSpacing", "x");
            const QString Message = Press(D, C.Button);
            EXPECT_EQ(Message.contains("cell spacing"), C.Reported) << Message.toStdString();
            EXPECT_TRUE(D.isVisible());
        });
        TableOptionsDlg().Edit();
        EXPECT_EQ(Table()->CellSpacing(), 2);
    }
}

} // namespace
