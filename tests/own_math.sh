#!/usr/bin/env bash
# The program computes its transcendental functions itself (numeric/repmath.h),
# so that results do not depend on the processor or on the C library's
# release: no source outside those functions calls the C library's exp, log,
# pow, trigonometric, hyperbolic or error functions. (hypot, which GNU libc
# builds once for every x86-64 processor, is allowed.)
set -u
src=$(cd "$(dirname "$0")/../src" && pwd)
calls='(^|[^_a-zA-Z0-9.>])(std::)?(exp|exp2|expm1|log|log2|log10|log1p|pow|cbrt|sin|cos|tan|asin|acos|atan|atan2|sinh|cosh|tanh|asinh|acosh|atanh|erf|erfc|lgamma|tgamma|sincos)[fl]?[[:space:]]*\('
found=$(cd "$src" && grep -rnE "$calls" --include='*.cpp' --include='*.h' . |
        grep -vE '^\./numeric/rep(math|sin)[^:]*:' |
        grep -vE '^[^:]+:[0-9]+:[[:space:]]*//' |
        awk -F: '{ line = $0; sub(/^[^:]+:[0-9]+:/, "", line); sub(/\/\/.*/, "", line); if (line ~ /'"$calls"'/) print }' |
        grep -E "$calls")
if [ -n "$found" ]; then
    echo "calls of the C library's mathematical functions (use rep_exp, rep_log, rep_pow, rep_sin, rep_asin):"
    echo "$found"
    exit 1
fi
exit 0
