#!/bin/sh
# Measures loading: the tokenizer's throughput, reading, merging and sorting
# two files of 1000, 10000 and 100000 assignments each, whole console runs
# on the sample pair beside "kelvane -v" and sh sourcing the same pair, and two
# hostile inputs: many copies of one name, and a name before a huge line.
# usage: scripts/bench.sh [RUNS [BUILD-FOLDER]]
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-200}
build=${2:-$top/build}

cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j 2 --target kelvane load_bench >/dev/null
"$build/load_bench" "$build/kelvane" "$top/examples" "$runs"
