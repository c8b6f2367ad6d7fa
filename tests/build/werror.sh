#!/bin/sh
# Checks a build folder's compile commands: with 1, every one carries
# -Werror; with 0, none does.
# usage: sh tests/build/werror.sh BUILD-FOLDER 1|0
set -eu
commands=$(grep '"command":' "$1/compile_commands.json")
with=$(echo "$commands" | grep -c -e ' -Werror ') || true
if [ "$2" = 1 ]; then want=$(echo "$commands" | wc -l); else want=0; fi
[ "$with" -eq "$want" ] || { echo "werror: $with compile commands in $1 carry -Werror, not $want" >&2; exit 1; }
echo "werror: ok"
