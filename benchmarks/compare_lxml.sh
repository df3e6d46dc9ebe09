#!/bin/sh
# Times `linkvane-cli query big.html .A` against a Python script that lists
# the same links with lxml, side by side, on the 1.4 MB page with 10,000
# links that bench_query writes. Usage: benchmarks/compare_lxml.sh [BUILD_DIR] [RUNS]
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
cli_ns=0
py_ns=0
i=0
while [ "$i" -lt "$runs" ]; do
    t0=$(now_ns)
    "$build/bin/linkvane-cli" query "$work/big.html" .A >"$work/cli.txt"
    t1=$(now_ns)
    "$python" "$here/lxml_links.py" "$work/big.html" >"$work/py.txt"
    t2=$(now_ns)
    cli_ns=$((cli_ns + t1 - t0))
    py_ns=$((py_ns + t2 - t1))
    i=$((i + 1))
done
echo "lines: linkvane-cli $(wc -l <"$work/cli.txt"), lxml $(wc -l <"$work/py.txt")"
echo "linkvane-cli query: $((cli_ns / runs / 1000000)) ms per run"
echo "python3 + lxml:     $((py_ns / runs / 1000000)) ms per run"
awk -v a="$cli_ns" -v b="$py_ns" 'BEGIN { printf "ratio (cli / lxml): %.2f\n", a / b }'
