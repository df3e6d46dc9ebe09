#!/bin/sh
# Times `linkvane-cli query big.html .A` against a Python script that lists
# the same links with lxml (lxml_links.py), run after run, on the 1.4 MB page
# with 10,000 links that bench_query writes. Prints, for each, the mean and
# the fastest elapsed time, the processor time (user + system) of the
# fastest and of the median run, peak memory and page faults, and the
# ratios. On a busy machine the fastest runs and the processor times are the
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

# The runs are timed from Python: wait4 gives each run's own processor
# time, peak memory and page faults beside the elapsed time.
"$python" - "$runs" "$work" "$build/bin/linkvane-cli" "$python" "$here/lxml_links.py" <<'EOF'
import os
import statistics
import sys
import time

runs, work, cli, python, script = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5]
page = os.path.join(work, "big.html")


def run(argv, out):
    fd = os.open(out, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
    start = time.perf_counter()
    pid = os.fork()
    if pid == 0:
        os.dup2(fd, 1)
        os.execv(argv[0], argv)
    _, status, usage = os.wait4(pid, 0)
    elapsed = time.perf_counter() - start
    os.close(fd)
    if status != 0:
        sys.exit("%s failed" % argv[0])
    return elapsed, usage.ru_utime + usage.ru_stime, usage.ru_maxrss, usage.ru_minflt


tools = [
    ("linkvane-cli query", [cli, "query", page, ".A"], os.path.join(work, "cli.txt")),
    ("python3 + lxml", [python, script, page], os.path.join(work, "py.txt")),
]
results = [[] for _ in tools]
for _ in range(runs):
    for (_, argv, out), res in zip(tools, results):
        res.append(run(argv, out))


def lines(path):
    with open(path, "rb") as f:
        return f.read().count(b"\n")


print("lines: linkvane-cli %d, lxml %d" % (lines(tools[0][2]), lines(tools[1][2])))
summary = []
for (name, _, _), res in zip(tools, results):
    wall = [r[0] * 1e3 for r in res]
    cpu = [r[1] * 1e3 for r in res]
    s = (statistics.mean(wall), min(wall), min(cpu), statistics.median(cpu))
    summary.append(s)
    print("%-19s mean %.1f ms, fastest %.1f ms; cpu fastest %.1f ms, median %.1f ms; "
          "peak %d KB, %d page faults" % (name + ":", s[0], s[1], s[2], s[3],
                                          max(r[2] for r in res), min(r[3] for r in res)))
c, p = summary
print("ratio (cli / lxml): means %.2f, fastest %.2f; cpu fastest %.2f, cpu median %.2f"
      % (c[0] / p[0], c[1] / p[1], c[2] / p[2], c[3] / p[3]))
EOF
