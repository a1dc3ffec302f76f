// todolist: the command-line front end. It only parses arguments and hands them to the commands.
#include "cli_common.h"
#include "cmd_query.h"
#include "cmd_table.h"
#include "commands.h"
#include "list_session.h"

#include <CLI/CLI.hpp>

#include "host/ini_file.h"

#include <exception>
#include <iostream>
#include <map>

namespace {

void AddLocation(CLI::App& Cmd, std::string& Location) {
    Cmd.add_option("LOCATION", Location,
                   "the to-do comment: FILE@OFFSET (0-based byte offset of the comment, as "
                   "'scan --json' prints it), FILE:LINE[:COL] (where the comment starts, "
                   "1-based), or #N: row N of 'todolist list' (with the same --sort, "
                   "--descending and --show-completed)")
        ->required();
}

// Sort names are mapped to int: CLI11 prints the map in its messages, and a char-sized value
// would print as a raw byte.
const std::map<std::string, int> SortNames = {
    {"action-item", soActionItem}, {"status", soChecked}, {"type", soKind},
    {"priority", soPriority},      {"module", soModule},  {"owner", soOwner},
    {"category", soCategory}};

/// The options that decide which rows the list has and in which order. The sort order is read
/// into Sort (an int) and copied into View after parsing.
void AddViewOptions(CLI::App& Cmd, TRowView& View, int& Sort) {
    Cmd.add_option("--sort", Sort, "the sort order (default: module)")
        ->transform(CLI::CheckedTransformer(SortNames, CLI::ignore_case));
    Cmd.add_flag("--descending", View.Descending, "sort in descending order");
    auto* Show =
        Cmd.add_flag("--show-completed", View.ShowCompleted, "list completed (DONE) items too");
    auto* Hide = Cmd.add_flag_callback(
        "--hide-completed", [&View] { View.ShowCompleted = false; },
        "hold completed items back (the default)");
    Show->excludes(Hide);
}

} // namespace

int main(int argc, char** argv) {
    CLI::App App{"todolist: find and work the to-do comments of Pascal and C-family sources"};
    App.require_subcommand(1);
    App.set_version_flag("--version", "todolist 0.1.0");
    std::string ConfigFile;
    App.add_option("--config", ConfigFile,
                   "the settings file (default: $TODOLIST_CONFIG, else "
                   "$XDG_CONFIG_HOME/todolist/todolist.ini, else ~/.config/todolist/todolist.ini)");
    TProjectChoice Project;
    auto* ProjectOpt = App.add_option(
        "--project", Project.Path,
        "the project: a project file (a Pascal .dpr/.lpr/.dpk lists its units; any other file "
        "stands for its folder's sources), or a folder D standing for the project D/<name of D> "
        "(default: the current folder)");
    auto* NoProject = App.add_flag("--no-project", Project.None,
                                   "work on the files given on the command line only");
    ProjectOpt->excludes(NoProject);
    int Sort = soModule;

    TScanOptions Scan;
    auto* ScanCmd = App.add_subcommand(
        "scan", "print every to-do comment of the given files and folders (folders recursively)");
    ScanCmd->add_option("PATH", Scan.Paths, "source files and folders")->required();
    ScanCmd->add_flag("--json", Scan.Json,
                      "one JSON object per item (JSON Lines) with every field and range");
    ScanCmd->add_option("-j,--jobs", Scan.Jobs, "worker threads (default: one per core)");

    TEditOptions Edit;
    auto* EditCmd = App.add_subcommand("edit", "change fields of one to-do comment in its file");
    AddLocation(*EditCmd, Edit.Location);
    EditCmd->add_option("--text", Edit.Text, "the new text after the colon");
    EditCmd->add_option("--priority", Edit.Priority, "the new priority, 0 (none) to 5");
    EditCmd->add_option("--owner", Edit.Owner, "the new owner (-o); empty removes it");
    EditCmd->add_option("--category", Edit.Category, "the new category (-c); empty removes it");
    auto* Done = EditCmd->add_flag_callback(
        "--done", [&] { Edit.Checked = true; }, "check the item off: TODO becomes DONE");
    auto* Undone = EditCmd->add_flag_callback(
        "--undone", [&] { Edit.Checked = false; }, "reopen the item: DONE becomes TODO");
    Done->excludes(Undone);
    AddViewOptions(*EditCmd, Edit.View, Sort);

    TEditOptions Check;
    auto* DoneCmd = App.add_subcommand("done", "check one to-do comment off: TODO becomes DONE");
    AddLocation(*DoneCmd, Check.Location);
    AddViewOptions(*DoneCmd, Check.View, Sort);
    auto* UndoneCmd = App.add_subcommand("undone", "reopen one to-do comment: DONE becomes TODO");
    AddLocation(*UndoneCmd, Check.Location);
    AddViewOptions(*UndoneCmd, Check.View, Sort);

    TAddOptions Add;
    auto* AddCmd = App.add_subcommand(
        "add", "add a to-do item to the project's to-do file (made on first use), or with --at "
               "a to-do comment to a source file");
    AddCmd->add_option("TEXT", Add.Text, "the item's text")->required();
    AddCmd->add_option("--priority", Add.Priority, "the priority, 0 (none) to 5");
    AddCmd->add_option("--owner", Add.Owner, "the owner (-o)");
    AddCmd->add_option("--category", Add.Category, "the category (-c)");
    AddCmd->add_option("--at", Add.At,
                       "FILE:LINE[:COL] or FILE@OFFSET: insert a new comment into that source "
                       "file there instead");

    TListOptions List;
    auto* ListCmd = App.add_subcommand(
        "list", "the collated to-do list of the given files and folders, as the window shows it");
    ListCmd->add_option("PATH", List.Paths,
                        "files and folders open in the editor, listed besides the project's");
    AddViewOptions(*ListCmd, List.View, Sort);
    const std::map<std::string, TListFormat> FormatNames = {
        {"table", TListFormat::Table}, {"tsv", TListFormat::Tsv}, {"html", TListFormat::Html}};
    ListCmd
        ->add_option("--format", List.Format,
                     "table (default: aligned columns and the status lines), tsv (the text "
                     "\"Copy as text\" puts on the clipboard) or html (the table \"Copy as HTML "
                     "table\" puts there, styled by 'todolist table')")
        ->transform(CLI::CheckedTransformer(FormatNames, CLI::ignore_case));

    TWatchOptions Watch;
    auto* WatchCmd = App.add_subcommand(
        "watch", "keep the list on screen and follow every change until interrupted (on a "
                 "terminal the list is redrawn; otherwise each new list is printed once)");
    WatchCmd->add_option("PATH", Watch.List.Paths,
                         "files and folders open in the editor, listed besides the project's");
    AddViewOptions(*WatchCmd, Watch.List.View, Sort);
    WatchCmd->add_option("--format", Watch.List.Format, "table (default), tsv or html")
        ->transform(CLI::CheckedTransformer(FormatNames, CLI::ignore_case));

    TFilterOptions Filter;
    auto* FilterCmd = App.add_subcommand(
        "filter", "hide or show categories, owners and origins (kept in the settings)");
    FilterCmd->add_option("PATH", Filter.Paths,
                          "source files and folders whose values --list shows");
    FilterCmd->add_option("--hide-category", Filter.HideCategories, "hide items of a category");
    FilterCmd->add_option("--show-category", Filter.ShowCategories, "show a hidden category");
    FilterCmd->add_option("--hide-owner", Filter.HideOwners, "hide items of an owner");
    FilterCmd->add_option("--show-owner", Filter.ShowOwners, "show a hidden owner");
    FilterCmd->add_option("--hide-origin", Filter.HideOrigins,
                          "hide an origin: \"Open source files\", \"Current project source "
                          "files\" or \"Project To-Do file\"");
    FilterCmd->add_option("--show-origin", Filter.ShowOrigins, "show a hidden origin");
    FilterCmd->add_flag("--show-all", Filter.ShowAll,
                        "show every hidden category, owner and origin (applied first)");
    FilterCmd->add_flag("--list", Filter.List,
                        "print the known and hidden values of each filter afterwards");

    TDeleteOptions Delete;
    auto* DeleteCmd = App.add_subcommand("delete", "remove one to-do comment from its file");
    AddLocation(*DeleteCmd, Delete.Location);
    AddViewOptions(*DeleteCmd, Delete.View, Sort);

    TTableCommandOptions Table;
    auto* TableCmd = App.add_subcommand(
        "table", "the look of the HTML table that \"Copy as table\" makes (kept in the settings)");
    TableCmd->add_flag("--reset", Table.Reset, "start from the default options (applied first)");
    TableCmd->add_option("--caption", Table.Caption, "the caption above the table; \"\" for none")
        ->type_name("TEXT");
    TableCmd
        ->add_option("--align", Table.Align,
                     "left, right or center: the table's alignment, or with --column the "
                     "alignment of the column's cells")
        ->type_name("ALIGN");
    TableCmd
        ->add_option("--width", Table.Width,
                     "the table's width in per cent of the page, 0 (not set) to 100, or with "
                     "--column the column's width in per cent of the table")
        ->type_name("N");
    TableCmd->add_option("--border", Table.Border, "border width in pixels, 0 (none) to 100")
        ->type_name("N");
    TableCmd
        ->add_option("--cell-spacing", Table.CellSpacing, "space between cells in pixels, 0 to 100")
        ->type_name("N");
    TableCmd
        ->add_option("--cell-padding", Table.CellPadding, "space inside cells in pixels, 0 to 100")
        ->type_name("N");
    TableCmd->add_option("--background", Table.Background, "background colour")
        ->type_name("#RRGGBB");
    auto* TableColumn =
        TableCmd
            ->add_option("--column", Table.Column,
                         "the column that the column options change: action-item, status, "
                         "priority, owner, category or module")
            ->type_name("COLUMN");
    TableCmd->add_option("--title", Table.Title, "the column's header text")
        ->type_name("TEXT")
        ->needs(TableColumn);
    TableCmd
        ->add_option("--valign", Table.VAlign,
                     "vertical alignment of the cells: top, middle, bottom or baseline")
        ->type_name("VALIGN")
        ->needs(TableColumn);
    TableCmd->add_option("--height", Table.Height, "cell height in pixels, 0 (not set) to 1000")
        ->type_name("N")
        ->needs(TableColumn);
    auto TableFlags = [&](const char* On, const char* Off, std::optional<bool>& Value,
                          const char* OnHelp, const char* OffHelp) {
        auto* Yes = TableCmd->add_flag_callback(
            On, [&Value] { Value = true; }, OnHelp);
        auto* No = TableCmd->add_flag_callback(
            Off, [&Value] { Value = false; }, OffHelp);
        Yes->needs(TableColumn)->excludes(No);
        No->needs(TableColumn);
    };
    TableFlags("--wrap", "--no-wrap", Table.Wrap, "wrap the cells' text",
               "keep each cell on one line");
    TableFlags("--visible", "--hidden", Table.Visible, "show the column", "leave the column out");
    TableFlags("--font-bold", "--no-font-bold", Table.FontBold, "bold text", "regular text");
    TableFlags("--font-italic", "--no-font-italic", Table.FontItalic, "italic text",
               "upright text");
    TableCmd->add_option("--font-size", Table.FontSize, "HTML font size, 1 to 7 (3: the default)")
        ->type_name("N")
        ->needs(TableColumn);
    TableCmd->add_option("--font-face", Table.FontFace, "font name, up to 63 characters")
        ->type_name("NAME")
        ->needs(TableColumn);
    TableCmd
        ->add_option("--font-color", Table.FontColor,
                     "text colour, or none for the browser's (black counts as none)")
        ->type_name("#RRGGBB")
        ->needs(TableColumn);
    TableCmd->add_flag("--show", Table.Show, "print the options (after the changes)");
    auto* TablePreview =
        TableCmd
            ->add_option("--preview", Table.Preview,
                         "write the listed items as the HTML table to FILE (UTF-16), as the "
                         "options dialog's preview")
            ->type_name("FILE");
    TableCmd
        ->add_option("PATH", Table.Paths,
                     "with --preview: files and folders open in the editor, listed besides the "
                     "project's")
        ->needs(TablePreview);

    TQueryCommandOptions Query;
    auto* QueryCmd = App.add_subcommand(
        "query", "ask the running To-Do List window what it shows: count, selected-row, "
                 "selected-column, cell-rect COL ROW, text-length COL INDEX, text COL INDEX or "
                 "checked INDEX (COL and ROW are grid columns and rows, row 0 the header; INDEX "
                 "is the 0-based item)");
    QueryCmd
        ->add_option("--socket", Query.Socket,
                     "the window's query socket (default: $TODOLIST_QUERY_SOCKET, else the one "
                     "window-PID.sock of a running window in $XDG_RUNTIME_DIR/todolist, else in "
                     "/tmp/todolist-UID)")
        ->type_name("PATH");
    QueryCmd->add_option("QUERY", Query.Args, "the query and its numbers")->type_name("ARGS");

    auto Known = [&](const std::string& Name) {
        for (const auto* Sub : App.get_subcommands({}))
            if (Sub->get_name() == Name)
                return true;
        return false;
    };
    if (argc > 1 && argv[1][0] != '-' && !Known(argv[1]))
        return Fail(ecUsage, std::string("unknown command '") + argv[1] +
                                 "' (commands: scan, list, watch, filter, table, query, add, "
                                 "edit, done, undone, delete; see "
                                 "--help)");
    try {
        App.parse(argc, argv);
    } catch (const CLI::Success& E) {
        return App.exit(E);
    } catch (const CLI::ParseError& E) {
        App.exit(E);
        return ecUsage;
    }

    if (*QueryCmd) // asks another process; needs neither the settings nor the project
        return RunQuery(Query);
    try {
        if (!ConfigFile.empty())
            SetAppIniFileName(ConfigFile);
        StartUnits();
        SetProjectChoice(Project);
        const auto Order = static_cast<TToDoSortOrder>(Sort);
        for (TRowView* View : {&Edit.View, &Check.View, &Delete.View, &List.View, &Watch.List.View})
            View->Sort = Order;
        if (*ScanCmd)
            return RunScan(Scan);
        if (*EditCmd)
            return RunEdit(Edit);
        if (*DoneCmd || *UndoneCmd) {
            Check.Checked = bool(*DoneCmd);
            return RunEdit(Check);
        }
        if (*AddCmd)
            return RunAdd(Add);
        if (*DeleteCmd)
            return RunDelete(Delete);
        if (*ListCmd)
            return RunList(List);
        if (*WatchCmd)
            return RunWatch(Watch);
        if (*FilterCmd)
            return RunFilter(Filter);
        if (*TableCmd)
            return RunTable(Table);
    } catch (const std::exception& E) {
        return Fail(ecFailed, E.what());
    }
    return ecUsage;
}
