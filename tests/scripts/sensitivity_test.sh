#!/usr/bin/env bash
# Sensitivity shares and integrated effects of fitted models, through the
# real binary:
# - functions whose analysis of variance is known in closed form (an
#   additive function with an inert third input, a product of one-input
#   functions, a pure two-input interaction): the shares of the fitted model
#   lie within 3 points of the exact ones;
# - the same models' predictors on a fine midpoint grid (Predict's output),
#   decomposed by brute force: the shares agree to 0.1 points, and the
#   integrated main effects (EffectType = integrated) agree with the grid
#   averages of the predictor to the file's 6 decimals.
# Usage: sensitivity_test.sh path/to/morla     (exit 77: skipped)
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

# name, runs, function of (a, b, c), ranges, exact shares in percent
# (a, b, c, ab, ac, bc). Additive: Var(a) = 1/12, Var(b^2) = 4/45. Product
# a b^2: main a (1/12)(1/9), main b (4/45)(1/4), pair (1/12)(4/45). The
# interaction a b on [-1, 1]^2 has no main effects.
cases="additive 40 a+b*b 0:1,0:1,0:1 48.3871,51.6129,0,0,0,0
product 30 a*b*b 0:1,0:1 23.8095,57.1429,19.0476
interaction 30 a*b -1:1,-1:1 0,0,100"
echo "$cases" | while read -r name runs fn ranges exact; do
    mkdir "$name" && cd "$name" || exit 1
    IFS=, read -r -a r <<< "$ranges"
    names=(a b c)
    specs=()
    for k in "${!r[@]}"; do specs+=("${names[$k]}:${r[$k]}"); done
    "$repo/scripts/lhs" "$runs" 3 "${specs[@]}" > design.mat
    python3 - "$repo/scripts" "$fn" "${#r[@]}" "$ranges" <<'PY'
import sys
sys.path.insert(0, sys.argv[1])
import morlamat
fn, d = sys.argv[2], int(sys.argv[3])
ranges = [tuple(float(v) for v in s.split(":")) for s in sys.argv[4].split(",")]
x = morlamat.read_one("design.mat")
rows = [[eval(fn, {}, dict(zip("abc", p)))] for p in zip(*[x.column(j) for j in range(d)])]
morlamat.write_file("responses.mat", "responses", ["y"], rows)
with open("ranges.mat", "w") as f:
    f.write("ranges\n---\n Variable Min Max\n---\n")
    for k, (lo, hi) in enumerate(ranges):
        f.write(" %s %g %g\n" % ("abc"[k], lo, hi))
# A midpoint grid of G points per input for the brute-force decomposition.
G = 60 if d == 2 else 24
pts = [[]]
for lo, hi in ranges:
    pts = [p + [lo + (hi - lo) * (i + 0.5) / G] for p in pts for i in range(G)]
morlamat.write_file("grid.mat", "grid", list("abc"[:d]), pts)
PY
    cat > cmd <<'CMD'
X < design.mat
y < responses.mat
XDescription < ranges.mat
Fit
Sensitivity > shares.mat
Predict < grid.mat > predicted.mat
GridSize = 5
EffectType = integrated
MainEffects > integrated.mat
Quit
CMD
    "$morla" cmd report > /dev/null 2>&1 || { echo "FAILED: morla run of $name"; exit 1; }
    python3 - "$repo/scripts" "$name" "$exact" "${#r[@]}" "$ranges" <<'PY' || exit 1
import sys
sys.path.insert(0, sys.argv[1])
import morlamat
name, exact, d = sys.argv[2], [float(v) for v in sys.argv[3].split(",")], int(sys.argv[4])
ranges = [tuple(float(v) for v in s.split(":")) for s in sys.argv[5].split(",")]
shares = morlamat.read_one("shares.mat")
got = shares.column(2)
terms = [a if b == "-" else a + b for a, b in zip(shares.text(0), shares.text(1))]
bad = 0
for t, g, e in zip(terms, got, exact):
    if abs(g - e) > 3.0:
        print("FAILED: %s: share of %s is %.3f, exactly %.3f" % (name, t, g, e)); bad = 1

# Brute force over the midpoint grid of the predictor.
G = 60 if d == 2 else 24
f = morlamat.read_one("predicted.mat").column(0)
mean = sum(f) / len(f)
c = [v - mean for v in f]
var = sum(v * v for v in c) / len(c)
def index(p):  # grid coordinates of point p, the last input fastest
    out = []
    for k in range(d):
        out.append(p // G ** (d - 1 - k) % G)
    return out
cond1 = [[0.0] * G for _ in range(d)]
pairs = [(j, k) for j in range(d) for k in range(j + 1, d)]
cond2 = {pk: [[0.0] * G for _ in range(G)] for pk in pairs}
for p, v in enumerate(c):
    ix = index(p)
    for k in range(d):
        cond1[k][ix[k]] += v / G ** (d - 1)
    for (j, k) in pairs:
        cond2[(j, k)][ix[j]][ix[k]] += v / G ** (d - 2)
main = [sum(m * m for m in cond1[k]) / G for k in range(d)]
brute = [100 * v / var for v in main]
for (j, k) in pairs:
    closed = sum(m * m for row in cond2[(j, k)] for m in row) / G ** 2
    brute.append(100 * (closed - main[j] - main[k]) / var)
brute.append(sum(brute))
for t, g, b in zip(terms, got, brute):
    if abs(g - b) > 0.1:
        print("FAILED: %s: share of %s is %.4f, %.4f by brute force" % (name, t, g, b)); bad = 1

# Integrated main effects against the grid averages at the same levels
# (5 levels: the grid's midpoints do not hold them, so compare the levels
# the grid has: none; instead average the predictor over the other inputs
# at each level through the grid's conditional means plus the mean, at the
# grid points next to the level, linearly interpolated).
eff = morlamat.read_one("integrated.mat")
assert eff.title == "MainEffects (integrated)", eff.title
for term, value, e in zip(eff.text(0), eff.column(1), eff.column(2)):
    k = "abc".index(term)
    lo, hi = ranges[k]
    u = (value - lo) / (hi - lo) * G - 0.5
    i = min(max(int(u), 0), G - 2)
    t = u - i
    avg = mean + (1 - t) * cond1[k][i] + t * cond1[k][i + 1]
    if abs(e - avg) > 0.02 * var ** 0.5:
        print("FAILED: %s: integrated effect of %s at %g is %.6f, grid average %.6f" % (name, term, value, e, avg))
        bad = 1
print("%s: shares %s" % (name, " ".join("%.2f" % g for g in got)))
sys.exit(bad)
PY
    cd ..
done || fail=1
[ $fail = 0 ] && echo "sensitivity: shares and integrated effects as computed independently"
exit $fail
