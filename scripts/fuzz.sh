#!/bin/sh
# Runs the fuzz targets from the build folder given first (the rc.conf
# reader, the rc.d script reader and the manual page reader), sharing the
# number of seconds given second between them, each starting from its
# corpus in fuzz/corpus.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build-fuzz}
seconds=${2:-60}
share=$((seconds / 3))
[ "$share" -gt 0 ] || share=1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$top/fuzz/artifacts"
for target in reader script manual; do
	echo "fuzz_$target for $share seconds"
	mkdir "$work/$target"
	"$build/fuzz_$target" -max_total_time="$share" -max_len=65536 -timeout=10 -rss_limit_mb=4096 \
		-artifact_prefix="$top/fuzz/artifacts/$target-" -print_final_stats=1 \
		"$work/$target" "$top/fuzz/corpus/$target" 2>&1 |
		grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units|stat::peak_rss|==[0-9]+==ERROR|SUMMARY)' || true
done
test -z "$(ls -A "$top/fuzz/artifacts")" || { echo "fuzz: crash inputs in fuzz/artifacts" >&2; exit 1; }
