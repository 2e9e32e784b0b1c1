#!/usr/bin/env bash
# cmake --install puts morla in PREFIX/bin and the guide in
# PREFIX/share/doc/morla; the installed program runs from the PATH.
# Usage: install_test.sh BUILD_DIR
set -u
build=$(cd "$1" && pwd)
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null || { echo "FAILED: cmake --install"; exit 1; }
[ -x "$prefix/bin/morla" ] || { echo "FAILED: no $prefix/bin/morla"; exit 1; }
[ -f "$prefix/share/doc/morla/guide.md" ] || { echo "FAILED: no guide in share/doc/morla"; exit 1; }
version=$(cd "$prefix" && PATH="$prefix/bin:$PATH" morla --version)
[ "$version" = "MORLA 1.304" ] || { echo "FAILED: morla --version says '$version'"; exit 1; }
echo "installed: bin/morla ($version), share/doc/morla/guide.md"
