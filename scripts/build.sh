#!/bin/sh
# Configures and builds into the folder given first (default build/); the
# remaining arguments go to cmake's configure step.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$top/build}
[ $# -gt 0 ] && shift
cmake -S "$top" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$dir" -j "$(getconf _NPROCESSORS_ONLN)"
