#!/usr/bin/env bash
# Start-up benchmark, run on demand: the program's sign-in window against a plain Qt window of the same size,
# launched alternately on an Xvfb of its own, and the time from a click on a study-page link to the page.
# Usage: bench/bench_startup.sh [RUNS (default 7)] [DISPLAY NUMBER (default 17)]; build the program first.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
runs=${1:-7}
display=${2:-17}
program=$PWD/$build/program/Музыка
for f in "$program" "$build/bench/plain_window" "$build/bench/startup_driver" "$build/program/make_sample_db"; do
  [ -x "$f" ] || { echo "missing $f: build the program first (scripts/build.sh)" >&2; exit 1; }
done

work=$(mktemp -d)
xvfb_pid=
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# The database is found in the working folder: the sample one with a pupil the driver can type in Latin
# letters (surname and password "bench").
"$build/program/make_sample_db" "$work/Primer.mdb" >/dev/null
sqlite3 "$work/Primer.mdb" \
  "INSERT INTO \"Ученики\" (\"Имя\", \"Фамилия\", \"Отчество\", \"id_класса\", \"ключ\", \"права\")
   VALUES ('bench', 'bench', '', 1, 'bench', 0);"

# A black root, so that a window counts as on screen once its pixels have left black.
Xvfb ":$display" -screen 0 1600x1000x24 -br -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do
  [ -e "/tmp/.X11-unix/X$display" ] && break
  sleep 0.1
done
export DISPLAY=":$display" LC_ALL=C.UTF-8
unset QT_QPA_PLATFORM
${DRIVER_PREFIX:-} "$build/bench/startup_driver" "$program" "$PWD/$build/bench/plain_window" "$work" "$runs"
