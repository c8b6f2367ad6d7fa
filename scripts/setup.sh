#!/bin/sh
# Installs whatever the build and the tests need and the machine lacks: from
# Debian's packages, or with pkg on FreeBSD. Needs root (or sudo) only when
# something is missing.
set -eu

if [ "$(uname -s)" = FreeBSD ]; then
	# The base system brings clang with its sanitizers and libFuzzer, mandoc,
	# readelf, zlib and the locales.
	packages="cmake pkgconf gtk2 libX11 googletest gettext-tools git bash xorg-vfbserver xauth
xdotool xwininfo xprop openbox ImageMagick7 valgrind desktop-file-utils dejavu"
	installed() { pkg info -e "$1"; }
else
	packages="build-essential cmake pkg-config libgtk2.0-dev libx11-dev googletest libgtest-dev
clang libclang-rt-dev xvfb xauth xdotool x11-apps x11-utils openbox imagemagick valgrind mandoc
desktop-file-utils libgail-common gettext locales git zlib1g-dev"
	installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
fi

missing=""
for p in $packages; do
	installed "$p" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

echo "setup: installing$missing"
if [ "$(id -u)" -eq 0 ]; then
	as_root=""
else
	as_root="sudo"
fi
if [ "$(uname -s)" = FreeBSD ]; then
	# shellcheck disable=SC2086
	$as_root pkg install -y $missing >/dev/null
	exit 0
fi
export DEBIAN_FRONTEND=noninteractive
$as_root apt-get update -qq
# shellcheck disable=SC2086
$as_root apt-get install -y -qq --no-install-recommends $missing >/dev/null
