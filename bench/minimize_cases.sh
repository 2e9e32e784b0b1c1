# Test functions of the minimisation benchmarks, sourced by minimize_runs.sh and
# minimize_timing.sh. Needs BENCH (this folder) and REPO set by the caller.

# case_info FUNCTION: sets D (inputs), RANGES (NAME:LOW:HIGH words for
# scripts/lhs), FMIN (the known global minimum) and LOGY (1 when the objective
# returns the logarithm of the function, so values are compared after exp);
# fails on an unknown name.
case_info() {
    LOGY=0
    case "$1" in
        branin)          D=2; RANGES="x1:-5:10 x2:0:15";        FMIN=0.397887 ;;
        goldstein_price) D=2; RANGES="x1:-2:2 x2:-2:2";         FMIN=3 ;;
        goldstein_price_log) D=2; RANGES="x1:-2:2 x2:-2:2"; FMIN=3; LOGY=1 ;;
        hartmann3)       D=3; RANGES="x1:0:1 x2:0:1 x3:0:1";    FMIN=-3.86278 ;;
        *) echo "unknown function $1" >&2; return 1 ;;
    esac
}

# make_case FUNCTION SEED RUNS DIR: writes into DIR the maximin Latin hypercube
# design.mat (RUNS runs, seeded), its responses.mat, ranges.mat and the objective
# program obj.sh, which MORLA runs as "./obj.sh morla.temp". obj.sh appends the
# function value to the exchange file and logs one line per call to calls.log:
# wall-clock seconds at its start and end, MORLA's CPU seconds (user plus
# system, from /proc) at its start, and the value.
make_case() {
    local fn=$1 seed=$2 runs=$3 dir=$4
    case_info "$fn" || return 1
    mkdir -p "$dir"
    python3 "$REPO/scripts/lhs" "$runs" "$seed" $RANGES > "$dir/design.mat" || return 1
    {
        echo "Responses of $fn"
        echo "------------------------------"
        echo "  Case $fn"
        echo "------------------------------"
        awk -v d="$D" 'NR > 4 { line = d; for (j = 2; j <= d + 1; j++) line = line " " $j; print line }' \
            "$dir/design.mat" | awk -f "$BENCH/objectives/$fn.awk" | awk '{ print NR, $NF }'
    } > "$dir/responses.mat"
    {
        echo "Input ranges"
        echo "------------------------------"
        echo " Variable Min Max"
        echo "------------------------------"
        for r in $RANGES; do echo " $r" | tr ':' ' '; done
    } > "$dir/ranges.mat"
    cat > "$dir/obj.sh" <<OBJ
#!/bin/sh
# Objective program for MORLA: appends the $fn value to the exchange file \$1.
t0=\$(date +%s.%N)
p=\$PPID
while [ "\$p" -gt 1 ] && [ "\$(cat /proc/\$p/comm 2>/dev/null)" != morla ]; do
    p=\$(awk '{ print \$4 }' /proc/\$p/stat 2>/dev/null || echo 1)
done
cpu=\$(awk -v hz="\$(getconf CLK_TCK)" '{ printf "%.2f", (\$14 + \$15) / hz }' /proc/\$p/stat 2>/dev/null)
awk -f "$BENCH/objectives/$fn.awk" "\$1" > "\$1.new" && mv "\$1.new" "\$1"
echo "\$t0 \$(date +%s.%N) \${cpu:-NA} \$(awk '{ v = \$NF } END { print v }' "\$1")" >> calls.log
OBJ
    chmod +x "$dir/obj.sh"
}
