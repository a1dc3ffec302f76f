#pragma once

#include <QDockWidget>

#include <functional>
#include <string>
#include <vector>

class QAction;
class TIniFile;

/// The base of the host's dockable windows: a dock widget that keeps its own place in the
/// desktop state (a section of the desktop settings named by DeskSection), and offers the
/// window commands "Stay on Top" (a floating window stays above the others) and "Dockable"
/// (unchecked, the window floats and cannot be docked). Main thread only.
class TDockableForm : public QDockWidget {
    Q_OBJECT
public:
    explicit TDockableForm(QWidget* Parent = nullptr);

    /// The desktop settings section of this window; empty means the window keeps no state.
    const std::string& DeskSection() const { return FDeskSection; }
    void SetDeskSection(std::string Value) { FDeskSection = std::move(Value); }

    /// Restores what the base keeps in DeskSection of Desktop: "Visible", "Floating",
    /// "Dockable", "StayOnTop", and the floating geometry "Left", "Top", "Width", "Height".
    /// Missing keys leave the window as it is.
    virtual void LoadWindowState(const TIniFile& Desktop);
    /// Stores the keys LoadWindowState reads. IsProject tells whether Desktop is a project's
    /// desktop (the base stores the same keys in both).
    virtual void SaveWindowState(TIniFile& Desktop, bool IsProject);

    /// The base's window commands (owned by the form). ZoomWindowCmd is kept disabled.
    QAction* StayOnTopCmd() const { return FStayOnTopCmd; }
    QAction* DockableCmd() const { return FDockableCmd; }
    QAction* ZoomWindowCmd() const { return FZoomWindowCmd; }

private:
    void ApplyDockable(bool Value);
    void ApplyStayOnTop(bool Value);

    std::string FDeskSection;
    QAction* FStayOnTopCmd;  // owned by this (Qt parent)
    QAction* FDockableCmd;   // owned by this (Qt parent)
    QAction* FZoomWindowCmd; // owned by this (Qt parent)
};

/// Makes a window of a registered desktop form class; Parent is the main window.
using TDesktopFormFactory = std::function<TDockableForm*(QWidget* Parent)>;

/// A window class the desktop can save and bring back: its factory, the settings section its
/// state is kept in, and its class name.
struct TDesktopFormClass {
    TDesktopFormFactory Factory;
    std::string Section;
    std::string ClassName;
};

/// Registers a window class with the desktop, so that a desktop that had such a window open can
/// create it again. A class name registered again replaces the earlier registration. Main thread.
void RegisterDesktopFormClass(TDesktopFormFactory Factory, std::string Section,
                              std::string ClassName);
/// Forgets the class (nothing when unknown). Main thread.
void UnregisterDesktopFormClass(const std::string& ClassName);
/// The registered classes in registration order. Main thread.
const std::vector<TDesktopFormClass>& DesktopFormClasses();
