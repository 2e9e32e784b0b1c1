#!/usr/bin/env bash
# A run stopped by SIGTERM or SIGINT during a long Fit or Minimize ends
# through the normal exit path: the exit status is the signal's number, the
# report written so far is complete, and during Minimize the last temporary
# dump reads back through the object readers.
set -u
binary=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
fail() { echo "FAIL: $*"; exit 1; }

# 100 runs of f(x1, x2) = (x1 - 0.3)^2 + (x2 - 0.6)^2 on a 10 x 10 grid.
awk 'BEGIN { print "Design"; print "-----"; print " Case x1 x2"; print "-----"
             for (i = 0; i < 100; i++) printf "%d %.6f %.6f\n", i + 1, (i % 10 + 0.5) / 10, (int(i / 10) + 0.5) / 10 }' > x.mat
awk 'NR > 4 { if (NR == 5) { print "y"; print "-----"; print " Case f"; print "-----" }
              printf "%d %.6f\n", $1, ($2 - 0.3) ^ 2 + ($3 - 0.6) ^ 2 }' x.mat > y.mat
printf 'r\n---\n Variable Min Max\n---\n x1 0 1\n x2 0 1\n' > r.mat
printf 'c\n---\n Variable Theta.f Alpha.f\n---\n x1 2.0 1.0\n x2 2.0 1.0\n' > c.mat
printf 'b\n---\n Variable Term Coefficients\n---\n f 1 0.2\n' > b.mat
printf 'd\n---\n Variable StochasticProcessVariance ErrorVariance\n---\n f 0.1 0\n' > d.mat
# The objective announces that it runs, then takes long.
printf '#!/bin/sh\necho $$ > started\nexec sleep 60\n' > slow.sh
chmod +x slow.sh

# Waits (at most 300 s) until the file exists, then sends the signal and
# returns the exit status of the run.
interrupt() { # pid file signal
    for _ in $(seq 3000); do
        [ -e "$2" ] && break
        kill -0 "$1" 2>/dev/null || break
        sleep 0.1
    done
    kill "-$3" "$1"
    wait "$1"
}

# Minimize, stopped while the objective runs after the first refit at 100 runs.
cat > min.cmd <<'CMD'
X < x.mat
y < y.mat
XDescription < r.mat
StochasticProcessModel < c.mat
RegressionModel < b.mat
YDescription < d.mat
Tries = 1
ObjectiveFunction = ./slow.sh
Minimize
Quit
CMD
"$binary" min.cmd min.report 2> min.err &
interrupt $! started TERM
status=$?
kill "$(cat started)" 2>/dev/null
[ "$status" = 15 ] || fail "Minimize: exit status $status, expected 15"
tail -c 1 min.report | od -c | grep -q '\\n' || fail "Minimize: the report does not end with a complete line"
grep -q "Info : Output of matrices in temp files" min.report || fail "Minimize: no temporary dump reported"
grep -q "Global Optimization EI Seconds" min.report || fail "Minimize: the report was not flushed"
cat > read.cmd <<'CMD'
X < temp_x.mat
y < temp_y.mat
StochasticProcessModel < temp_corpar.mat
RegressionModel < temp_beta.mat
YDescription < temp_ydescrip.mat
Database
Quit
CMD
"$binary" read.cmd > read.report 2>&1 || fail "the temporary dump does not read back"
grep -q -E "Sorry|ERROR|Unexpected" read.report && fail "the temporary dump reads back with complaints: $(cat read.report)"
grep -q "Number of Observations :                100" read.report || fail "the temporary dump lost runs"

# Fit with many tries, stopped by an interrupt from the keyboard.
printf 'X < x.mat\ny < y.mat\nTries = 500\nFit\nQuit\n' > fit.cmd
"$binary" fit.cmd fit.report &
pid=$!
sleep 2
kill -INT "$pid"
wait "$pid"
status=$?
[ "$status" = 2 ] || fail "Fit: exit status $status, expected 2 (SIGINT)"
grep -q "Fitting f ... " fit.report || fail "Fit: the report was not flushed"
tail -c 1 fit.report | od -c | grep -q '\\n' || fail "Fit: the report does not end with a complete line"
echo "interrupted runs ended cleanly"
