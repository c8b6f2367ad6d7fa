#!/bin/sh
# Installs what is missing, builds, and opens Kelvane on a scratch copy of the
# sample pair in examples/; with no display, on Xvfb, writing a screenshot.
#
# The copies live in a fresh folder made by mktemp, which is also HOME for the
# run: Save appends to the copied rc.conf and the window size goes to that
# folder's .kelvanerc, so the samples and the user's own ~/.kelvanerc stay as
# they are.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)

# Runs inside with-xvfb.sh: opens the window, photographs it, closes it.
screenshot() {
	scratch=$1
	shot="$scratch/kelvane.png"
	"$top/build/kelvane" 2>"$scratch/kelvane.err" &
	program=$!
	trap 'kill $program 2>/dev/null || true' EXIT
	window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Kelvane' | head -n 1) || true
	if [ -z "$window" ]; then
		echo "run: the Kelvane window did not appear" >&2
		cat "$scratch/kelvane.err" >&2
		exit 1
	fi
	# Mapped is not yet drawn: an undrawn window is one flat colour.
	tries=0
	while :; do
		import -window "$window" "$shot"
		colours=$(convert "$shot" -format %k info:)
		[ "$colours" -gt 16 ] && break
		tries=$((tries + 1))
		if [ $tries -gt 50 ]; then
			echo "run: the window was never drawn; last picture in $shot" >&2
			exit 1
		fi
		sleep 0.1
	done
	kill $program
	wait $program 2>/dev/null || true
	trap - EXIT
	echo "run: screenshot of the window: $shot"
}

if [ "${1:-}" = "--screenshot" ]; then
	screenshot "$2"
	exit 0
fi

cd "$top"
scripts/setup.sh
scripts/build.sh build

scratch=$(mktemp -d "${TMPDIR:-/tmp}/kelvane.XXXXXX")
cp examples/defaults-rc.conf "$scratch/defaults-rc.conf"
cp examples/rc.conf "$scratch/rc.conf"
export KELVANE_RC_DEFAULTS="$scratch/defaults-rc.conf"
export KELVANE_RC="$scratch/rc.conf"
export HOME="$scratch"
echo "run: working on copies in $scratch (HOME is there too, your ~/.kelvanerc is not used)"

if [ -n "${DISPLAY:-}" ]; then
	status=0
	build/kelvane || status=$?
	echo "run: the edited rc.conf, with whatever Save appended: $scratch/rc.conf"
	exit $status
fi
scripts/with-xvfb.sh "$top/scripts/run.sh" --screenshot "$scratch"
