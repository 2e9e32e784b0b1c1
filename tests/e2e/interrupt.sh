#!/usr/bin/env bash
# A run stopped by SIGTERM or SIGINT during a long Fit or Minimize ends with
# the signal's number as exit status, the report written so far is complete
# up to its last line, and during Minimize the last temporary dump reads back
# through the object readers. With the second argument "effects" (a long
# run): a large JointEffects file interrupted by SIGTERM or SIGHUP while it
# is written is left as it was, or absent.
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

if [ "${2:-}" = effects ]; then
# A large JointEffects file, interrupted while it is written (its temporary
# file exists): the file keeps its old content, or is absent when there was
# none, and no temporary file is left behind. SIGTERM and SIGHUP alike.
effects_cmd() { # grid size
    printf 'X < x.mat\ny < y.mat\nXDescription < r.mat\nStochasticProcessModel < c.mat\n' > "effects$1.cmd"
    printf 'RegressionModel < b.mat\nYDescription < d.mat\nGridSize = %s\nJointEffects > joint.mat\nQuit\n' "$1" \
        >> "effects$1.cmd"
}
effects_cmd 20
effects_cmd 450
rm -f temp_*.mat
"$binary" effects20.cmd effects20.report || fail "JointEffects: a small grid fails"
[ "$(grep -c '^ *[0-9]' joint.mat)" = 400 ] || fail "JointEffects: the small grid does not give 400 rows"
cp joint.mat old_joint.mat
for signal in TERM HUP; do
    for start in old none; do
        if [ $start = old ]; then cp old_joint.mat joint.mat; else rm -f joint.mat; fi
        "$binary" effects450.cmd effects450.report &
        pid=$!
        hit=no
        for _ in $(seq 6000); do
            if compgen -G 'joint.mat.??????' > /dev/null; then hit=yes; break; fi
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.01
        done
        kill "-$signal" "$pid"
        wait "$pid"
        status=$?
        [ $hit = yes ] || fail "JointEffects ($signal): the write was not caught"
        expected=$(kill -l "$signal" >/dev/null && echo $(( $(kill -l "$signal") )))
        [ "$status" = "$expected" ] || fail "JointEffects ($signal): exit status $status, expected $expected"
        compgen -G 'joint.mat.*' > /dev/null && fail "JointEffects ($signal): a temporary file is left: $(ls joint.mat.*)"
        if [ $start = old ]; then
            cmp -s joint.mat old_joint.mat || fail "JointEffects ($signal): the old file was changed"
        else
            [ -e joint.mat ] && fail "JointEffects ($signal): a file appeared although the write was interrupted"
        fi
        tail -c 1 effects450.report | od -c | grep -q '\\n' || fail "JointEffects ($signal): the report ends mid-line"
    done
done
    echo "interrupted effects left no half-written file"
    exit 0
fi

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
