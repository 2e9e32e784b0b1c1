#!/usr/bin/env bash
# Runs the end-to-end cases that fit models with the program held to a
# single processor (taskset), where the tries of a fit cannot run side by
# side, against the same expected files as the runs on every processor:
# the report does not depend on how many tries run at once.
# Usage: one_core.sh BINARY CASES_DIR
set -u
binary=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
cases=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
command -v taskset > /dev/null || { echo "taskset not found: skipped"; exit 0; }

wrapper_dir=$(mktemp -d)
trap 'rm -rf "$wrapper_dir"' EXIT
printf '#!/bin/sh\nexec taskset -c 0 "%s" "$@"\n' "$binary" > "$wrapper_dir/morla"
chmod +x "$wrapper_dir/morla"

fail=0
for case_dir in "$cases"/*/; do
    grep -qE '^(Fit|f|Minimize|MinimizeStage)\b' "$case_dir/cmd" 2> /dev/null || continue
    bash "$here/run_case.sh" "$wrapper_dir/morla" "$case_dir" || fail=1
done
exit $fail
