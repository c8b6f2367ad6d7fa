#!/bin/sh
# Runs the reader's fuzz target from the build folder given first for the
# number of seconds given second, starting from the corpus in fuzz/corpus.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build-fuzz}
seconds=${2:-60}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$top/fuzz/artifacts"
"$build/fuzz_reader" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=4096 \
	-artifact_prefix="$top/fuzz/artifacts/" -print_final_stats=1 \
	"$work" "$top/fuzz/corpus" 2>&1 | grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units|stat::peak_rss|==[0-9]+==ERROR|SUMMARY)' || true
test -z "$(ls -A "$top/fuzz/artifacts")" || { echo "fuzz: crash inputs in fuzz/artifacts" >&2; exit 1; }
