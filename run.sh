#!/usr/bin/env bash
# Installs what is missing, builds in Release and runs todolist with the given arguments.
# Without arguments it shows the to-do list of the bundled Pascal example project.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/scripts/common.sh"

todo_ensure_packages "${TODO_PKGS_BUILD[@]}"
# The command line needs no widget library: the window and its tests are left out of this build.
todo_build "$TODO_ROOT/build/release" -DCMAKE_BUILD_TYPE=Release -DTODO_BUILD_TESTS=OFF -DTODO_BUILD_GUI=OFF

if [ $# -eq 0 ]; then
    cd "$TODO_ROOT"
    set -- --project examples/pascal-app/tasks.dpr list
fi
exec "$TODO_ROOT/build/release/apps/todolist/todolist" "$@"
