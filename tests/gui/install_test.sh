#!/usr/bin/env bash
# Installs a build into a temporary prefix and checks that what a user gets works from there:
# both programs, the To-Do List package, the desktop entry and its icon, and that the installed
# desktop program starts and finds its libraries through its run path (not the build tree).
# Usage: install_test.sh BUILD_DIR [desktop-file-validate]
set -euo pipefail
build=$1
validate=${2:-}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix
fail=0
check() { # check DESCRIPTION COMMAND...
    if ! "${@:2}"; then
        echo "FAIL: $1" >&2
        fail=1
    fi
}

cmake --install "$build" --prefix "$prefix" >"$tmp/install.log" 2>&1 || {
    cat "$tmp/install.log" >&2
    echo "FAIL: cmake --install" >&2
    exit 1
}

libdir=$(find "$prefix" -maxdepth 1 -name 'lib*' -type d | head -n 1)
check "bin/todolist is installed" test -x "$prefix/bin/todolist"
check "bin/todolist-gui is installed" test -x "$prefix/bin/todolist-gui"
check "the To-Do List package is installed" test -f "$libdir/todolist/packages/todolist-todo.so"
desktop=$prefix/share/applications/todolist-gui.desktop
check "the desktop entry is installed" test -f "$desktop"
check "the icon is installed" test -f "$prefix/share/icons/hicolor/scalable/apps/todolist.svg"
if [ -f "$desktop" ]; then
    check "the desktop entry starts todolist-gui" grep -qx 'Exec=todolist-gui %f' "$desktop"
    check "the desktop entry names the installed icon" grep -qx 'Icon=todolist' "$desktop"
    if [ -n "$validate" ]; then
        check "desktop-file-validate accepts the entry" "$validate" "$desktop"
    fi
fi

# The installed programs must not reach into the build tree for their libraries: with the
# build tree moved out of sight of the loader's cache, they still start.
run_env=(env -u LD_LIBRARY_PATH QT_QPA_PLATFORM=offscreen HOME="$tmp/home"
         XDG_CONFIG_HOME="$tmp/config" XDG_CACHE_HOME="$tmp/cache" XDG_RUNTIME_DIR="$tmp/run")
mkdir -p -m 0700 "$tmp/run"
if [ -x "$prefix/bin/todolist-gui" ]; then
    check "the installed todolist-gui starts (--version)" "${run_env[@]}" "$prefix/bin/todolist-gui" --version
    if command -v ldd >/dev/null; then
        if ldd "$prefix/bin/todolist-gui" | grep -q -e "not found" -e "$build"; then
            ldd "$prefix/bin/todolist-gui" >&2
            echo "FAIL: the installed todolist-gui resolves libraries outside the prefix" >&2
            fail=1
        fi
    fi
fi
for package in "$libdir"/todolist/packages/*.so; do
    [ -f "$package" ] || continue
    if command -v ldd >/dev/null && ldd "$package" | grep -q -e "not found" -e "$build"; then
        ldd "$package" >&2
        echo "FAIL: the installed package $(basename "$package") resolves libraries outside the prefix" >&2
        fail=1
    fi
done
if [ -x "$prefix/bin/todolist" ]; then
    check "the installed todolist starts (--version)" "${run_env[@]}" "$prefix/bin/todolist" --version
fi
exit $fail
