#!/usr/bin/env bash
# Wall and CPU time of the CrossValidate command through the binary on a
# generated design: RUNS seeded uniform runs in 8 inputs, a smooth response
# with a little noise, fixed correlation parameters (theta 0.5, alpha 0.5 in
# every input, or THETA and ALPHA from the environment), mean 0 and
# variance 1. The model is read from files, so no
# fit runs; the command cross-validates the model's own runs into cv.mat.
#
# Usage: bench/crossval_timing.sh MORLA_BINARY [RUNS [METHOD]]
#   RUNS    default 2000
#   METHOD  the CrossValidateMethod: auto (default), direct or closed
# Runs in a scratch directory (kept with KEEP=1). Builds nothing.
set -u
[ $# -ge 1 ] || { sed -n '2,12p' "$0"; exit 1; }
MORLA=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
RUNS=${2:-2000}
METHOD=${3:-auto}
work=$(mktemp -d)
[ "${KEEP:-0}" = 1 ] || trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

awk -v n="$RUNS" -v theta="${THETA:-0.5}" -v alpha="${ALPHA:-0.5}" 'BEGIN {
    srand(19);
    d = 8;
    print "Design" > "x.mat"; print "----" > "x.mat";
    printf " Case" > "x.mat"; for (k = 1; k <= d; k++) printf " x%d", k > "x.mat"; print "" > "x.mat";
    print "----" > "x.mat";
    print "Responses" > "y.mat"; print "----" > "y.mat"; print " Case y" > "y.mat"; print "----" > "y.mat";
    for (i = 1; i <= n; i++) {
        printf "%d", i > "x.mat"; s = 0;
        for (k = 1; k <= d; k++) { x = rand(); printf " %.6f", x > "x.mat"; s += k * x * x; }
        print "" > "x.mat";
        printf "%d %.6f\n", i, s + 0.1 * rand() > "y.mat";
    }
    print "Correlation parameters" > "corpar.mat"; print "----" > "corpar.mat";
    print " Variable Theta.y Alpha.y" > "corpar.mat"; print "----" > "corpar.mat";
    for (k = 1; k <= d; k++) printf " x%d %s %s\n", k, theta, alpha > "corpar.mat";
    print "Regression" > "regression.mat"; print "----" > "regression.mat";
    print " Variable Term Coefficients" > "regression.mat"; print "----" > "regression.mat";
    print " y 1 0.0" > "regression.mat";
    print "Variance" > "ydescrip.mat"; print "----" > "ydescrip.mat";
    print " Variable StochasticProcessVariance" > "ydescrip.mat"; print "----" > "ydescrip.mat";
    print " y 1.0" > "ydescrip.mat";
}'

cat > cmd <<EOF
X < x.mat
y < y.mat
StochasticProcessModel < corpar.mat
RegressionModel < regression.mat
YDescription < ydescrip.mat
CrossValidateMethod = $METHOD
CrossValidate > cv.mat
Quit
EOF

start=$(date +%s.%N)
"$MORLA" cmd > report.txt 2>&1
status=$?
end=$(date +%s.%N)
grep "^Info\|WARNING\|ERROR\|Program Seconds" report.txt | sort | uniq -c | head -20
echo "runs $RUNS, method $METHOD: exit status $status, wall time $(echo "$end - $start" | bc) s," \
     "rows written $(grep -c '^ *[0-9]' cv.mat)"
