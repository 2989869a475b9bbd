#!/usr/bin/env bash
# The results report against an office suite on the same rows, alternating runs on a machine left as quiet
# as can be: each road of bench_report alone in its own process, then LibreOffice converting a CSV of the
# same rows to PDF. Prints wall time, CPU time (user+sys) and peak memory of every run, the medians, and the
# ratio of Print to the office suite.
# Usage: scripts/bench_report_vs_office.sh [rows] [rounds]   (default 100000 rows, 3 rounds)
set -euo pipefail
cd "$(dirname "$0")/.."
rows=${1:-100000}
rounds=${2:-3}
bench=${BUILD_DIR:-build}/bench/bench_report
[[ -x $bench ]] || { echo "no $bench: build first" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen

# One run: its wall seconds, CPU seconds and peak memory in MB, appended to $work/<name>.
measure() {
    local name=$1
    shift
    /usr/bin/time -f '%e %U %S %M' -o "$work/time" "$@" >"$work/out" 2>&1 || {
        cat "$work/out" >&2
        exit 1
    }
    grep -E ' cpu .* peak ' "$work/out" | sed "s/^/  $name: /" || true
    awk -v n="$name" '{ printf "%-8s wall %6.2f s  cpu %6.2f s  peak %6.1f MB\n", n, $1, $2 + $3, $4 / 1024 }' \
        "$work/time"
    awk '{ print $1, $2 + $3, $4 / 1024 }' "$work/time" >>"$work/$name"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

office=$(command -v soffice || true)
# A profile of its own, so that a running office suite of the user's is not reused; made by a first
# conversion that is not counted (the first start also fills the suite's caches).
convert=("$office" -env:UserInstallation=file://"$work/profile" --headless --convert-to pdf --outdir "$work"
    "$work/rows.csv")
if [[ -n $office ]]; then
    BENCH_REPORT_OUT="$work/rows.csv" "$bench" "$rows" csv >/dev/null 2>&1
    "${convert[@]}" >/dev/null 2>&1
fi
for ((round = 1; round <= rounds; ++round)); do
    measure preview "$bench" "$rows" preview
    measure pdf "$bench" "$rows" pdf
    measure print "$bench" "$rows" print
    if [[ -n $office ]]; then
        measure office "${convert[@]}"
    fi
done

echo "medians of $rounds rounds, $rows rows (each bench run includes making its database):"
for name in preview pdf print office; do
    [[ -f $work/$name ]] || continue
    printf '%-8s wall %6.2f s  cpu %6.2f s  peak %6.1f MB\n' "$name" \
        "$(cut -d' ' -f1 "$work/$name" | median)" "$(cut -d' ' -f2 "$work/$name" | median)" \
        "$(cut -d' ' -f3 "$work/$name" | median)"
done
if [[ -n $office ]]; then
    awk 'FNR == 1 { f++ } { w[f] += $1; c[f] += $2; n[f]++ }
         END { printf "print / office: wall %.2f, cpu %.2f (target: at most 0.5)\n",
               w[1] / n[1] / (w[2] / n[2]), c[1] / n[1] / (c[2] / n[2]) }' "$work/print" "$work/office"
else
    echo "soffice is not installed (Debian: libreoffice-calc-nogui): no office suite to compare with"
fi
