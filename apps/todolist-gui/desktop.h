#pragma once
// Desktops: the layout of the main window (its geometry, where the dock windows are, which
// package windows are open, which files are open in editors) kept in a small INI file. Each
// project has its own desktop in the user's config folder, so that the project folder stays
// clean and read-only projects work; named desktops hold a layout without the editors, for
// the user to switch between. Main thread only.

#include "host/status.h"

#include <QByteArray>

#include <functional>
#include <string>
#include <vector>

class QMainWindow;
class TDockableForm;
class TIniFile;

/// The folder that holds the desktop files: $XDG_CONFIG_HOME/todolist/desktops (when
/// XDG_CONFIG_HOME is set, not empty and absolute), else $HOME/.config/todolist/desktops.
/// Empty when no home folder can be found.
std::string DesktopFolder();

/// The desktop file of the project whose project file is ProjectFileName:
/// DesktopFolder()/projects/<project base name>-<16 hex digits>.dsk, the digits a stable
/// 64-bit hash of the normalised project file name, so that two projects with the same name
/// in different folders keep apart. An empty ProjectFileName (no project) gives
/// DesktopFolder()/projects/default.dsk. Empty when DesktopFolder() is.
std::string ProjectDesktopFileName(const std::string& ProjectFileName);

/// True when Name can name a desktop: not empty, at most 100 bytes, valid as a file name
/// (no '/', no NUL, not starting with '.') and free of control characters.
bool IsValidDesktopName(const std::string& Name);
/// DesktopFolder()/<Name>.dst; empty when the name is not valid or there is no folder.
std::string NamedDesktopFileName(const std::string& Name);
/// The names of the saved named desktops, sorted.
std::vector<std::string> NamedDesktops();

/// An open editor as a desktop remembers it.
struct TEditorPlace {
    std::string FileName; ///< normalised
    int Cursor = 0;       ///< 0-based byte offset of the cursor
    bool operator==(const TEditorPlace&) const = default;
};

/// What a desktop file holds besides the sections the dock windows write themselves.
struct TDesktopLayout {
    QByteArray Geometry; ///< QMainWindow::saveGeometry; empty for none
    QByteArray State;    ///< QMainWindow::saveState; empty for none
    std::vector<TEditorPlace> Editors;
    int Active = -1; ///< index into Editors of the selected editor; -1 for none
    /// Class names (registered desktop form classes) of the windows that were open.
    std::vector<std::string> Forms;
    bool operator==(const TDesktopLayout&) const = default;
};

/// The sections the layout uses; a window's own section must not be one of them.
inline constexpr const char* MainWindowSection = "Main Window";
inline constexpr const char* EditorsSection = "Editors";
inline constexpr const char* FormsSection = "Forms";

/// Writes Layout into Desktop: "Main Window" (Geometry, State as base64), "Forms" (Count,
/// Class<i>), and with WithEditors "Editors" (Count, File<i>, Cursor<i>, Active). The sections
/// are replaced, so no key of an earlier, longer list stays behind.
void WriteDesktopLayout(TIniFile& Desktop, const TDesktopLayout& Layout, bool WithEditors);
/// Reads what WriteDesktopLayout wrote. Keys it does not know are ignored; missing keys leave
/// the defaults. Fails, with Layout left at its defaults, for a damaged file: lines the INI
/// reader could not read, base64 that does not decode, or a count outside 0..10000.
TStatus ReadDesktopLayout(const TIniFile& Desktop, TDesktopLayout& Layout);

/// The live window of the registered desktop form class ClassName: the window its registered
/// form field (FindFormField(ClassName)) points at, else a TDockableForm child of Main of that
/// class (by its meta-object class name or object name); null when there is none.
TDockableForm* LiveDesktopForm(QMainWindow& Main, const std::string& ClassName);

/// Lets every window of a registered desktop class that has a live window write its own
/// section into Desktop (TDockableForm::SaveWindowState) and returns their class names in
/// registration order.
std::vector<std::string> SaveDesktopForms(TIniFile& Desktop, QMainWindow& Main, bool IsProject);

/// Brings back the windows Forms names: for each class whose registration exists, the live
/// window, or else a new one made by the class's factory, stored in the class's form field and
/// handed to Dock (which places it in Main); then its LoadWindowState(Desktop). Names of
/// classes not registered (a package that is gone) are skipped. Live windows of registered
/// classes that Forms does not name are hidden, not freed.
void RestoreDesktopForms(const TIniFile& Desktop, const std::vector<std::string>& Forms,
                         QMainWindow& Main, const std::function<void(TDockableForm*)>& Dock);

/// The names a form field of Form may be registered under besides its class's registered name:
/// its meta-object class name and its object name.
std::vector<std::string> FormFieldNamesOf(const TDockableForm& Form);
/// Clears every registered form field that points at Form, looked up by the registered class
/// names and by Names (FormFieldNamesOf, taken while Form was whole). Form is only compared,
/// never used, so this may run while it is being destroyed. The host calls it for each window
/// it frees.
void ClearFormFieldsOf(const TDockableForm* Form, const std::vector<std::string>& Names = {});
