#!/usr/bin/env bash
# scripts/plot on real MORLA output: a 12-run, 3-input design with a response
# and a constraint gives effects and cross-validation files of two models
# (the cross-validation file in two column blocks). Every picture must be
# well-formed SVG holding the expected number of plotted series; a report
# excerpt of both Minimize pass formats and a responses file give the
# progress pictures. Also checks the Latin hypercube property of scripts/lhs.
# Usage: plot_test.sh path/to/morla     (exit 77: skipped)
set -u
morla=$1
repo=$(cd "$(dirname "$0")/../.." && pwd)
if ! command -v gnuplot >/dev/null 2>&1 || ! command -v python3 >/dev/null 2>&1; then
    echo "SKIPPED: gnuplot or python3 is missing (scripts/setup installs gnuplot-nox and python3)"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
fail=0
check() { # what, status
    if [ "$2" != 0 ]; then echo "FAILED: $1"; fail=1; fi
}

"$repo/scripts/lhs" 12 5 a:0:1 b:0:2 c:-1:1 > design.mat
python3 - "$repo/scripts" <<'PY'
import math, sys
sys.path.insert(0, sys.argv[1])
import morlamat
x = morlamat.read_one("design.mat")
# Latin hypercube: in every input each of the 12 equal slices holds one run.
for j, (lo, hi) in enumerate([(0, 1), (0, 2), (-1, 1)]):
    slices = sorted(int((v - lo) / (hi - lo) * 12) for v in x.column(j))
    assert slices == list(range(12)), (x.names[j], slices)
rows = [[math.sin(3 * a) + b * b - c, a + b + c] for a, b, c in zip(*[x.column(j) for j in range(3)])]
morlamat.write_file("responses.mat", "two outputs", ["y", "g"], rows)
PY
check "scripts/lhs gives one run per slice of every input" $?
cat > ranges.mat <<'MAT'
---------------------
 Variable Min Max
---------------------
 a 0 1
 b 0 2
 c -1 1
MAT
cat > limits.mat <<'MAT'
---------------------------------
 Variable  Min  Max  Constraint
---------------------------------
 y  NA  NA   FALSE
 g  NA  2.5  TRUE
MAT
cat > cmd <<'MAT'
X < design.mat
y < responses.mat
XDescription < ranges.mat
YDescription < limits.mat
GridSize = 5
Fit
CrossValidate > cv.mat
MainEffects > main.mat
JointEffects > joint.mat
Sensitivity > shares.mat
EffectType = integrated
MainEffects > imain.mat
JointEffects > ijoint.mat
Quit
MAT
"$morla" cmd report >/dev/null 2>&1
check "morla run" $?

cat > minimize_report <<'TXT'
xbest:    10.00000     2.06958 
y(xbest): 2.81432e+00
Criterion: 1.07873e+01 RelCrit: 8.48957e+00 ymin:1.27065e+00 n= 22
--------------------------------------------------------
xbest:     2.96772     2.77913 
Responses at xbest:  6.756e-01  4.298e+00 
Criterion:1.9879e+00 RelCrit:1.6397e+00 P(constr. met)=0.956 ymin:6.7561e-01n= 23
--------------------------------------------------------
xbest:     9.13401     1.53323 
Responses at xbest:  NA  4.298e+00 
Criterion:7.5275e-01 RelCrit:1.1142e+00 P(constr. met)=0.956 ymin:6.7561e-01n= 24
TXT

plot() { "$repo/scripts/plot" "$@" >/dev/null || { echo "FAILED: scripts/plot $*"; fail=1; }; }
plot main main.mat main.svg --names y,g
plot joint joint.mat joint.svg --names y,g
plot cv cv.mat responses.mat cv.svg
plot sensitivity shares.mat shares.svg
plot main imain.mat imain.svg --names y,g
plot joint ijoint.mat ijoint.svg --names y,g
plot progress minimize_report progress.svg --target 0.397887
plot progress responses.mat progress_y.svg --start 12
if "$repo/scripts/plot" cv cv.mat ranges.mat bad.svg 2>/dev/null; then
    echo "FAILED: a responses file of another length is accepted"; fail=1
fi

# Joint effects of three inputs on different ranges ([0, 1], [0, 1], [0, 2])
# of a linear response: in every panel the contour lines (parallel lines)
# reach across the whole heat map, in both directions.
"$repo/scripts/lhs" 15 3 p:0:1 q:0:1 r:0:2 > design3.mat
python3 - "$repo/scripts" <<'PY'
import sys
sys.path.insert(0, sys.argv[1])
import morlamat
x = morlamat.read_one("design3.mat")
rows = [[p + 2 * q + r] for p, q, r in zip(*[x.column(j) for j in range(3)])]
morlamat.write_file("responses3.mat", "linear", ["lin"], rows)
PY
printf -- '---\n Variable Min Max\n---\n p 0 1\n q 0 1\n r 0 2\n' > ranges3.mat
printf 'X < design3.mat\ny < responses3.mat\nXDescription < ranges3.mat\nGridSize = 6\nFit\nJointEffects > joint3.mat\nQuit\n' > cmd3
"$morla" cmd3 report3 >/dev/null 2>&1
check "morla run of three inputs" $?
plot joint joint3.mat joint3.svg
python3 - <<'PY' || fail=1
import re, sys, xml.etree.ElementTree as ET
svg = "{http://www.w3.org/2000/svg}"
root = ET.parse("joint3.svg").getroot()
groups = {g.get("id"): g for g in root.iter(svg + "g") if (g.get("id") or "").startswith("gnuplot_plot_")}
bad = 0
for panel in "abc":
    image = groups["gnuplot_plot_1" + panel].find(".//" + svg + "image")
    x0, y0 = float(image.get("x")), float(image.get("y"))
    w, h = float(image.get("width")), float(image.get("height"))
    pts = [tuple(map(float, p)) for path in groups["gnuplot_plot_2" + panel].iter(svg + "path")
           for p in re.findall(r"([-\d.]+),([-\d.]+)", path.get("d"))]
    xs, ys = [p[0] for p in pts], [p[1] for p in pts]
    span_x, span_y = (max(xs) - min(xs)) / w, (max(ys) - min(ys)) / h
    if span_x < 0.8 or span_y < 0.8:
        print("FAILED: joint3.svg panel %s: contours span %.0f%% x %.0f%% of the map" % (panel, 100 * span_x, 100 * span_y))
        bad = 1
sys.exit(bad)
PY

# No text from a data file runs a command: an input named
# a';system("touch${IFS}PW");' passes through the effects files into every
# label of the pictures, and a response name given with --names too.
evil="a';system(\"touch\${IFS}PW\");'"
sed "s/^ *Case  *a  *b  *c$/ Case $evil b c/" design.mat > evil_design.mat
sed "s/^ a 0 1\$/ $evil 0 1/" ranges.mat > evil_ranges.mat
grep -qF "$evil" evil_design.mat && grep -qF "$evil" evil_ranges.mat ||
    { echo "FAILED: the design with the hostile name"; fail=1; }
sed 's/^X < design.mat/X < evil_design.mat/; s/ranges.mat/evil_ranges.mat/; s/main.mat/evil_main.mat/; s/joint.mat/evil_joint.mat/; s/cv.mat/evil_cv.mat/' cmd > evil_cmd
"$morla" evil_cmd evil_report >/dev/null 2>&1
check "morla run with the hostile name" $?
grep -qF "$evil" evil_main.mat || { echo "FAILED: the hostile name is not in the effects file"; fail=1; }
plot main evil_main.mat evil_main.svg --names "$evil,g"
plot joint evil_joint.mat evil_joint.svg --names "y,$evil"
plot cv evil_cv.mat responses.mat evil_cv.svg
plot progress responses.mat evil_progress.svg --start 12 --target 0.5
if [ -e PW ]; then echo "FAILED: a name in a data file ran a command"; fail=1; fi
if "$repo/scripts/plot" progress responses.mat bad.svg --target "0;system('touch PW')" 2>/dev/null || [ -e PW ]; then
    echo "FAILED: --target takes other text than a number"; fail=1
fi

# Series: main effects 2 per input, joint effects 2 per pair (heat map and
# contours), cross-validation 2 + 3, progress 3 with a target (2 from the
# report: best and each run's value), 2 without, shares 2 (inputs, pairs;
# the second model named from the file). Integrated effects say so in
# their title, the slices say where the other inputs are.
python3 - <<'PY' || fail=1
import re, sys, xml.etree.ElementTree as ET
want = {"main.svg": 6, "main-g.svg": 6, "joint.svg": 6, "joint-g.svg": 6, "cv.svg": 5,
        "cv-g.svg": 5, "progress.svg": 3, "progress_y.svg": 2, "shares.svg": 2, "shares-g.svg": 2,
        "imain.svg": 6, "ijoint-g.svg": 6}
titles = {"main.svg": "others at mid-range", "imain.svg": "averaged over the others",
          "joint.svg": "other inputs at mid-range", "ijoint.svg": "averaged over the other inputs",
          "shares-g.svg": "Shares of the variance of g over the input box"}
bad = 0
for name, series in want.items():
    try:
        root = ET.parse(name).getroot()
    except (OSError, ET.ParseError) as e:
        print("FAILED: %s is not well-formed SVG: %s" % (name, e)); bad = 1; continue
    ids = {g.get("id") for g in root.iter("{http://www.w3.org/2000/svg}g")
           if re.fullmatch(r"gnuplot_plot_\d+[a-z]*", g.get("id") or "")}
    if root.tag != "{http://www.w3.org/2000/svg}svg" or len(ids) != series:
        print("FAILED: %s has %d series, expected %d" % (name, len(ids), series)); bad = 1
for name, text in titles.items():
    if text not in open(name).read():
        print("FAILED: %s lacks the title text %r" % (name, text)); bad = 1
sys.exit(bad)
PY
[ $fail = 0 ] && echo "plot pictures: all well-formed with the expected series"
exit $fail
