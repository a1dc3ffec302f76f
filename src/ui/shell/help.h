#pragma once

#include <QUrl>

class QObject;
class QWidget;

/// Where the user guide's section for a help context is: the guide's HTML file with the anchor
/// "help-<context>". The guide is looked for in $TODOLIST_DOC_DIR, then beside the installed
/// program (<prefix>/share/doc/todolist), then in the source tree the program was built from.
/// An empty URL when no guide is found.
QUrl HelpUrl(int HelpContext);

/// Opens the user guide's section for HelpContext in the desktop's browser. False (nothing
/// opened) when there is no guide or the desktop could not open it. Main thread only.
bool ShowHelp(int HelpContext);

/// Gives a widget, action or menu its help context (kept as the object's "helpContext"
/// property).
void SetHelpContext(QObject* Object, int HelpContext);
/// The help context of Object itself; 0 when it has none or Object is null.
int HelpContextOf(const QObject* Object);
/// The help context for F1 with Focus focused: that of Focus or of the nearest parent that has
/// one; Fallback when none has.
int HelpContextAt(const QWidget* Focus, int Fallback);
