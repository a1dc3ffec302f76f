#pragma once

// Runs the todolist program in a copy of a test project, with the settings, home and config
// folders inside a temporary folder, so the user's own are never touched.

#include "../host/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

struct TRun {
    int Exit = -1; ///< -1 when the program did not exit normally (a crash)
    std::string Out, Err;
};

/// S quoted for the shell.
inline std::string Quote(const std::string& S) {
    std::string Q = "'";
    for (char C : S)
        Q += C == '\'' ? std::string("'\\''") : std::string(1, C);
    return Q + "'";
}

/// Text with every Placeholder replaced by Value.
inline std::string Replace(std::string Text, const std::string& Placeholder,
                           const std::string& Value) {
    for (size_t At = Text.find(Placeholder); At != std::string::npos;
         At = Text.find(Placeholder, At + Value.size()))
        Text.replace(At, Placeholder.size(), Value);
    return Text;
}

class TCliRunner {
public:
    /// Copies the folder Project to <temp>/project, where the program runs.
    explicit TCliRunner(const std::filesystem::path& Project) {
        std::filesystem::copy(Project, Tmp.File("project"),
                              std::filesystem::copy_options::recursive);
        // Sorting and column widths follow the locale: pin a UTF-8 one that sorts by code point.
        Env["LC_ALL"] = "C.UTF-8";
        Env["HOME"] = Tmp.File("home");
        Env["XDG_CONFIG_HOME"] = Tmp.File("home/.config");
        Env["TODOLIST_CONFIG"] = Settings();
    }

    /// The settings file every run uses unless a test changes Env.
    std::string Settings() const { return Tmp.File("todolist.ini"); }
    /// A file of the project copy.
    std::string Path(const std::string& Name) const { return Tmp.File("project/" + Name); }

    /// The shell command that runs todolist with Args in the project copy, with the variables
    /// of Env set (an empty optional unsets one) and the global Options first.
    std::string Command(const std::vector<std::string>& Args) const {
        std::string Cmd = "cd " + Quote(Tmp.File("project")) + "; ";
        for (const auto& [Name, Value] : Env)
            Cmd += Value ? "export " + Quote(Name + '=' + *Value) + "; " : "unset " + Name + "; ";
        Cmd += "exec " + Quote(TODOLIST_EXE);
        for (const auto& A : Options)
            Cmd += ' ' + Quote(A);
        for (const auto& A : Args)
            Cmd += ' ' + Quote(A);
        return Cmd;
    }

    TRun Run(const std::vector<std::string>& Args) {
        std::string Cmd =
            "(" + Command(Args) + ") >" + Quote(Tmp.File("out")) + " 2>" + Quote(Tmp.File("err"));
        int Status = std::system(Cmd.c_str());
        return {WIFEXITED(Status) ? WEXITSTATUS(Status) : -1, ReadBytes(Tmp.File("out")),
                ReadBytes(Tmp.File("err"))};
    }

    /// The standard output of a run that must succeed with nothing on standard error.
    std::string Ok(const std::vector<std::string>& Args) {
        TRun R = Run(Args);
        EXPECT_EQ(R.Exit, 0) << R.Err;
        EXPECT_EQ(R.Err, "");
        return R.Out;
    }

    TTempDir Tmp;
    std::map<std::string, std::optional<std::string>> Env;
    std::vector<std::string> Options; ///< global options put before every command's arguments
};
