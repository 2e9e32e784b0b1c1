#!/usr/bin/env bash
# MORLA on a real Slurm: a single-node cluster (munge, slurmctld, slurmd from
# Debian's packages, installed through scripts/setup) with everything in a
# scratch folder runs
#   1. the staged example's Slurm array variant: two stages whose batches of 4
#      runs are array jobs ("sbatch --wait --array"), and
#   2. a Minimize whose simulator runs as Slurm jobs through the polled command
#      form (SystemCommandObjectiveFunction = a script that submits with sbatch
#      and returns at once; MORLA polls morla.temp every 10 seconds).
# The daemons are stopped by their process ids. Exit status 77 (skipped) only
# where the daemons cannot start or the packages cannot be installed.
#   tests/slurm/slurm_test.sh MORLA
set -uo pipefail
morla=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
repo=$(cd "$(dirname "$0")/../.." && pwd)
cd "$repo"
. scripts/setup
if ! morla_install slurm python; then
    echo "SKIPPED: the Slurm packages (munge, slurmctld, slurmd, slurm-client) are missing"
    exit 77
fi
. tests/slurm/cluster.sh
scratch=$(mktemp -d "${TMPDIR:-/tmp}/morla-slurm.XXXXXX")
trap 'slurm_stop; rm -rf "$scratch"' EXIT
trap 'exit 1' TERM INT  # a timeout or ^C also stops the daemons
if ! slurm_start "$scratch/cluster"; then
    echo "SKIPPED: the Slurm daemons cannot start here (logs above)"
    exit 77
fi
fail() { echo "FAILED: $*"; exit 1; }

# 1. The staged example, its batches as Slurm array jobs.
staged=$scratch/staged
mkdir -p "$staged"
cp examples/staged/{hartmann3,stage.cmd,stages,slurm_job,design.mat,responses.mat,ranges.mat} "$staged/"
# The README's change: the commented Slurm line replaces the GNU parallel one.
sed -i -e 's/^run_batch() { parallel/# &/' -e 's/^# \(run_batch() { sbatch\)/\1/' "$staged/stages"
grep -q '^run_batch() { sbatch --wait --array' "$staged/stages" || fail "the Slurm line of stages not found"
(cd "$staged" && MORLA_HOME=$repo MORLA=$morla timeout 600 ./stages 2) > "$scratch/staged.out" 2>&1 ||
    { cat "$scratch/staged.out"; fail "the staged example on Slurm"; }
cat "$scratch/staged.out"
grep -q '^stage 2: 23 runs, best value' "$scratch/staged.out" || fail "stage 2 did not report 23 runs"
# Every job file was run by an array task (one slurm-JOB_TASK.out each) and
# holds the Hartmann function at its point, computed here independently.
tasks=$(ls "$staged"/slurm-*_*.out 2>/dev/null | wc -l)
[ "$tasks" = 8 ] || fail "expected 8 array tasks, found $tasks output files"
/usr/bin/python3 - "$staged" <<'PY' || fail "the job files do not hold the function's values"
import glob, math, sys
alpha = [1.0, 1.2, 3.0, 3.2]
a = [[3.0, 10, 30], [0.1, 10, 35], [3.0, 10, 30], [0.1, 10, 35]]
p = [[0.3689, 0.1170, 0.2673], [0.4699, 0.4387, 0.7470],
     [0.1091, 0.8732, 0.5547], [0.0381, 0.5743, 0.8828]]
files = glob.glob(sys.argv[1] + "/jobs/stage*/run-*.in")
assert len(files) == 8, files
for path in files:
    t = open(path).read().split()
    x = [float(v) for v in t[1:4]]
    f = -sum(alpha[i] * math.exp(-sum(a[i][j] * (x[j] - p[i][j]) ** 2 for j in range(3))) for i in range(4))
    assert len(t) == 5 and abs(float(t[4]) - f) < 1e-9, (path, t, f)
PY

# 2. Minimize with the simulator as Slurm jobs, polled through morla.temp.
mini=$scratch/minimize
mkdir -p "$mini"
cat > "$mini/simulator" <<'PY'
#!/usr/bin/env python3
"""(x - 0.3)^2 + 1 appended to the exchange file."""
import sys
tokens = open(sys.argv[1]).read().split()
with open(sys.argv[1], "a") as f:
    f.write(" %r\n" % ((float(tokens[1]) - 0.3) ** 2 + 1))
PY
cat > "$mini/submit" <<'SH'
#!/bin/sh
# Submits one simulator run and returns at once; the job appends the value.
sbatch --job-name=morla-sim --output=/dev/null --wrap "./simulator morla.temp" >> submitted.txt
SH
chmod +x "$mini/simulator" "$mini/submit"
printf 'Design\n---------\n Case x\n---------\n 1 0\n 2 0.45\n 3 1\n' > "$mini/x.mat"
printf 'Values\n---------\n Case y\n---------\n 1 1.09\n 2 1.0225\n 3 1.49\n' > "$mini/y.mat"
printf 'Range\n---------\n Variable Min Max\n---------\n x 0 1\n' > "$mini/ranges.mat"
cat > "$mini/minimize.cmd" <<'CMD'
X < x.mat
y < y.mat
XDescription < ranges.mat
MaximumSample = 5
SystemCommandObjectiveFunction = ./submit
Minimize
X > final_x.mat
y > final_y.mat
Quit
CMD
(cd "$mini" && timeout 600 "$morla" minimize.cmd report.txt) || { cat "$mini/report.txt"; fail "Minimize on Slurm"; }
cat "$mini/report.txt"
grep -q 'Execution of System Command : [0-9]* cycles of 10 real time seconds' "$mini/report.txt" ||
    fail "no polled run in the report"
grep -q 'MaximumSample reached : n=5' "$mini/report.txt" || fail "Minimize did not stop at 5 runs"
[ "$(grep -c '^Submitted batch job' "$mini/submitted.txt")" = 2 ] || fail "expected 2 submitted jobs"
/usr/bin/python3 - "$mini" "$repo/python" <<'PY' || fail "the runs do not hold the simulator's values"
import sys
sys.path.insert(0, sys.argv[2])
import morla
x = morla.read_matrix(sys.argv[1] + "/final_x.mat").data[:, 0]
y = morla.read_matrix(sys.argv[1] + "/final_y.mat").data[:, 0]
assert len(x) == len(y) == 5, (x, y)
# The files carry five decimals of x and y.
for xi, yi in zip(x[3:], y[3:]):
    assert abs(yi - ((xi - 0.3) ** 2 + 1)) < 3e-5, (xi, yi)
PY
echo "Slurm: the staged example's array jobs and a polled Minimize ran"
