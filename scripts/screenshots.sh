#!/usr/bin/env bash
# Renders the README's screenshots into docs/images, offscreen: the To-Do window and its dialogs
# on their own, and the desktop program (app.png) on the Pascal example with a unit open.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$TODO_ROOT"
todo_ensure_packages "${TODO_PKGS_BUILD[@]}" "${TODO_PKGS_TEST[@]}"
todo_build build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTODO_WARNINGS_AS_ERRORS=ON -DTODO_BUILD_BENCH=ON
QT_QPA_PLATFORM=offscreen build/test/tests/ui/ui_screenshots docs/images
build/test/tests/gui/gui_screenshot docs/images
ls docs/images
