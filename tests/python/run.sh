#!/usr/bin/env bash
# Runs the Python package's tests against one MORLA executable.
#   tests/python/run.sh MORLA [quick|long]
# quick: every test not marked long; long: the tests marked long.
# Exit status 77 (skipped) when Debian's python3 lacks numpy, scikit-learn or
# pytest (scripts/setup installs them under the need "tests").
set -u
here=$(cd "$(dirname "$0")" && pwd)
python=/usr/bin/python3
[ -x "$python" ] || python=$(command -v python3 || true)
if [ -z "$python" ] || ! "$python" -c "import numpy, sklearn, pytest" 2>/dev/null; then
    echo "SKIPPED: python3 with numpy, scikit-learn and pytest is needed (scripts/setup installs them)"
    exit 77
fi
select="not long"
[ "${2:-quick}" = long ] && select=long
export MORLA_BINARY=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
cd "$here"
exec "$python" -m pytest -q -p no:cacheprovider -m "$select" "$here"
