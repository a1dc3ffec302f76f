#!/usr/bin/env bash
# Installs what is missing, builds in Release and runs todolist with the given arguments.
# Without arguments it shows the to-do list of the bundled Pascal example project.
# `./run.sh --gui [PROJECT]` builds the desktop program instead (in its own build folder, with
# the window but without tests) and opens PROJECT in it, by default the Pascal example.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/scripts/common.sh"

todo_ensure_packages "${TODO_PKGS_BUILD[@]}"

if [ "${1:-}" = "--gui" ]; then
    shift
    todo_build "$TODO_ROOT/build/release-gui" -DCMAKE_BUILD_TYPE=Release -DTODO_BUILD_TESTS=OFF -DTODO_BUILD_GUI=ON
    if [ $# -eq 0 ]; then
        set -- "$TODO_ROOT/examples/pascal-app/tasks.dpr"
    fi
    exec "$TODO_ROOT/build/release-gui/bin/todolist-gui" "$@"
fi

# The command line needs no widget library: the window and its tests are left out of this build.
todo_build "$TODO_ROOT/build/release" -DCMAKE_BUILD_TYPE=Release -DTODO_BUILD_TESTS=OFF -DTODO_BUILD_GUI=OFF

if [ $# -eq 0 ]; then
    cd "$TODO_ROOT"
    set -- --project examples/pascal-app/tasks.dpr list
fi
exec "$TODO_ROOT/build/release/apps/todolist/todolist" "$@"
