#!/bin/sh
# Measures the editor's start-up, from starting the process to its main window
# being mapped, on the sample pair, on a generated pair of 10000 variables a
# file, and on a root holding the sample pair with 100 base and 200 local
# rc.d scripts, beside a minimal GTK+ 2 window, on a private Xvfb.
# usage: scripts/startup_bench.sh [RUNS [BUILD-FOLDER]]
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-30}
build=${2:-$top/build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j 2 --target kelvane minimal_window startup_bench >/dev/null

# 5000 knobs and 5000 strings a file, out of name order so that sorting has
# work to do; the machine's file shares half its names with the defaults.
generate() {
	awk -v first="$1" -v on="$2" 'BEGIN {
		print "# Generated for the start-up benchmark."
		print ""
		for (i = 0; i < 5000; i++) {
			n = (i * 7919) % 5000 + first
			printf "service%05d_enable=\"%s\"\t# start service %d at boot\n", n, (n % 3 == on ? "YES" : "NO"), n
			printf "service%05d_flags=\"-p /var/run/service%05d.pid -l %d\"\n", n, n, n % 7
		}
	}'
}
generate 0 0 >"$work/defaults-10k.conf"
generate 2500 1 >"$work/rc-10k.conf"
"$top/scripts/service_root.sh" "$work/root" 100 200
mkdir "$work/home"

# An empty HOME: no remembered size, and the user's ~/.kelvanerc is left alone.
HOME="$work/home" "$top/scripts/with-xvfb.sh" "$build/startup_bench" "$runs" \
	"$build/minimal_window" "$build/kelvane" \
	"sample pair" "$top/examples/defaults-rc.conf" "$top/examples/rc.conf" \
	"10k-variable pair" "$work/defaults-10k.conf" "$work/rc-10k.conf" \
	"pair, 300 rc.d scripts" -R "$work/root"
