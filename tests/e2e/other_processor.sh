#!/usr/bin/env bash
# End-to-end cases whose numbers pass through exp, log, pow, sin and asin, run
# on an emulated x86-64 processor without fused multiply-add and AVX2 (qemu's
# Nehalem model, where the C library picks its other versions of these
# functions): the reports and files must be the same bytes as on this one.
# Exit status 77 (skipped) without qemu-x86_64.
set -u
binary=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
cases=$(cd "$(dirname "$0")/cases" && pwd)
command -v qemu-x86_64 >/dev/null 2>&1 || { echo "SKIPPED: qemu-x86_64 is not installed"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '#!/bin/sh\nexec qemu-x86_64 -cpu Nehalem "%s" "$@"\n' "$binary" > "$work/morla"
chmod +x "$work/morla"
features=$(printf '#include <stdio.h>\nint main(){__builtin_cpu_init();printf("%%d",__builtin_cpu_supports("fma")||__builtin_cpu_supports("avx2"));}\n' |
           { gcc -x c -o "$work/features" - && qemu-x86_64 -cpu Nehalem "$work/features"; })
[ "$features" = 0 ] || { echo "FAIL: the emulated processor reports FMA or AVX2"; exit 1; }
status=0
# Cases that changed on such a processor while the C library computed exp,
# log and pow, and default fits, cross-validations and staged proposals:
# short enough for an emulator some 80 times slower.
for name in fit_gradient fit_gradient_ridge minimize_stops sensitivity_refusals \
            sensitivity_response_and_constraint fit_report fit_random_error crossvalidate_two_models \
            minimize_stage minimize_random_error_best; do
    bash "$(dirname "$0")/run_case.sh" "$work/morla" "$cases/$name" || status=1
done
exit $status
