#!/usr/bin/env bash
# The helpers around the binary: matrix files written from Python that MORLA
# reads and writes back unchanged; the example simulators through the
# exchange file at points of known value; the batch job files of the staged
# example; the rmse script on a hand-computed case; the set-up's list of
# missing packages.
# Usage: helpers_test.sh path/to/morla     (exit 77: skipped)
set -u
morla=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
repo=$(cd "$(dirname "$0")/../.." && pwd)
if ! command -v python3 >/dev/null 2>&1; then
    echo "SKIPPED: python3 is missing (scripts/setup installs it)"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
fail=0
failed() { echo "FAILED: $*"; fail=1; }

# Round trip: Python writes (with an NA), MORLA reads and writes, Python reads.
python3 - "$repo/scripts" <<'PY' || failed "matrix file written from Python"
import sys
sys.path.insert(0, sys.argv[1])
import morlamat
morlamat.write_file("x.mat", "design", ["a", "b"], [[0.125, -3.5], [2.0, 1e-5], [7.25, 100.0]])
morlamat.write_file("y.mat", "outputs", ["f", "longer_output_name"], [[1.5, None], [2.5, 0.0], [-3.0, 4.0]])
PY
printf 'X < x.mat\ny < y.mat\nX > x2.mat\ny > y2.mat\nQuit\n' > cmd
"$morla" cmd >/dev/null 2>&1 || failed "MORLA reading the Python files"
python3 - "$repo/scripts" <<'PY' || failed "matrix files read back"
import sys
sys.path.insert(0, sys.argv[1])
import morlamat
x, y = morlamat.read_one("x2.mat"), morlamat.read_one("y2.mat")
assert x.names == ["a", "b"] and [x.column(0), x.column(1)] == [[0.125, 2.0, 7.25], [-3.5, 0.00001, 100.0]]
assert y.rows and [y.column(0), y.column(1)] == [[1.5, 2.5, -3.0], [None, 0.0, 4.0]], y.rows
PY

# Simulators: at a known minimiser, through an exchange file as MORLA writes it.
exchange() { # simulator expected point...
    local sim=$1 want=$2; shift 2
    printf '%d ' $# > ex.temp
    printf ' %s ' "$@" >> ex.temp
    "$sim" ex.temp > out.txt || { failed "$sim did not run"; return; }
    [ -s out.txt ] && failed "$sim printed on standard output"
    python3 -c "
import sys
t = open('ex.temp').read().split()
want = [float(w) for w in '$want'.split(',')]
got = [float(v) for v in t[1 + int(t[0]):]]
sys.exit(0 if len(got) == len(want) and all(abs(g - w) < 1e-5 for g, w in zip(got, want)) else 1)
" || failed "$sim at $*: $(cat ex.temp), expected $want"
}
exchange "$repo/examples/branin/branin" 0.397887 3.14159265 2.275
exchange "$repo/examples/branin/branin" 0.397887 9.42477796 2.475
exchange "$repo/examples/constrained/branin_disk" 0.397887,5.264244 3.14159265 2.275
exchange "$repo/examples/staged/hartmann3" -3.862782 0.114614 0.555649 0.852547
# borehole at the middle of every range, with l = ln(25050/0.1):
# 2 pi 89335 (1050 - 760) / (l (1 + 2 1400 89335 / (l 0.1^2 10950) + 89335/89.55))
exchange "$repo/examples/borehole/borehole" 70.872913 0.5 0.5 0.5 0.5 0.5 0.5 0.5 0.5

# Batches: the rows after the design become job files; their results come back.
python3 - "$repo/scripts" <<'PY'
import sys
sys.path.insert(0, sys.argv[1])
import morlamat
morlamat.write_file("design.mat", "d", ["x1", "x2"], [[0.1, 0.2], [0.3, 0.4]])
morlamat.write_file("responses.mat", "r", ["y"], [[1.0], [2.0]])
morlamat.write_file("proposals.mat", "p", ["x1", "x2"], [[0.1, 0.2], [0.3, 0.4], [0.5, 0.6], [0.7, 0.8]])
PY
jobs=$("$repo/examples/staged/batch" split proposals.mat design.mat jobs | tr '\n' ' ')
[ "$jobs" = "jobs/run-3.in jobs/run-4.in " ] || failed "batch split wrote: $jobs"
"$repo/examples/staged/batch" gather jobs design.mat responses.mat 2>/dev/null &&
    failed "batch gather accepted jobs without results"
echo " 30" >> jobs/run-3.in
echo " 40" >> jobs/run-4.in
"$repo/examples/staged/batch" gather jobs design.mat responses.mat || failed "batch gather"
python3 - "$repo/scripts" <<'PY' || failed "batch gather results"
import sys
sys.path.insert(0, sys.argv[1])
import morlamat
x, y = morlamat.read_one("design.mat"), morlamat.read_one("responses.mat")
assert x.column(1) == [0.2, 0.4, 0.6, 0.8] and y.column(0) == [1.0, 2.0, 30.0, 40.0], (x.rows, y.rows)
PY

# rmse: errors 3 and -4 give sqrt(12.5); true values 0 and 10 have sd 5.
python3 - "$repo/scripts" <<'PY'
import sys
sys.path.insert(0, sys.argv[1])
import morlamat
morlamat.write_file("pred.mat", "p", ["Pred.y", "SE.y"], [[3.0, 1.0], [6.0, 2.5]])
morlamat.write_file("true.mat", "t", ["y"], [[0.0], [10.0]])
PY
line=$("$repo/examples/borehole/rmse" pred.mat true.mat)
case $line in
*"RMSE    3.5355   sd of the response   5.0000   RMSE/sd  70.71%   within 2 SE  50.0%") ;;
*) failed "rmse printed: $line" ;;
esac

# The set-up names the Debian packages of every missing tool.
mkdir tools && ln -s "$(command -v grep)" tools/grep
missing=$(PATH=$work/tools "$BASH" -c ". '$repo/scripts/setup'; morla_missing_packages plots parallel plots")
[ "$missing" = "g++ cmake make gnuplot-nox python3 parallel" ] || failed "missing packages: $missing"

[ $fail = 0 ] && echo "helpers: all checks passed"
exit $fail
