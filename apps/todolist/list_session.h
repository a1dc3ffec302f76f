#pragma once

#include "host/parse_thread.h"
#include "host/window_link.h"
#include "list/todo_list.h"

#include <memory>
#include <string>
#include <vector>

/// What the list commands run on: the host pieces a desktop host would give (the parse thread,
/// an always-visible display, the settings store), the package's units started in their order,
/// the source-manager creators registered as the host registers them, and the to-do list
/// service. The destructor undoes it all in reverse order.
class TListSession {
public:
    TListSession();
    ~TListSession();
    TListSession(const TListSession&) = delete;
    TListSession& operator=(const TListSession&) = delete;

    TToDoList& List() { return *ToDoList; }

    /// Opens each file of Paths (folders walked for source files) in an editor view and gives it
    /// a manager. Warns and returns false for paths that cannot be read and for files no manager
    /// creator handles; the others are opened all the same.
    bool OpenFiles(const std::vector<std::string>& Paths);

    /// Parses every out-of-date manager on the parse thread and waits for the new list.
    void ParseAndWait();

    /// Writes the settings when they changed; false (after a message) when that failed.
    bool SaveSettings();

private:
    /// The always-visible display standing in for the window.
    class TDisplay : public IToDoDisplayForm {
    public:
        TDisplayHandle GetHandle() const override { return Handle; }
        void SetCaption(const std::string& Value) override { Caption = Value; }
        TDisplayHandle Handle = 0;
        std::string Caption;
    };

    TParseThread FThread;
    TQueuedWindow FWindow{true};
    TDisplay FDisplay;
};
