#!/usr/bin/env bash
# Times korvel-tool list with each sort key against ls -f, ls and ls -l on the same folder of
# 50,000 files, in one hyperfine run, and prints each time as a ratio to ls -l and ls (below 1 =
# faster), wall-clock and CPU time (the CPU ratio is the steadier one on a busy machine).
# Needs: hyperfine, python3, and a Release build (KORVEL_TOOL, default build/tools/korvel-tool).
# The locale is BENCH_LOCALE (default C.UTF-8) for every command, so ls and Korvel sort alike.
set -euo pipefail
cd "$(dirname "$0")/../.."
tool=${KORVEL_TOOL:-./build/tools/korvel-tool}
python=${PYTHON:-/usr/bin/python3}
out=bench/out/list
dir=$out/folder
count=${BENCH_COUNT:-50000}
mkdir -p "$out"
if [ ! -f "$out/made-$count" ]; then
  rm -rf "$dir" "$out"/made-*
  "$python" bench/list/make_folder.py "$dir" "$count"
  touch "$out/made-$count"
fi
export LC_ALL=${BENCH_LOCALE:-C.UTF-8}

# Every command prints its listing to /dev/null (hyperfine's default), as a script's pipe would.
hyperfine -N --warmup 3 --runs ${BENCH_RUNS:-15} --export-json "$out/times.json" \
  -n korvel-name "$tool list $dir" \
  -n korvel-size "$tool list --sort size $dir" \
  -n korvel-date "$tool list --sort date $dir" \
  -n korvel-ext "$tool list --sort ext $dir" \
  -n korvel-none "$tool list --sort none $dir" \
  -n korvel-all-name "$tool list --filter *.* $dir" \
  -n ls-f "ls -f $dir" \
  -n ls "ls $dir" \
  -n ls-l "ls -l $dir" > "$out/hyperfine.txt"

listed=$("$tool" list "$dir" | wc -l)
"$python" - "$out/times.json" "$listed" "$count" "$LC_ALL" <<'PY'
import json, sys
res = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
wall = {k: r["mean"] for k, r in res.items()}
cpu = {k: r["user"] + r["system"] for k, r in res.items()}
print("folder of %s files, %s listed by the default filter, locale %s" % (sys.argv[3], sys.argv[2], sys.argv[4]))
print("%-16s %9s %9s %9s   %s" % ("command", "wall ms", "/ ls -l", "/ ls", "CPU (user+sys) / ls -l"))
for name in ["korvel-name", "korvel-size", "korvel-date", "korvel-ext", "korvel-none", "korvel-all-name",
             "ls-f", "ls", "ls-l"]:
    print("%-16s %9.1f %9.2f %9.2f   %.2f" % (name, wall[name] * 1000, wall[name] / wall["ls-l"],
                                            wall[name] / wall["ls"], cpu[name] / cpu["ls-l"]))
PY
