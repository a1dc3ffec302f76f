// Renders the screenshots of the README on the offscreen platform: the To-Do List window over
// the bundled Pascal example, the Add/Edit dialog, the filter dialog and the table-properties
// dialog. Usage: ui_screenshots OUTPUT_FOLDER (scripts/screenshots.sh runs it).

#include "ui_host.h"

#include "host/module.h"
#include "host/project_loader.h"
#include "ui/add_todo_item_form.h"
#include "ui/table_options_dlg.h"
#include "ui/td_string_grid.h"
#include "ui/todo_filter_dlg.h"
#include "ui/todo_list_window.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QTimer>

#include <cstdio>
#include <filesystem>
#include <functional>

namespace {

/// Runs Open (which shows a modal dialog), and once the dialog is up lets Prepare fill it,
/// waits a little for it to settle, saves its picture as File and closes it.
bool ShootModal(const QString& File, const std::function<void()>& Open,
                const std::function<void(QWidget&)>& Prepare = {}) {
    bool Saved = false;
    std::function<void()> Poll = [&] {
        QWidget* Dialog = QApplication::activeModalWidget();
        if (!Dialog) {
            QTimer::singleShot(50, Poll);
            return;
        }
        if (Prepare)
            Prepare(*Dialog);
        QTimer::singleShot(600, [&, Dialog] {
            Saved = Dialog->grab().save(File);
            Dialog->close();
        });
    };
    QTimer::singleShot(50, Poll);
    Open();
    return Saved;
}

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication App(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: ui_screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    const QString Out = QString::fromLocal8Bit(argv[1]);
    std::filesystem::create_directories(argv[1]);
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 9));

    TUiHost Host;
    const std::filesystem::path Example =
        std::filesystem::path(TODO_TEST_DATA_DIR) / ".." / ".." / "examples" / "pascal-app";
    std::filesystem::copy(Example, Host.Dir.File(""), std::filesystem::copy_options::recursive);
    auto Loaded = LoadProject(Host.Dir.File("tasks.dpr"));
    if (!Loaded) {
        std::fprintf(stderr, "ui_screenshots: %s\n", Loaded.Status().Message().c_str());
        return 1;
    }
    InitializeToDoAddDlg();
    QMainWindow Main;
    Main.resize(640, 300);
    auto* Window = new TToDoListWindow(&Main);
    Main.setCentralWidget(Window);
    Main.show();
    MainProjectGroup().SetActiveProject(Loaded.Value().Project);
    Host.ParseAndSettle();
    TUiHost::WaitFor([] { return ToDoList->GetItemCount() > 0; });
    ToDoList->SetShowChecked(true);
    Host.ParseAndSettle();
    // Items of files open in an editor can be changed; the others are drawn grey.
    for (const char* Unit : {"units/main_form.pas", "units/storage.pas"})
        (void)CallDefaultOpenProc(Host.Dir.File(Unit), false);
    Host.ParseAndSettle();
    const int Widths[] = {260, 30, 130, 60, 80};
    for (int Col = 0; Col < 5; ++Col)
        Window->Grid()->SetColWidth(Col, Widths[Col]);
    Window->Grid()->SetSelection({0, 2, 4, 2});
    TUiHost::WaitFor([] { return false; }, std::chrono::milliseconds(300));

    bool Ok = Window->grab().save(Out + "/window.png");
    Ok &= ShootModal(
        Out + "/add-dialog.png", [] { AddToDoItemForm().Add(); },
        [](QWidget& Dialog) {
            Dialog.findChild<QPlainTextEdit*>("Memo")->setPlainText(
                "Check the file format version");
            Dialog.findChild<QLineEdit*>("PriorityEdit")->setText("2");
            Dialog.findChild<QComboBox*>("cbOwner")->setEditText("Ann");
            Dialog.findChild<QComboBox*>("cbCategory")->setEditText("Storage");
        });
    Ok &= ShootModal(Out + "/filter-dialog.png", [] {
        TToDoFilterDlg Dialog;
        Dialog.EditFilter(ftCategory);
    });
    Ok &= ShootModal(Out + "/table-dialog.png", [] { TableOptionsDlg().Edit(); });

    FreeTableOptionsDlg();
    FinalizeToDoAddDlg();
    delete Window;
    if (!Ok) {
        std::fprintf(stderr, "ui_screenshots: a picture could not be saved in %s\n", argv[1]);
        return 1;
    }
    return 0;
}
