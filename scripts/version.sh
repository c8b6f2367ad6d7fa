#!/bin/sh
# Prints the program's version, as project() in CMakeLists.txt gives it, or
# in the copy of that file named first.
set -eu
file=${1:-$(cd "$(dirname "$0")/.." && pwd)/CMakeLists.txt}
version=$(sed -n 's/^project(kelvane VERSION \([0-9][0-9.]*\)[ )].*/\1/p' "$file")
[ -n "$version" ] || { echo "version: no version in $file" >&2; exit 1; }
echo "$version"
