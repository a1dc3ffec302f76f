// todolist: the command-line front end. It only parses arguments and hands them to the commands.
#include "cli_common.h"
#include "commands.h"

#include <CLI/CLI.hpp>

#include <exception>
#include <iostream>

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
                                 "' (commands: scan, edit, delete; see --help)");
    try {
        App.parse(argc, argv);
    } catch (const CLI::Success& E) {
        return App.exit(E);
    } catch (const CLI::ParseError& E) {
        App.exit(E);
        return ecUsage;
    }

    try {
        StartUnits();
        if (*ScanCmd)
            return RunScan(Scan);
        if (*EditCmd)
            return RunEdit(Edit);
        if (*DeleteCmd)
            return RunDelete(Delete);
    } catch (const std::exception& E) {
        return Fail(ecFailed, E.what());
    }
    return ecUsage;
}
