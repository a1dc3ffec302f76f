# Shared set-up for run.sh and test.sh: install what is missing, configure and build quietly.
# Sourced, not run. Everything prints only when it has something to do or something failed.

TODO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
TODO_LOG_DIR="$TODO_ROOT/build/logs"
mkdir -p "$TODO_LOG_DIR"

# Debian packages by purpose. Keep these lists the one place that says what the project needs.
TODO_PKGS_BUILD=(g++ cmake ninja-build ccache pkg-config libcli11-dev nlohmann-json3-dev libgit2-dev qt6-base-dev)
TODO_PKGS_TEST=(libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev chromium fonts-dejavu-core desktop-file-utils)

todo_missing_packages() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    echo "${missing[@]}"
}

# todo_ensure_packages PKG... : apt-get install the ones that are not installed yet.
todo_ensure_packages() {
    local missing
    missing=$(todo_missing_packages "$@")
    [ -z "$missing" ] && return 0
    echo "installing: $missing" >&2
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    export DEBIAN_FRONTEND=noninteractive
    if ! $sudo apt-get install -y -qq $missing >"$TODO_LOG_DIR/apt.log" 2>&1; then
        $sudo apt-get update -qq >>"$TODO_LOG_DIR/apt.log" 2>&1
        $sudo apt-get install -y -qq $missing >>"$TODO_LOG_DIR/apt.log" 2>&1 || {
            cat "$TODO_LOG_DIR/apt.log" >&2
            echo "error: could not install: $missing" >&2
            return 1
        }
    fi
}

# todo_run_logged NAME CMD... : run CMD with its output in a log; show the log only on failure.
todo_run_logged() {
    local name=$1
    shift
    if ! "$@" >"$TODO_LOG_DIR/$name.log" 2>&1; then
        tail -n 80 "$TODO_LOG_DIR/$name.log" >&2
        echo "error: $name failed (full log: $TODO_LOG_DIR/$name.log)" >&2
        return 1
    fi
}

# todo_build DIR [CMAKE ARGS...] : configure DIR once (again when args change), then build it.
todo_build() {
    local dir=$1
    shift
    local args="$*"
    local launcher=()
    command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    if [ ! -f "$dir/build.ninja" ] || [ "$(cat "$dir/.todo-args" 2>/dev/null)" != "$args" ]; then
        todo_run_logged "configure-$(basename "$dir")" \
            cmake -S "$TODO_ROOT" -B "$dir" -G Ninja "${launcher[@]}" "$@" || return 1
        echo "$args" >"$dir/.todo-args"
    fi
    todo_run_logged "build-$(basename "$dir")" cmake --build "$dir" -j "$(nproc)"
}
