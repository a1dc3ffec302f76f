// todolist: the command-line front end. It only parses arguments and hands them to the commands.
#include "cli_common.h"
#include "commands.h"

#include <CLI/CLI.hpp>

#include "host/ini_file.h"

#include <exception>
#include <iostream>
#include <map>

namespace {

void AddLocation(CLI::App& Cmd, std::string& Location) {
    Cmd.add_option(
           "LOCATION", Location,
           "the to-do comment: FILE@OFFSET (0-based byte offset of the comment, as "
           "'scan --json' prints it) or FILE:LINE[:COL] (where the comment starts, 1-based)")
        ->required();
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

    TListOptions List;
    auto* ListCmd = App.add_subcommand(
        "list", "the collated to-do list of the given files and folders, as the window shows it");
    ListCmd->add_option("PATH", List.Paths, "source files and folders (the open editor files)");
    // Mapped to int: CLI11 prints the map in its messages, and a char-sized value would print
    // as a raw byte.
    const std::map<std::string, int> SortNames = {
        {"action-item", soActionItem}, {"status", soChecked}, {"type", soKind},
        {"priority", soPriority},      {"module", soModule},  {"owner", soOwner},
        {"category", soCategory}};
    int SortOrder = soModule;
    ListCmd->add_option("--sort", SortOrder, "the sort order (default: module)")
        ->transform(CLI::CheckedTransformer(SortNames, CLI::ignore_case));
    ListCmd->add_flag("--descending", List.Descending, "sort in descending order");
    auto* ShowCompleted = ListCmd->add_flag("--show-completed", List.ShowCompleted,
                                            "list completed (DONE) items too");
    auto* HideCompleted = ListCmd->add_flag_callback(
        "--hide-completed", [&] { List.ShowCompleted = false; },
        "hold completed items back (the default)");
    ShowCompleted->excludes(HideCompleted);
    const std::map<std::string, TListFormat> FormatNames = {{"table", TListFormat::Table},
                                                            {"tsv", TListFormat::Tsv}};
    ListCmd
        ->add_option("--format", List.Format,
                     "table (default: aligned columns and the status lines) or tsv (the text "
                     "\"Copy as text\" puts on the clipboard)")
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

    auto Known = [&](const std::string& Name) {
        for (const auto* Sub : App.get_subcommands({}))
            if (Sub->get_name() == Name)
                return true;
        return false;
    };
    if (argc > 1 && argv[1][0] != '-' && !Known(argv[1]))
        return Fail(ecUsage, std::string("unknown command '") + argv[1] +
                                 "' (commands: scan, list, filter, edit, delete; see --help)");
    try {
        App.parse(argc, argv);
    } catch (const CLI::Success& E) {
        return App.exit(E);
    } catch (const CLI::ParseError& E) {
        App.exit(E);
        return ecUsage;
    }

    try {
        if (!ConfigFile.empty())
            SetAppIniFileName(ConfigFile);
        StartUnits();
        if (*ScanCmd)
            return RunScan(Scan);
        if (*EditCmd)
            return RunEdit(Edit);
        if (*DeleteCmd)
            return RunDelete(Delete);
        if (*ListCmd) {
            List.Sort = static_cast<TToDoSortOrder>(SortOrder);
            return RunList(List);
        }
        if (*FilterCmd)
            return RunFilter(Filter);
    } catch (const std::exception& E) {
        return Fail(ecFailed, E.what());
    }
    return ecUsage;
}
