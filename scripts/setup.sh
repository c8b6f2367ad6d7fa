#!/bin/sh
# Installs, from Debian's packages, whatever the build and the tests need and
# the machine lacks. Needs root (or sudo) only when something is missing.
set -eu

packages="build-essential cmake pkg-config libgtk2.0-dev googletest libgtest-dev
clang libclang-rt-dev xvfb xauth xdotool x11-apps x11-utils imagemagick valgrind mandoc
desktop-file-utils libgail-common gettext locales"

missing=""
for p in $packages; do
	dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
		missing="$missing $p"
done
[ -z "$missing" ] && exit 0

echo "setup: installing$missing"
if [ "$(id -u)" -eq 0 ]; then
	as_root=""
else
	as_root="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$as_root apt-get update -qq
# shellcheck disable=SC2086
$as_root apt-get install -y -qq --no-install-recommends $missing >/dev/null
