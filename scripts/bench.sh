#!/bin/sh
# Measures loading: the tokenizer's throughput, reading, merging and sorting
# two files of 1000, 10000 and 100000 assignments each, whole console runs
# on the sample pair beside "kelvane -v" and sh sourcing the same pair, two
# hostile inputs (many copies of one name, and a name before a huge line),
# what 100 base and 200 local rc.d scripts add to loading, a root whose
# rc.d folders hold hostile entries, and roots whose one script gives tens
# of thousands of defaults.
# usage: scripts/bench.sh [RUNS [BUILD-FOLDER]]
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-200}
build=${2:-$top/build}

cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j 2 --target kelvane load_bench >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$top/scripts/service_root.sh" "$work/root" 100 200
"$top/scripts/service_root.sh" "$work/empty" 0 0
"$build/load_bench" "$build/kelvane" "$top/examples" "$runs" "$work/root" "$work/empty"
