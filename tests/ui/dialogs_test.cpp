// The Add/Edit To-Do Item dialog, the filter dialog and the table-properties dialog, driven the
// way a user drives them: a timer works the controls of the running modal dialog and clicks its
// buttons; the tests look at the items, the filters, the preview file, Table() and the settings.

#include "dialog_driver.h"
#include "ui_host.h"

#include "comments/todo_comment.h"
#include "host/module.h"
#include "host/utf8.h"
#include "items/source_todo_item.h"
#include "table/html_table.h"
#include "table/table_options.h"
#include "ui/add_todo_item_form.h"
#include "ui/table_options_dlg.h"
#include "ui/todo_filter_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

namespace {

struct TFormValues {
    QString Text, Priority, Owner, Category;
    bool operator==(const TFormValues&) const = default;
};

std::ostream& operator<<(std::ostream& Out, const TFormValues& V) {
    return Out << '{' << V.Text.toStdString() << '|' << V.Priority.toStdString() << '|'
               << V.Owner.toStdString() << '|' << V.Category.toStdString() << '}';
}

TFormValues Read(QDialog& D) {
    return {Get<QPlainTextEdit>(D, "Memo").toPlainText(), Get<QLineEdit>(D, "PriorityEdit").text(),
            Get<QComboBox>(D, "cbOwner").currentText(),
            Get<QComboBox>(D, "cbCategory").currentText()};
}

void Fill(QDialog& D, const TFormValues& V) {
    Get<QPlainTextEdit>(D, "Memo").setPlainText(V.Text);
    Get<QLineEdit>(D, "PriorityEdit").setText(V.Priority);
    Get<QComboBox>(D, "cbOwner").setEditText(V.Owner);
    Get<QComboBox>(D, "cbCategory").setEditText(V.Category);
}

QStringList DropDown(QDialog& D, const char* Name) {
    QComboBox& Box = Get<QComboBox>(D, Name);
    QStringList Items;
    for (int I = 0; I < Box.count(); ++I)
        Items << Box.itemText(I);
    return Items;
}

/// "Text" of each line, with a leading "-" when unchecked.
QStringList Lines(QDialog& D) {
    QListWidget& List = Get<QListWidget>(D, "CheckList");
    QStringList Out;
    for (int I = 0; I < List.count(); ++I)
        Out << (List.item(I)->checkState() == Qt::Checked ? "" : "-") + List.item(I)->text();
    return Out;
}

QRadioButton& Radio(QWidget& D, const char* Group, int Index) {
    return *Get<QGroupBox>(D, Group).findChildren<QRadioButton*>().at(Index);
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

const char* const Unit = "unit a;\n"
                         "{ TODO 1 -oAnn -cUI : Fix the splitter }\n"
                         "{ TODO 2 -oBob -ccore : Speed up }\n"
                         "{ TODO -oAnn -cBuild : Tidy the scripts }\n"
                         "end.\n";

class DialogTest : public ::testing::Test {
protected:
    TShownDisplay Display; // outlives the service's reference to it
    TUiHost Host;

    void SetUp() override {
        Host.List().SetDisplayForm(&Display);
        InitializeToDoAddDlg();
    }
    void TearDown() override {
        FinalizeToDoAddDlg();
        // The dialog keeps the preview name of the cache folder it was made under.
        FreeTableOptionsDlg();
    }

    std::string UnitFile() const { return Host.Dir.File("a.pas"); }
    std::string Preview() { return TableOptionsDlg().PreviewFile(); }

    /// Opens the project over Unit in an editor and waits until its items are listed.
    void OpenItems() {
        Host.OpenProject("app", {{"a.pas", Unit}});
        ASSERT_TRUE(CallDefaultOpenProc(UnitFile(), true));
        Host.ParseAndSettle();
        ASSERT_TRUE(TUiHost::WaitFor([&] { return Host.List().GetItemCount() == 3; }));
    }

    /// The filter value of Key in List, read under the service's lock; nullopt when absent.
    std::optional<int> FilterValue(TToDoFilterList& List, const wchar_t* Key) {
        std::scoped_lock Lock(Host.List().ItemsLock());
        const TFilterEntry* Entry = List.Find(Key);
        return Entry ? std::optional<int>(Entry->Value) : std::nullopt;
    }

    void SetFilterValue(TToDoFilterList& List, const wchar_t* Key, int Value) {
        {
            std::scoped_lock Lock(Host.List().ItemsLock());
            List.Add(Key, Value);
        }
        Host.List().Collate();
    }
};

TEST_F(DialogTest, AddRemembersOnlyConfirmedValuesAndReturnsABodyThatReadsBack) {
    TFormValues Opened;
    bool DoneShown = true;
    OnModal([&](QDialog& D) {
        Opened = Read(D);
        DoneShown = Get<QCheckBox>(D, "CheckedBox").isVisible();
        EXPECT_EQ(D.windowTitle(), "Add To-Do Item");
        // Two lines, and an owner that no item carries: both pass unchanged.
        Fill(D, {"Fix the grid\nand the header", "3", "Zed", "UI"});
        Press(D, "OKButton");
    });
    const std::wstring Body = AddToDoItemForm().Add();
    EXPECT_EQ(Opened, (TFormValues{"", "0", "", ""}));
    EXPECT_FALSE(DoneShown);

    const std::string Comment = "{" + WideToUtf8(Body) + "}";
    const auto Fields = ParseToDoComment(Comment);
    ASSERT_TRUE(Fields) << Comment;
    EXPECT_EQ(RangeText(Comment, Fields->Text), "Fix the grid\nand the header");
    EXPECT_EQ(RangeText(Comment, Fields->Owner, 2), "Zed");
    EXPECT_EQ(RangeText(Comment, Fields->Category, 2), "UI");
    EXPECT_EQ(PriorityValue(RangeText(Comment, Fields->Priority)), 3);
    EXPECT_FALSE(IsDoneKeyword(RangeText(Comment, Fields->Keyword)));

    // A cancelled run returns nothing and forgets what was typed in it.
    OnModal([&](QDialog& D) {
        Fill(D, {"Other", "1", "Amy", "Core"});
        Press(D, "CancelButton");
    });
    EXPECT_EQ(AddToDoItemForm().Add(), L"");
    OnModal([&](QDialog& D) { Opened = Read(D); });
    (void)AddToDoItemForm().Add();
    EXPECT_EQ(Opened, (TFormValues{"Fix the grid\nand the header", "3", "Zed", "UI"}));
}

TEST_F(DialogTest, OKRefusesWhatCannotBeWrittenAndKeepsTheDialogOpen) {
    struct TCase {
        TFormValues Values;
        QString Message; // empty: accepted
        const char* Focused;
    };
    const TCase Cases[] = {
        {{"t", "0", "", ""}, "", nullptr},
        {{"t", "5", "", ""}, "", nullptr},
        {{"t", " 4", "", ""}, "", nullptr},
        {{"t", "-1", "", ""}, "Priority must be between 0 and 5.", "PriorityEdit"},
        {{"t", "6", "", ""}, "Priority must be between 0 and 5.", "PriorityEdit"},
        {{"t", "x", "", ""}, "'x' is not a valid integer value", "PriorityEdit"},
        {{"t", "", "", ""}, "'' is not a valid integer value", "PriorityEdit"},
        {{"t", "99999999999", "", ""},
         "'99999999999' is not a valid integer value",
         "PriorityEdit"},
        {{"t", "1", "A:B", ""}, "owner must not contain ':' or '-'", "cbOwner"},
        {{"t", "1", "", "x-y"}, "category must not contain ':' or '-'", "cbCategory"},
        {{" t", "1", "", ""}, "text must not start with a blank or with ( ) * / { }", "Memo"},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Values);
        QString Shown;
        bool OpenAfterOK = false;
        QString FocusedAfterOK;
        OnModal([&](QDialog& D) {
            Fill(D, C.Values);
            Shown = Press(D, "OKButton");
            OpenAfterOK = D.isVisible();
            FocusedAfterOK = D.focusWidget() ? D.focusWidget()->objectName() : QString();
            if (C.Focused && FocusedAfterOK == "PriorityEdit") {
                EXPECT_EQ(Get<QLineEdit>(D, "PriorityEdit").selectedText(), C.Values.Priority);
            }
        });
        const std::wstring Body = AddToDoItemForm().Add();
        EXPECT_EQ(Shown, C.Message);
        EXPECT_EQ(OpenAfterOK, C.Focused != nullptr);
        if (C.Focused) {
            EXPECT_EQ(FocusedAfterOK, C.Focused);
            EXPECT_EQ(Body, L"");
        } else {
            EXPECT_NE(Body, L"");
        }
    }
}

TEST_F(DialogTest, UpDownNeverLeavesZeroToFive) {
    struct TCase {
        const char* From;
        const char* Button;
        int Clicks;
        const char* Expected;
    };
    const TCase Cases[] = {
        {"4", "UpButton", 3, "5"},  {"1", "DownButton", 3, "0"}, {"x", "UpButton", 1, "1"},
        {"-7", "UpButton", 1, "1"}, {"9", "DownButton", 1, "4"},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(std::string(C.From) + " " + C.Button);
        OnModal([&](QDialog& D) {
            QLineEdit& Edit = Get<QLineEdit>(D, "PriorityEdit");
            Edit.setText(C.From);
            for (int I = 0; I < C.Clicks; ++I)
                Get<QToolButton>(D, C.Button).click();
            EXPECT_EQ(Edit.text(), C.Expected);
        });
        (void)AddToDoItemForm().Add();
    }
}

TEST_F(DialogTest, EscapeInTheMemoCancels) {
    if (TAddToDoItemForm::FarEastLocale())
        GTEST_SKIP() << "Escape belongs to the input method under this locale";
    OnModal([](QDialog& D) {
        Fill(D, {"typed", "2", "", ""});
        QKeyEvent Escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(&Get<QPlainTextEdit>(D, "Memo"), &Escape);
        EXPECT_FALSE(D.isVisible());
    });
    EXPECT_EQ(AddToDoItemForm().Add(), L"");
}

TEST_F(DialogTest, DropDownsOfferOnlyValuesOfListedItems) {
    OpenItems();
    SetFilterValue(Host.List().CategoryFilter(), L"core", -1); // hides Bob's only item
    QStringList Owners, Categories;
    OnModal([&](QDialog& D) {
        Owners = DropDown(D, "cbOwner");
        Categories = DropDown(D, "cbCategory");
        EXPECT_EQ(Read(D).Owner, ""); // filling the list does not pick a value
    });
    (void)AddToDoItemForm().Add();
    Owners.sort();
    Categories.sort();
    EXPECT_EQ(Owners, QStringList({"Ann"}));
    EXPECT_EQ(Categories, QStringList({"Build", "UI"}));
}

TEST_F(DialogTest, EditOfAListedItemRewritesItsCommentAndSeedsTheNextAdd) {
    OpenItems();
    std::shared_ptr<TSourceToDoItem> Item;
    for (int I = 0; I < Host.List().GetItemCount(); ++I)
        if (Host.List().GetItem(I)->GetText().starts_with("Fix the splitter"))
            Item = std::dynamic_pointer_cast<TSourceToDoItem>(Host.List().GetItem(I));
    ASSERT_TRUE(Item);

    TFormValues Opened;
    OnModal([&](QDialog& D) {
        Opened = Read(D);
        EXPECT_EQ(D.windowTitle(), "Edit To-Do Item");
        EXPECT_TRUE(Get<QCheckBox>(D, "CheckedBox").isVisible());
        Fill(D, {"Fix the grid ", "3", "Bob", "Core"}); // the blank before the closer is text
        Get<QCheckBox>(D, "CheckedBox").setChecked(true);
        Press(D, "OKButton");
    });
    EXPECT_TRUE(Item->Edit()); // through the hook the dialog unit installs
    EXPECT_EQ(Opened, (TFormValues{"Fix the splitter ", "1", "Ann", "UI"}));
    const std::string Text = FindEditBuffer(UnitFile())->GetText();
    EXPECT_NE(Text.find("{ DONE 3 -oBob -cCore : Fix the grid }"), std::string::npos) << Text;

    bool DoneShown = true;
    OnModal([&](QDialog& D) {
        Opened = Read(D);
        DoneShown = Get<QCheckBox>(D, "CheckedBox").isVisible();
    });
    (void)AddToDoItemForm().Add();
    EXPECT_EQ(Opened, (TFormValues{"Fix the grid ", "3", "Bob", "Core"}));
    EXPECT_FALSE(DoneShown);
    EXPECT_FALSE(AddToDoItemForm().Edit(nullptr));
}

/// An item that records the setters the dialog calls; FailOn names the one that refuses.
class TRecordingItem : public TSourceToDoItem {
public:
    TRecordingItem(const std::string& Comment, std::string FailOn)
        : TSourceToDoItem({}, Comment, 0, *ParseToDoComment(Comment)), FFailOn(std::move(FailOn)) {}
    std::string Calls; ///< "field=value" of each call, separated by blanks

    TStatus SetText(const std::string& V) override { return Record("text", V); }
    TStatus SetCategory(const std::string& V) override { return Record("category", V); }
    TStatus SetOwner(const std::string& V) override { return Record("owner", V); }
    TStatus SetPriority(unsigned char V) override { return Record("priority", std::to_string(V)); }
    TStatus SetChecked(bool V) override { return Record("checked", V ? "1" : "0"); }

private:
    TStatus Record(const std::string& Field, const std::string& Value) {
        Calls += (Calls.empty() ? "" : " ") + Field + "=" + Value;
        return Field == FFailOn ? TStatus::Error("cannot write the " + Field) : TStatus();
    }
    std::string FFailOn;
};

TEST_F(DialogTest, EditWritesTheFieldsInOrderAndStopsAtTheFirstRefusal) {
    const struct {
        const char* Button;
        const char* FailOn;
        bool Result;
        const char* Calls;
        QString Warning;
    } Cases[] = {
        {"OKButton", "", true, "text=New ü category=UI owner=Ann priority=2 checked=1", ""},
        {"OKButton", "owner", false, "text=New ü category=UI owner=Ann", "cannot write the owner"},
        {"CancelButton", "", false, "", ""},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(std::string(C.Button) + " " + C.FailOn);
        auto Item = std::make_shared<TRecordingItem>("{ TODO 2 -oAnn -cUI : Old }", C.FailOn);
        OnModal([&](QDialog& D) {
            Get<QPlainTextEdit>(D, "Memo").setPlainText(QString::fromUtf8("New ü"));
            Get<QCheckBox>(D, "CheckedBox").setChecked(true);
            Press(D, C.Button);
        });
        TBoxCatcher Catcher; // the warning comes after the dialog closed
        EXPECT_EQ(AddToDoItemForm().Edit(Item), C.Result);
        EXPECT_EQ(Item->Calls, C.Calls);
        EXPECT_EQ(Catcher.Texts.value(0), C.Warning);
    }
}

TEST_F(DialogTest, FilterDialogListsValuesPerTypeAndNeverShowsAdd) {
    auto Check = [](TFilterType Type, const char* Caption, const QStringList& Expected) {
        SCOPED_TRACE(Caption);
        OnModal([&](QDialog& D) {
            EXPECT_EQ(Get<QLabel>(D, "Label1").text(), Caption);
            EXPECT_EQ(Lines(D), Expected);
            EXPECT_FALSE(Get<QPushButton>(D, "btnAdd").isVisible());
            EXPECT_EQ(Get<QPushButton>(D, "btnShowAll").isEnabled(), !Expected.isEmpty());
        });
        TToDoFilterDlg().EditFilter(Type);
    };
    Check(ftCategory, "&Filter by Category:", {}); // no items yet
    OpenItems();
    SetFilterValue(Host.List().OwnerFilter(), L"Gone", -1); // hidden, carried by no item
    Check(ftCategory, "&Filter by Category:", {"Build", "core", "UI"});
    Check(ftOwner, "&Filter by Owner:", {"Ann", "Bob", "-Gone"});
    Check(ftKind, "&Filter by Origin:",
          {"Current project source files", "Open source files", "Project To-Do file"});
}

TEST_F(DialogTest, UncheckingACategoryHidesItsItemsOnOKOnly) {
    OpenItems();
    const int Hidden = Host.List().GetHiddenCount();
    OnModal([](QDialog& D) {
        Get<QListWidget>(D, "CheckList").item(1)->setCheckState(Qt::Unchecked); // "core"
        Press(D, "btnOK");
    });
    TToDoFilterDlg().EditFilter(ftCategory);
    EXPECT_EQ(FilterValue(Host.List().CategoryFilter(), L"core"), -1);
    EXPECT_EQ(Host.List().GetHiddenCount(), Hidden + 1);
    EXPECT_EQ(Host.List().GetItemCount(), 2);

    // Show All, then Cancel: the category stays hidden, and is listed unchecked each time.
    for (int Run = 0; Run < 2; ++Run) {
        QStringList Before, AfterShowAll;
        OnModal([&](QDialog& D) {
            Before = Lines(D);
            Press(D, "btnShowAll");
            AfterShowAll = Lines(D);
            Press(D, "btnCancel");
        });
        TToDoFilterDlg().EditFilter(ftCategory);
        EXPECT_EQ(Before, QStringList({"Build", "-core", "UI"}));
        EXPECT_EQ(AfterShowAll, QStringList({"Build", "core", "UI"}));
        EXPECT_EQ(FilterValue(Host.List().CategoryFilter(), L"core"), -1);
    }
}

TEST_F(DialogTest, ShowAllThenOKGivesTheHiddenKeyItsTypesValue) {
    OpenItems();
    const struct {
        TFilterType Type;
        TToDoFilterList& List;
        QStringList Listed; // before Show All
        std::vector<const wchar_t*> Keys;
        int Value; // what those keys hold after OK
    } Cases[] = {
        // Items without a category, hidden: listed as "(none)", kept under the empty key.
        {ftCategory, Host.List().CategoryFilter(), {"-(none)", "Build", "core", "UI"}, {L""}, 0},
        {ftKind,
         Host.List().OriginFilter(),
         {"Current project source files", "-Open source files", "Project To-Do file"},
         {L"Open source files", L"Current project source files", L"Project To-Do file"},
         1},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Listed.join(',').toStdString());
        SetFilterValue(C.List, C.Keys.front(), -1);
        OnModal([&](QDialog& D) {
            EXPECT_EQ(Lines(D), C.Listed);
            Press(D, "btnShowAll");
            Press(D, "btnOK");
        });
        TToDoFilterDlg().EditFilter(C.Type);
        for (const wchar_t* Key : C.Keys)
            EXPECT_EQ(FilterValue(C.List, Key), C.Value);
    }
    EXPECT_FALSE(FilterValue(Host.List().CategoryFilter(), L"(none)")) << "no such key made";
}

using TableDialogTest = DialogTest;

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

TEST_F(TableDialogTest, ApplyChangesOnlyThePreviewCancelKeepsTheTableAndOkSavesIt) {
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
    OpenItems();

    OnModal([&](QDialog& D) {
        Get<QTabWidget>(D, "PageControl").setCurrentIndex(1);
        Get<QListWidget>(D, "ColList").setCurrentRow(2); // Priority
        Type(D, "eColFontSize", "x");
        EXPECT_EQ(Press(D, "btnApply"), "");
        EXPECT_EQ(Get<QLineEdit>(D, "eColFontSize").text(), "0");
        const QString Html = ReadPreview(Preview());
        EXPECT_EQ(Html.count("<FONT SIZE=0>"), 4) << Html.toStdString(); // header and 3 items
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
