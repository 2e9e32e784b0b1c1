#!/usr/bin/env bash
# Simulator runs spent by Minimize: for each test function and design seed, fit
# the model to a maximin Latin hypercube of 10d+1 runs, minimise with the default
# options until the loop stops by itself, and count the runs (design included)
# until the best value first lies within 1 % of the known minimum.
#
# Usage: bench/minimize_runs.sh MORLA_BINARY [SEEDS] [FUNCTIONS]
#   SEEDS      default "1 2 3 4 5"
#   FUNCTIONS  default "branin goldstein_price hartmann3"; goldstein_price_log
#              minimises the logarithm of Goldstein-Price (counted on the function)
# Everything runs in a scratch directory, removed at the end unless KEEP=1
# (then its path is printed: one folder per run with cmd, report and final_y.mat).
# Builds nothing. Prints one table row per run and a summary per function.
set -u
[ $# -ge 1 ] || { sed -n '2,13p' "$0"; exit 1; }
MORLA=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
SEEDS=${2:-"1 2 3 4 5"}
FUNCTIONS=${3:-"branin goldstein_price hartmann3"}
BENCH=$(cd "$(dirname "$0")" && pwd)
REPO=$(dirname "$BENCH")
. "$BENCH/minimize_cases.sh"

scratch=$(mktemp -d)
if [ "${KEEP:-0}" = 1 ]; then echo "scratch: $scratch"; else trap 'rm -rf "$scratch"' EXIT; fi

printf '| %-19s | %4s | %3s | %10s | %10s | %6s | %-9s | %6s | %6s | %6s | %6s | %7s |\n' \
    function seed n0 "runs to 1%" "best" "stop n" "stop" refits interr random "search" seconds
printf '|%s|\n' "---------------------|------|-----|------------|------------|--------|-----------|--------|--------|--------|--------|---------"
summary=""
for fn in $FUNCTIONS; do
    case_info "$fn" || exit 1
    n0=$((10 * D + 1))
    counts=""
    for seed in $SEEDS; do
        dir="$scratch/$fn.$seed"
        make_case "$fn" "$seed" "$n0" "$dir" || exit 1
        cat > "$dir/cmd" <<CMD
X < design.mat
y < responses.mat
XDescription < ranges.mat
ObjectiveFunction = ./obj.sh
Fit
Minimize
y > final_y.mat
Quit
CMD
        t0=$(date +%s.%N)
        ( cd "$dir" && timeout 3600 "$MORLA" cmd report > stdout 2> stderr ); status=$?
        t1=$(date +%s.%N)
        # First run (1-based, design included) within 1 % of the minimum, the best
        # value and the runs made, from the design's responses and the values the
        # objective logged (also complete when MORLA ended on an error).
        read -r hit best stopn < <({ awk 'NR > 4 { print $2 }' "$dir/responses.mat"
                                     awk '{ print $4 }' "$dir/calls.log" 2>/dev/null; } |
            awk -v fmin="$FMIN" -v logy="$LOGY" '
            { n++; y = logy ? exp($1) : $1 + 0
              if (n == 1 || y < best) best = y
              if (!hit && y - fmin <= 0.01 * (fmin < 0 ? -fmin : fmin)) hit = n }
            END { printf "%s %s %d\n", hit ? hit : "never", best, n }')
        rep="$dir/report"
        if [ "$status" -ne 0 ]; then stop="exit$status"
        elif grep -q "Couldn't find Expected Improvement" "$rep"; then stop="no-EI"
        elif grep -q "Local Optimizer failed" "$rep"; then stop="search<3"
        else stop="converged"; fi
        refits=$(grep -c "^Fitting Response" "$rep")
        interr=$(grep -c "3 Consecutive Convergences Interrupted" "$rep")
        random=$(grep -c "Method 'random' found MaxExpImp" "$rep")
        search=$(grep -c -E "tries interrupted|Optimization has difficulties|explored less than 3" "$rep")
        printf '| %-19s | %4s | %3d | %10s | %10.6g | %6d | %-9s | %6d | %6d | %6d | %6d | %7.1f |\n' \
            "$fn" "$seed" "$n0" "$hit" "${best:-NA}" "${stopn:-NA}" "$stop" "$refits" "$interr" "$random" \
            "$search" "$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')"
        counts="$counts $hit"
    done
    summary="$summary$(echo "$counts" | awk -v fn="$fn" '{
        k = 0; m = 0; s = 0
        for (i = 1; i <= NF; i++) if ($i != "never") { v[++k] = $i + 0; s += $i }
        for (i = 1; i <= k; i++) for (j = i + 1; j <= k; j++) if (v[j] < v[i]) { t = v[i]; v[i] = v[j]; v[j] = t }
        med = k ? (k % 2 ? v[(k + 1) / 2] : (v[k / 2] + v[k / 2 + 1]) / 2) : "NA"
        printf "%s: reached in %d of %d runs; median %s, mean %s runs (over the runs that reached it)\n",
               fn, k, NF, med, k ? sprintf("%.1f", s / k) : "NA" }')
"
done
echo
printf '%s' "$summary"
echo
echo "Columns: runs to 1% = simulator runs, design included, until the best value is within 1 % of the"
echo "minimum; stop n = runs when the loop stopped; stop = converged (criterion small 3 times in a row),"
echo "no-EI (no positive criterion found), search<3 (fewer than 3 local searches progressed) or exitN;"
echo "refits = passes that refitted; interr = 'Consecutive Convergences Interrupted' lines; random ="
echo "passes whose best criterion came from a random start; search = criterion-search warnings."
