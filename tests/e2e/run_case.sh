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
set -u
binary=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
case_dir=$(cd "$2" && pwd)
name=$(basename "$case_dir")

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

# Snapshot of the inputs, to find what the run creates or changes.
( cd "$work" && find . -type f -exec md5sum {} + | sort ) > "$scratch/before"

( cd "$work" && exec timeout 120 "$binary" "${args[@]}" < "$stdin_file" \
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

fail=0
compare() { # label actual expected-or-empty
    local expected=$3
    [ -f "$expected" ] || expected=/dev/null
    if ! cmp -s <(mask "$2") <(mask "$expected"); then
        echo "--- $name: $1 differs (expected vs actual)"
        diff <(mask "$expected") <(mask "$2") | head -40
        fail=1
    fi
}

compare stdout "$scratch/stdout" "$case_dir/expected/stdout"
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
    [ -f "$work/$f" ] && compare "file $f" "$work/$f" "$case_dir/expected/files/$f"
done

[ $fail = 0 ] && echo "ok $name"
exit $fail
