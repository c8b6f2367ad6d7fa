#!/bin/sh
# Runs a command with DISPLAY naming a fresh Xvfb server, stopped afterwards.
set -eu
n=90
while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null || true' EXIT INT TERM
tries=0
until [ -e "/tmp/.X11-unix/X$n" ]; do
	tries=$((tries + 1))
	if [ $tries -gt 100 ] || ! kill -0 $server 2>/dev/null; then
		echo "with-xvfb: Xvfb :$n did not start" >&2
		exit 1
	fi
	sleep 0.1
done
export DISPLAY=":$n"
status=0
"$@" || status=$?
exit $status
