#!/usr/bin/env bash
# The source folders are layered: alloc and numeric at the bottom, then model,
# matfile, kriging, fit, minimize, and interp on top. A folder may include its own headers
# and those of the folders below it, never those of a folder above.
set -u
src=$(cd "$(dirname "$0")/../src" && pwd)
declare -A rank=([alloc]=0 [numeric]=0 [model]=1 [matfile]=2 [kriging]=3 [fit]=4 [minimize]=5 [interp]=6)
bad=0
for dir in "${!rank[@]}"; do
    for file in "$src/$dir"/*; do
        while IFS= read -r inc; do
            target=${inc%%/*}
            [ -n "${rank[$target]+x}" ] || continue
            if [ "${rank[$target]}" -gt "${rank[$dir]}" ]; then
                echo "${file#$src/} includes $inc, a higher layer"
                bad=1
            fi
        done < <(sed -n 's/^#include "\([a-z]*\/[^"]*\)".*/\1/p' "$file")
    done
done
exit $bad
