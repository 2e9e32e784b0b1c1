#!/usr/bin/env bash
# The report streams: each line reaches a pipe (standard output) or the
# output file as soon as it is written, not when a buffer fills or the run
# ends. The commands come through a named pipe that stays open, so MORLA waits
# for the next command while the test looks for the lines of the last one.
set -u
binary=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
work=$(mktemp -d)
morla_pid=""
cleanup() {
    exec 3>&- 2>/dev/null
    [ -n "$morla_pid" ] && kill "$morla_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
cd "$work" || exit 1
fail() { echo "FAIL: $*"; exit 1; }
printf 'x1,x2\n0.1,0.2\n0.4,0.9\n' > design.csv

# Waits (at most 20 s) until the file holds the line.
await_line() { # file line
    for _ in $(seq 200); do
        grep -qxF "$2" "$1" 2>/dev/null && return 0
        sleep 0.1
    done
    return 1
}

# form: "pipe" (report on standard output, read through a pipe by cat) or
# "file" (the two-argument form).
for form in pipe file; do
    rm -f commands seen report
    mkfifo commands
    if [ $form = pipe ]; then
        "$binary" commands | cat > seen &
        morla_pid=$!
        watched=seen
    else
        "$binary" commands report &
        morla_pid=$!
        watched=report
    fi
    exec 3>commands
    echo "X < design.csv" >&3
    await_line $watched "Reading from design.csv." || fail "$form: the line did not arrive while MORLA waits"
    echo "X > screen" >&3
    await_line $watched "    0.40000     0.90000 " || fail "$form: the second command's lines did not arrive"
    # The prompt for the next command, without a newline, is there too.
    for _ in $(seq 100); do
        [ "$(tail -c 7 $watched)" = "morla> " ] && break
        sleep 0.1
    done
    [ "$(tail -c 7 $watched)" = "morla> " ] || fail "$form: the prompt did not arrive"
    echo "Quit" >&3
    exec 3>&-
    wait $morla_pid || fail "$form: exit status $?"
    morla_pid=""
    grep -q "^Program Seconds" $watched || fail "$form: the report is incomplete"
done
echo "report streams line by line to a pipe and to the output file"
