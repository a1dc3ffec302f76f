#!/usr/bin/env bash
# The project commands at scale: `todolist list` on a generated walked project of FILES source
# files (default 20,000) in a git work tree with a .gitignore (a full load, walk and parse), and in
# `todolist watch` the time from one file's save to the redrawn list (only that file is parsed
# again), repeated SAVES times (default 20).
#
#   bench/project_list.sh [FILES] [SAVES]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"

todo_ensure_packages "${TODO_PKGS_BUILD[@]}" hyperfine git
files=${1:-20000}
saves=${2:-20}
todo_build "$TODO_ROOT/build/release" -DCMAKE_BUILD_TYPE=Release -DTODO_BUILD_TESTS=OFF
todolist="$TODO_ROOT/build/release/apps/todolist/todolist"

work=$(mktemp -d)
trap 'kill "${watch_pid:-0}" 2>/dev/null || true; rm -rf "$work"' EXIT
proj="$work/big"
mkdir -p "$proj"
# 100 folders of FILES/100 files, C and Pascal by turns, each with two to-do comments and some
# code; an ignored build folder with as many files that the walk must skip.
python3 - "$proj" "$files" <<'PY'
import os, sys
root, n = sys.argv[1], int(sys.argv[2])
per = max(1, n // 100)
for i in range(n):
    d = os.path.join(root, "src", f"mod{i // per:03d}")
    os.makedirs(d, exist_ok=True)
    if i % 2:
        body = (f"/* TODO {i % 6} -oAnn -cCore : item {i} */\nint f{i}(int x) {{\n"
                f"    // DONE -oBen: second {i}\n    return x + {i};\n}}\n" + "// filler\n" * 20)
        name = f"f{i}.c"
    else:
        body = (f"unit U{i};\ninterface\n{{ TODO {i % 6} -oCid -cUI : item {i} }}\n"
                f"implementation\n// TODO: second {i}\nend.\n" + "{ filler }\n" * 20)
        name = f"u{i}.pas"
    with open(os.path.join(d, name), "w") as f:
        f.write(body)
os.makedirs(os.path.join(root, "build"), exist_ok=True)
for i in range(per):
    with open(os.path.join(root, "build", f"gen{i}.c"), "w") as f:
        f.write("// TODO: generated\n")
with open(os.path.join(root, ".gitignore"), "w") as f:
    f.write("*.o\n/generated/\n")
PY
git -C "$proj" init -q
export TODOLIST_CONFIG="$work/todolist.ini" LC_ALL=C.UTF-8
echo "project: $files source files in $(find "$proj/src" -type d | wc -l) folders, $(nproc) cores"
cat $(find "$proj" -type f) >/dev/null 2>&1 || true

hyperfine --warmup 1 --runs 5 --style basic \
    --export-markdown "$TODO_LOG_DIR/project_list.md" \
    "$todolist --project $proj list >/dev/null"
/usr/bin/time -f "list: peak memory %M KiB" "$todolist" --project "$proj" list >/dev/null

# watch: save one file, wait for the list with its new text, SAVES times.
out="$work/watch.out"
(cd "$proj" && exec "$todolist" watch >"$out" 2>&1) &
watch_pid=$!
until grep -q "items pending" "$out" 2>/dev/null; do sleep 0.05; done
target=$(find "$proj/src" -name '*.c' -print -quit)
python3 - "$out" "$target" "$saves" <<'PY'
import os, sys, time
out, target, saves = sys.argv[1], sys.argv[2], int(sys.argv[3])
times = []
for k in range(saves):
    marker = f"saved {k} at {time.time_ns()}"
    size = os.path.getsize(out)
    start = time.perf_counter()
    with open(target, "a") as f:
        f.write(f"// TODO: {marker}\n")
    while True:
        with open(out, "rb") as f:
            f.seek(size)
            if marker.encode() in f.read():
                break
        time.sleep(0.001)
    times.append((time.perf_counter() - start) * 1000)
times.sort()
print(f"watch: save to redrawn list over {saves} saves: median {times[len(times)//2]:.0f} ms, "
      f"min {times[0]:.0f} ms, max {times[-1]:.0f} ms (includes the 100 ms debounce)")
PY
ps -o rss=,time= -p "$watch_pid" | awk '{print "watch: resident " $1 " KiB, CPU time so far " $2}'
sleep 2
ps -o time= -p "$watch_pid" | awk '{print "watch: CPU time after 2 s idle " $1}'
