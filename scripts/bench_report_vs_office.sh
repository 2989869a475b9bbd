#!/usr/bin/env bash
# The results report against an office suite on the same rows, alternating runs on a machine left as quiet
# as can be: each road of bench_report alone in its own process, the teacher's session (preview, PDF,
# workbook, Print in one process), then LibreOffice converting a CSV of the same rows to PDF. Prints wall
# time, CPU time (user+sys) and peak memory of every run, the medians, each session step against the same
# step alone (target: at most 1.2), and Print and the PDF save of the session against the office suite
# (targets: at most 0.5 and 0.3).
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
    grep -E ' cpu .* peak |per page' "$work/out" | sed "s/^/  $name: /" || true
    # Each step's wall and CPU milliseconds, appended to $work/<name>.<step>.
    local step
    for step in "${!steps[@]}"; do
        grep -F "${steps[$step]}" "$work/out" | awk '{ for (i = 1; i <= NF; ++i) if ($i == "cpu") print $(i - 2), $(i + 1) }' \
            >>"$work/$name.$step" || true
    done
    awk -v n="$name" '{ printf "%-8s wall %6.2f s  cpu %6.2f s  peak %6.1f MB\n", n, $1, $2 + $3, $4 / 1024 }' \
        "$work/time"
    awk '{ print $1, $2 + $3, $4 / 1024 }' "$work/time" >>"$work/$name"
}

declare -A steps=([preview]="last page produced" [pdf]="PDF export" [xlsx]="rows saved as a workbook"
    [print]="print to a PDF file")

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
    measure xlsx "$bench" "$rows" xlsx
    measure print "$bench" "$rows" print
    measure session "$bench" "$rows" session
    if [[ -n $office ]]; then
        measure office "${convert[@]}"
    fi
done

echo "medians of $rounds rounds, $rows rows (each bench run includes making its database):"
for name in preview pdf xlsx print session office; do
    [[ -f $work/$name ]] || continue
    printf '%-8s wall %6.2f s  cpu %6.2f s  peak %6.1f MB\n' "$name" \
        "$(cut -d' ' -f1 "$work/$name" | median)" "$(cut -d' ' -f2 "$work/$name" | median)" \
        "$(cut -d' ' -f3 "$work/$name" | median)"
done
echo "each step (its wall and CPU time as bench_report gives them), alone and in the session:"
for step in preview pdf xlsx print; do
    [[ -f $work/$step.$step && -f $work/session.$step ]] || continue
    alone=$(cut -d' ' -f1 "$work/$step.$step" | median)
    within=$(cut -d' ' -f1 "$work/session.$step" | median)
    printf '%-8s alone %8.0f ms (cpu %6.0f)  session %8.0f ms (cpu %6.0f)  session / alone %.2f (target: at most 1.2)\n' \
        "$step" "$alone" "$(cut -d' ' -f2 "$work/$step.$step" | median)" "$within" \
        "$(cut -d' ' -f2 "$work/session.$step" | median)" "$(awk -v a="$alone" -v s="$within" 'BEGIN { print s / a }')"
done
if [[ -n $office ]]; then
    office_ms=$(cut -d' ' -f1 "$work/office" | median | awk '{ print $1 * 1000 }')
    for step in print pdf; do
        limit=$([[ $step == print ]] && echo 0.5 || echo 0.3)
        printf 'session %s / office: %.2f (target: at most %s)\n' "$step" \
            "$(awk -v s="$(cut -d' ' -f1 "$work/session.$step" | median)" -v o="$office_ms" 'BEGIN { print s / o }')" "$limit"
    done
fi
if [[ -n $office ]]; then
    awk 'FNR == 1 { f++ } { w[f] += $1; c[f] += $2; n[f]++ }
         END { printf "print / office: wall %.2f, cpu %.2f (target: at most 0.5)\n",
               w[1] / n[1] / (w[2] / n[2]), c[1] / n[1] / (c[2] / n[2]) }' "$work/print" "$work/office"
else
    echo "soffice is not installed (Debian: libreoffice-calc-nogui): no office suite to compare with"
fi
