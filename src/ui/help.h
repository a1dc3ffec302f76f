#pragma once

#include <QUrl>

/// Where the user guide's section for a help context is: the guide's HTML file with the anchor
/// "help-<context>". The guide is looked for in $TODOLIST_DOC_DIR, then beside the installed
/// program (<prefix>/share/doc/todolist), then in the source tree the program was built from.
/// An empty URL when no guide is found.
QUrl HelpUrl(int HelpContext);

/// Opens the user guide's section for HelpContext in the desktop's browser. False (nothing
/// opened) when there is no guide or the desktop could not open it. Main thread only.
bool ShowHelp(int HelpContext);
