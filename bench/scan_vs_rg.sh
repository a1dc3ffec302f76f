#!/usr/bin/env bash
# Times `todolist scan` over a large source tree against a ripgrep search for the same comment
# openers on the same tree, in one run, warm cache, and reports the peak memory of the scan on the
# whole tree and on a part of it (memory must not grow with the tree).
#
#   bench/scan_vs_rg.sh [TREE]      default TREE: Debian's fpc-source (a real Pascal tree)
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"

todo_ensure_packages "${TODO_PKGS_BUILD[@]}" ripgrep hyperfine time
tree=${1:-}
if [ -z "$tree" ]; then
    todo_ensure_packages fpc-source
    tree=$(dirname "$(find /usr/share/fpcsrc -maxdepth 2 -name rtl -type d | head -n 1)")
fi
todo_build "$TODO_ROOT/build/release" -DCMAKE_BUILD_TYPE=Release -DTODO_BUILD_TESTS=OFF
todolist="$TODO_ROOT/build/release/apps/todolist/todolist"

size=$(du -sb "$tree" | cut -f1)
files=$(find "$tree" -type f | wc -l)
echo "tree: $tree ($((size / 1048576)) MiB, $files files), $(nproc) cores"
rg_pattern='(//|\{|\(\*)\s*(TODO|DONE)\b'

# Warm the page cache.
cat $(find "$tree" -type f) >/dev/null 2>&1 || true

hyperfine --warmup 2 --runs 10 --style basic --ignore-failure \
    --export-markdown "$TODO_LOG_DIR/scan_vs_rg.md" \
    "$todolist scan $tree >/dev/null" \
    "rg -c -i '$rg_pattern' $tree >/dev/null"

echo "items found by todolist: $("$todolist" scan "$tree" 2>/dev/null | wc -l)"
echo "lines matched by rg:     $(rg -c -i --no-filename "$rg_pattern" "$tree" | paste -sd+ | bc)"

peak() { /usr/bin/time -f '%M' "$todolist" scan "$1" 2>&1 >/dev/null | tail -n 1; }
part=$(find "$tree" -mindepth 1 -maxdepth 1 -type d | head -n 1)
echo "peak memory, whole tree: $(peak "$tree") KiB"
echo "peak memory, $part ($(du -sm "$part" | cut -f1) MiB): $(peak "$part") KiB"
