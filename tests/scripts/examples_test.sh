#!/usr/bin/env bash
# Runs the minimisation examples with the MORLA under test and checks their
# results against the known minima: the Branin function (0.397887) and the
# Branin function in a disk (0.9021426, on the disk's edge); the staged design
# of the Hartmann function (-3.86278) for two stages when GNU parallel is there.
# Usage: examples_test.sh path/to/morla     (exit 77: skipped)
set -u
export MORLA=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
repo=$(cd "$(dirname "$0")/../.." && pwd)
if ! command -v python3 >/dev/null 2>&1; then
    echo "SKIPPED: python3 is missing (scripts/setup installs it)"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0

# result FOLDER MIN MAX RUNS: the best value (of the feasible runs, g <= 4.5,
# when there is a second column) lies in [MIN, MAX], reached in at most RUNS runs.
# MIN allows for the rounding of the responses file (0.9021426 may read 0.90214).
result() {
    (cd "$1" && python3 - "$repo/scripts" "$@" <<'PY')
import sys
sys.path.insert(0, sys.argv[1])
import morlamat
name, lo, hi, runs = sys.argv[2], float(sys.argv[3]), float(sys.argv[4]), int(sys.argv[5])
y = morlamat.read_one("final_responses.mat")
f = y.column(0)
g = y.column(1) if len(y.names) > 1 else [0.0] * len(f)
best = min(v for v, c in zip(f, g) if c <= 4.5)
print("%s: best %.6f after %d runs" % (name, best, len(f)))
sys.exit(0 if lo <= best <= hi and len(f) <= runs else 1)
PY
}

"$repo/examples/branin/run" "$work/branin" >/dev/null &&
    result "$work/branin" 0.397887 0.40 40 || { echo "FAILED: Branin example"; fail=1; }
"$repo/examples/constrained/run" "$work/constrained" >/dev/null &&
    result "$work/constrained" 0.90214 0.91 40 || { echo "FAILED: constrained example"; fail=1; }

if parallel --version 2>/dev/null | grep -q 'GNU parallel'; then
    if "$repo/examples/staged/run" "$work/staged" 2 >/dev/null; then
        (cd "$work/staged" && cp responses.mat final_responses.mat) && result "$work/staged" -3.86278 -3.4 23 ||
            { echo "FAILED: staged example"; fail=1; }
    else
        echo "FAILED: staged example did not run"; fail=1
    fi
else
    echo "staged example not run: GNU parallel is missing"
fi
exit $fail
