#!/bin/sh
# Times `linkvane-cli query big.html .A` against a Python script that lists
# the same links with lxml (lxml_links.py), run after run, on the 1.4 MB page
# with 10,000 links that bench_query writes. Prints the mean and the fastest
# run of each, and their ratios; on a busy machine the fastest runs are the
# fairer comparison.
# Usage: benchmarks/compare_lxml.sh [BUILD_DIR] [RUNS]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
runs=${2:-20}
# The interpreter of Debian's python3-lxml package.
python=${PYTHON:-/usr/bin/python3}
cmake --build "$build" --target bench_query linkvane-cli >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bin/bench_query" --write-page="$work/big.html"

now_ns() { date +%s%N; }
i=0
while [ "$i" -lt "$runs" ]; do
    t0=$(now_ns)
    "$build/bin/linkvane-cli" query "$work/big.html" .A >"$work/cli.txt"
    t1=$(now_ns)
    "$python" "$here/lxml_links.py" "$work/big.html" >"$work/py.txt"
    t2=$(now_ns)
    echo "$((t1 - t0)) $((t2 - t1))" >>"$work/times"
    i=$((i + 1))
done
echo "lines: linkvane-cli $(wc -l <"$work/cli.txt"), lxml $(wc -l <"$work/py.txt")"
awk '
    NR == 1 { minc = $1; minp = $2 }
    { sc += $1; sp += $2; if ($1 < minc) minc = $1; if ($2 < minp) minp = $2 }
    END {
        printf "linkvane-cli query: mean %.1f ms, fastest %.1f ms\n", sc / NR / 1e6, minc / 1e6
        printf "python3 + lxml:     mean %.1f ms, fastest %.1f ms\n", sp / NR / 1e6, minp / 1e6
        printf "ratio (cli / lxml): means %.2f, fastest %.2f\n", sc / sp, minc / minp
    }' "$work/times"
