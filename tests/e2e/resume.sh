#!/usr/bin/env bash
# A Minimize run killed with SIGKILL (nothing of MORLA runs after it) loses no
# simulator run: minimize_x.mat and minimize_y.mat hold every run made before
# the kill, with the points and values the simulator saw, and a second MORLA
# resumes the minimisation from them.
set -u
binary=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
python=/usr/bin/python3
[ -x "$python" ] || { echo "no $python"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
fail() { echo "FAIL: $*"; exit 1; }

# The Branin function on [-5, 10] x [0, 15], 10 runs spread over the box.
branin='function f(a, b) { pi = atan2(0, -1)
                        return (b - 5.1 / (4 * pi ^ 2) * a ^ 2 + 5 / pi * a - 6) ^ 2 + 10 * (1 - 1 / (8 * pi)) * cos(a) + 10 }'
awk 'BEGIN { print "Design"; print "-----"; print " Case x1 x2"; print "-----"
             for (i = 0; i < 10; i++) printf "%d %.6f %.6f\n", i + 1, -5 + 1.5 * (i + 0.5), 1.5 * ((i * 3) % 10 + 0.5) }' > x.mat
awk "$branin"' NR > 4 { if (NR == 5) { print "y"; print "-----"; print " Case f"; print "-----" }
                        printf "%d %.6f\n", $1, f($2, $3) }' x.mat > y.mat
printf 'r\n---\n Variable Min Max\n---\n x1 -5 10\n x2 0 15\n' > r.mat
# The simulator logs every point it reads and the value it returns, in full
# precision; its fourth run announces itself and never ends.
cat > sim.sh <<SIM
#!/bin/sh
branin='$branin'
SIM
cat >> sim.sh <<'SIM'
calls=$(( $(cat calls 2>/dev/null || echo 0) + 1 ))
echo $calls > calls
if [ "$calls" = 4 ] && [ ! -e resumed ]; then
    echo $$ > started
    exec sleep 60
fi
awk "$branin"' { v = f($2, $3)
                  printf "%.17g %.17g %.17g\n", $2, $3, v >> "sim.log"
                  printf "%s %.17g\n", $0, v }' "$1" > "$1.new" && mv "$1.new" "$1"
SIM
chmod +x sim.sh

cat > min.cmd <<'CMD'
X < x.mat
y < y.mat
XDescription < r.mat
Tries = 1
ObjectiveFunction = ./sim.sh
Minimize
Quit
CMD
"$binary" min.cmd min.report 2> min.err &
pid=$!
for _ in $(seq 3000); do
    [ -e started ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
[ -e started ] || fail "the fourth simulator run never started: $(tail -5 min.report)"
kill -KILL "$pid"
{ wait "$pid"; } 2>/dev/null
status=$?
kill "$(cat started)" 2>/dev/null
[ "$status" = 137 ] || fail "exit status $status after SIGKILL, expected 137"

# Every number of the saved runs is the simulator's own, to every digit shown.
"$python" - <<'PY' || fail "the saved runs differ from the simulator's"
import decimal, sys
def rows(name):
    lines = open(name).read().splitlines()
    start = [i for i, l in enumerate(lines) if l.startswith("---")][1] + 1
    return [l.split()[1:] for l in lines[start:] if l.strip()]
def agrees(text, value):
    # text is value rounded to the digits it shows
    d = decimal.Decimal(text)
    half = decimal.Decimal(1).scaleb(d.as_tuple().exponent) / 2
    return abs(decimal.Decimal(value) - d) <= half
x, y = rows("minimize_x.mat"), rows("minimize_y.mat")
log = [l.split() for l in open("sim.log")]
if len(x) != 13 or len(y) != 13 or len(log) != 3:
    sys.exit("rows: %d %d, simulator runs: %d" % (len(x), len(y), len(log)))
design = [l.split()[1:] for l in open("x.mat").read().splitlines()[4:]]
for i in range(10):
    if [float(v) for v in x[i]] != [float(v) for v in design[i]]:
        sys.exit("design row %d changed" % (i + 1))
for k, (x1, x2, f) in enumerate(log):
    row = 10 + k
    if not (agrees(x[row][0], x1) and agrees(x[row][1], x2) and agrees(y[row][0], f)):
        sys.exit("run %d: %s %s, simulator %s" % (row + 1, x[row], y[row], (x1, x2, f)))
PY

# The second MORLA goes on from the saved runs until the design has 15 runs.
cp minimize_x.mat saved_x.mat
touch resumed
cat > resume.cmd <<'CMD'
X < minimize_x.mat
y < minimize_y.mat
XDescription < r.mat
Tries = 1
ObjectiveFunction = ./sim.sh
MaximumSample = 15
Minimize
Quit
CMD
"$binary" resume.cmd resume.report 2> resume.err || fail "resume: exit status $?: $(cat resume.err)"
grep -q "Number of Observations :                 13" resume.report || fail "resume: the saved runs did not read back"
grep -q "MaximumSample reached : n=15" resume.report || fail "resume: no stop at 15 runs: $(tail -5 resume.report)"
grep -q -E "Sorry|ERROR|Unexpected" resume.report && fail "resume: complaints: $(grep -E 'Sorry|ERROR' resume.report)"
[ "$(wc -l < sim.log)" = 5 ] || fail "resume: $(wc -l < sim.log) simulator runs in all, expected 5"
[ "$(sed -n '7,19p' saved_x.mat)" = "$(sed -n '7,19p' minimize_x.mat)" ] || fail "resume: the earlier runs changed"
[ "$(grep -c '^ *[0-9]' minimize_x.mat)" = 15 ] || fail "resume: minimize_x.mat does not hold 15 runs"
[ -e morla.temp ] && fail "resume: morla.temp left behind"
echo "a killed minimisation resumed from its saved runs"
