#!/usr/bin/env bash
# MORLA's own time per pass of Minimize (the simulator excluded) on the Branin
# function as the design grows from 21 runs: a first process fits the model to a
# 21-run maximin Latin hypercube (seed 1) and saves it; a second reads it back and
# minimises with MinimumSample = MAXN, so the loop cannot stop before MAXN runs.
# The objective logs the wall clock at the start and end of every call and MORLA's
# CPU time at the start (from /proc): the pass at n runs lasts from the end of
# the call that brought the design to n runs (for n = 21, from the start of the
# second process) to the start of the next call.
# Two series: the default refit policy (a fit by maximum likelihood every pass)
# and MleFrequency = 1000 (a fit in the first pass only, the matrices rebuilt
# with those parameters afterwards); their difference is the refit cost.
#
# Usage: bench/minimize_timing.sh MORLA_BINARY [MAXN]   (MAXN default 60)
# Runs in a scratch directory (kept with KEEP=1). Builds nothing. Linux only
# (reads /proc). Prints one row per pass, then means over blocks of 5 passes.
set -u
[ $# -ge 1 ] || { sed -n '2,17p' "$0"; exit 1; }
MORLA=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
MAXN=${2:-60}
BENCH=$(cd "$(dirname "$0")" && pwd)
REPO=$(dirname "$BENCH")
. "$BENCH/minimize_cases.sh"

scratch=$(mktemp -d)
if [ "${KEEP:-0}" = 1 ]; then echo "scratch: $scratch"; else trap 'rm -rf "$scratch"' EXIT; fi

# series NAME OPTION_LINE: runs one series in $scratch/NAME and writes
# $scratch/NAME/passes (n, wall seconds, CPU seconds of each pass).
series() {
    local dir="$scratch/$1"
    make_case branin 1 21 "$dir" || exit 1
    cat > "$dir/fit_cmd" <<CMD
X < design.mat
y < responses.mat
XDescription < ranges.mat
Fit
StochasticProcessModel > corpar.mat
RegressionModel > beta.mat
Quit
CMD
    cat > "$dir/cmd" <<CMD
X < design.mat
y < responses.mat
XDescription < ranges.mat
StochasticProcessModel < corpar.mat
RegressionModel < beta.mat
ObjectiveFunction = ./obj.sh
MinimumSample = $MAXN
StoppingAbsoluteTolerance = 1e30
$2
Minimize
Quit
CMD
    ( cd "$dir" && "$MORLA" fit_cmd fit_report > /dev/null 2>&1 ) || { echo "fit failed in $dir" >&2; exit 1; }
    local t0 status
    t0=$(date +%s.%N)
    ( cd "$dir" && timeout 3600 "$MORLA" cmd report > stdout 2> stderr ); status=$?
    [ "$status" -eq 0 ] || echo "series $1: MORLA ended with status $status (see $dir/stderr)" >&2
    awk -v t0="$t0" -v maxn="$MAXN" '
        { n = 21 + NR - 1
          wall = $1 - (NR == 1 ? t0 : end); cpu = $3 - (NR == 1 ? 0 : cpu0)
          end = $2; cpu0 = $3
          if (n <= maxn) printf "%d %.3f %.2f\n", n, wall, cpu }' "$dir/calls.log" > "$dir/passes"
}

series refit ""
series norefit "MleFrequency = 1000"

echo "Per pass (seconds; wall and MORLA's CPU; the pass at 21 runs includes start-up and reading the files):"
printf '| %4s | %13s | %12s | %15s | %14s | %10s |\n' n "wall, refits" "CPU, refits" "wall, no refit" "CPU, no refit" "refit CPU"
echo "|------|---------------|--------------|-----------------|----------------|------------|"
join "$scratch/refit/passes" "$scratch/norefit/passes" |
    awk '{ printf "| %4d | %13.3f | %12.2f | %15.3f | %14.2f | %10.2f |\n", $1, $2, $3, $4, $5, $3 - $5 }'
echo
echo "Means over blocks of 5 passes:"
printf '| %7s | %13s | %12s | %15s | %14s | %10s |\n' n "wall, refits" "CPU, refits" "wall, no refit" "CPU, no refit" "refit CPU"
echo "|---------|---------------|--------------|-----------------|----------------|------------|"
join "$scratch/refit/passes" "$scratch/norefit/passes" |
    awk 'function flush() { if (k) printf "| %3d-%-3d | %13.3f | %12.2f | %15.3f | %14.2f | %10.2f |\n",
                               lo, hi, w1 / k, c1 / k, w2 / k, c2 / k, (c1 - c2) / k
                            k = w1 = c1 = w2 = c2 = 0 }
         { b = int(($1 - 21) / 5); if (k && b != blk) flush()
           if (!k) lo = $1; blk = b; hi = $1; k++; w1 += $2; c1 += $3; w2 += $4; c2 += $5 }
         END { flush() }'
