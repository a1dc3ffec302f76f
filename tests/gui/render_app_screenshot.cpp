// Not a test: renders the README's picture of the desktop program (scripts/screenshots.sh). It
// starts the real program offscreen on the Pascal example, opens a unit, shows the To-Do window
// and saves the main window as docs/images/app.png.
//
// Usage: gui_screenshot OUTPUT_FOLDER

#include "e2e_program.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

int Fail(const std::string& What, const TGuiProgram& P) {
    std::fprintf(stderr, "gui_screenshot: %s\n%s\n", What.c_str(), P.Error().c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: gui_screenshot OUTPUT_FOLDER\n");
        return 2;
    }
    const std::string Out = std::filesystem::absolute(argv[1]).string();
    std::filesystem::create_directories(Out);

    TGuiProgram P;
    // A copy, so that nothing the program does can touch the example.
    const std::string Project = P.CopyExample("pascal-app") + "/tasks.dpr";
    if (!P.Start({Project}))
        return Fail("the program did not start", P);
    auto Ok = [&P](const std::string& Request) { return P.Send(Request).starts_with("ok"); };
    if (!Ok("resize 1000 720") ||
        !Ok("open-file " + P.Dir().File("pascal-app/units/main_form.pas")) || !Ok("goto 0") ||
        !Ok("trigger ViewToDoListCommand"))
        return Fail("the program refused a request", P);
    if (!WaitUntil([&] { return P.ItemCount() >= 10; }))
        return Fail("the list did not fill", P);
    // Sorted by priority, the list reads from the most urgent item down; tall enough for all.
    Ok("trigger SortPriority");
    Ok("dock-height ToDoListWindow 330");
    // Widened as a user would on a wide window, so that texts and paths read whole.
    for (const char* Drag :
         {"drag-column 0 420", "drag-column 2 190", "drag-column 3 90", "drag-column 4 110"})
        Ok(Drag);
    // Give the last paint (the sort, the editor's highlighting) a moment: replies come from the
    // event loop, so a request answered after them sees them done.
    for (int I = 0; I < 3; ++I)
        P.Send("project");
    if (!Ok("grab " + Out + "/app.png"))
        return Fail("the picture was not written", P);
    if (P.Quit() != 0)
        return Fail("the program did not end cleanly", P);
    std::printf("%s/app.png\n", Out.c_str());
    return 0;
}
