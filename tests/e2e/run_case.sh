#!/usr/bin/env bash
# Runs one end-to-end case through the real binary in a scratch directory and
# compares standard output, standard error, the exit status and every file
# the run writes, byte for byte; only CPU-time figures are masked.
#
# A case is a folder:
#   cmd              the command file (any name works; see args)
#   args             optional: the arguments, one line of words; a missing
#                    file means the one-argument form "cmd"; an empty file
#                    means the interactive form (no arguments)
#   stdin            optional: fed to standard input
#   any other file   input files, copied into the scratch directory
#   expected/stdout, expected/stderr   (missing: must be empty)
#   expected/status                    (missing: 0)
#   expected/files/NAME                every file the run creates or changes
#
# With UPDATE=1 the actual results are written into expected/ instead.
#
# An optional third argument checks memory on the same expectations:
#   valgrind   the run goes through valgrind memcheck, which must report no
#              error and no definitely or indirectly lost block;
#   tracking   "check_allocation" comes first in the commands, so that the
#              whole run verifies every allocation; the report then shows that
#              line too, and nothing else may differ. (A case without commands
#              of its own, or one that already begins with "check_allocation"
#              after its comments, runs as it is.)
set -u
binary=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
case_dir=$(cd "$2" && pwd)
name=$(basename "$case_dir")
mode=${3:-plain}
if [ "${UPDATE:-0}" = 1 ] && [ "$mode" != plain ]; then
    echo "UPDATE=1 writes the expectations of plain runs only" >&2
    exit 2
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

work="$scratch/work"
mkdir "$work"
( cd "$case_dir" && find . -mindepth 1 -maxdepth 1 ! -name expected ! -name args ! -name stdin \
      -exec cp -r {} "$work/" \; )

args=(cmd)
if [ -f "$case_dir/args" ]; then
    read -r -a args < "$case_dir/args" || true
fi
stdin_file=/dev/null
[ -f "$case_dir/stdin" ] && stdin_file="$case_dir/stdin"

# Tracking mode: the line added in front of the commands, as the report shows
# it after the first prompt (typed lines are not echoed).
added=""
report_file=""
if [ "$mode" = tracking ]; then
    if [ ${#args[@]} = 0 ]; then
        { echo check_allocation; cat "$stdin_file"; } > "$scratch/stdin"
        stdin_file="$scratch/stdin"
        added='morla> '
    elif [ -f "$work/${args[0]}" ] && ! grep -qx check_allocation "$work/${args[0]}"; then
        { echo check_allocation; cat "$work/${args[0]}"; } > "$scratch/commands"
        cp "$scratch/commands" "$work/${args[0]}"
        added='morla> check_allocation\n'
    fi
    [ ${#args[@]} -ge 2 ] && report_file=${args[1]}
fi
run=(timeout 120 "$binary")
if [ "$mode" = valgrind ]; then
    run=(timeout 600 valgrind -q --error-exitcode=99 --leak-check=full --show-leak-kinds=definite,indirect
         --errors-for-leak-kinds=definite,indirect --log-file="$scratch/valgrind.log" "$binary")
fi

# Snapshot of the inputs, to find what the run creates or changes.
( cd "$work" && find . -type f -exec md5sum {} + | sort ) > "$scratch/before"

( cd "$work" && exec "${run[@]}" "${args[@]}" < "$stdin_file" \
      > "$scratch/stdout" 2> "$scratch/stderr" )
echo $? > "$scratch/status"

( cd "$work" && find . -type f -exec md5sum {} + | sort ) > "$scratch/after"
changed=$(comm -13 "$scratch/before" "$scratch/after" | sed -E 's/^[0-9a-f]+  \.\///' | sort)

mask() { sed -E 's/Seconds: [0-9]+\.[0-9]+/Seconds: #.#/g' "$1"; }

if [ "${UPDATE:-0}" = 1 ]; then
    rm -rf "$case_dir/expected"
    mkdir -p "$case_dir/expected"
    [ -s "$scratch/stdout" ] && cp "$scratch/stdout" "$case_dir/expected/stdout"
    [ -s "$scratch/stderr" ] && cp "$scratch/stderr" "$case_dir/expected/stderr"
    [ "$(cat "$scratch/status")" != 0 ] && cp "$scratch/status" "$case_dir/expected/status"
    for f in $changed; do
        mkdir -p "$(dirname "$case_dir/expected/files/$f")"
        cp "$work/$f" "$case_dir/expected/files/$f"
    done
    echo "updated $name"
    exit 0
fi

# The expected report with the added line after its first prompt.
with_added() { sed "0,/morla> /s//${added//\//\\/}morla> /" "$1"; }

fail=0
compare() { # label actual expected-or-empty [report]
    local expected=$3
    [ -f "$expected" ] || expected=/dev/null
    if [ -n "$added" ] && [ "${4:-}" = report ]; then
        with_added "$expected" > "$scratch/expected_report"
        expected=$scratch/expected_report
    fi
    if ! cmp -s <(mask "$2") <(mask "$expected"); then
        echo "--- $name: $1 differs (expected vs actual)"
        diff <(mask "$expected") <(mask "$2") | head -40
        fail=1
    fi
}

compare stdout "$scratch/stdout" "$case_dir/expected/stdout" "$([ -z "$report_file" ] && echo report)"
compare stderr "$scratch/stderr" "$case_dir/expected/stderr"
expected_status=0
[ -f "$case_dir/expected/status" ] && expected_status=$(cat "$case_dir/expected/status")
if [ "$(cat "$scratch/status")" != "$expected_status" ]; then
    echo "--- $name: exit status $(cat "$scratch/status"), expected $expected_status"
    fail=1
fi

expected_files=""
if [ -d "$case_dir/expected/files" ]; then
    expected_files=$(cd "$case_dir/expected/files" && find . -type f | sed 's/^\.\///' | sort)
fi
if [ "$changed" != "$expected_files" ]; then
    echo "--- $name: files written differ"
    echo "expected: $(echo $expected_files)"
    echo "actual:   $(echo $changed)"
    fail=1
fi
for f in $expected_files; do
    [ -f "$work/$f" ] && compare "file $f" "$work/$f" "$case_dir/expected/files/$f" \
        "$([ "$f" = "$report_file" ] && echo report)"
done
if [ -s "$scratch/valgrind.log" ]; then
    echo "--- $name: valgrind reports"
    head -60 "$scratch/valgrind.log"
    fail=1
fi

[ $fail = 0 ] && echo "ok $name${3:+ ($mode)}"
exit $fail
