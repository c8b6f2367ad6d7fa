#!/bin/bash
# Installs the build into a scratch prefix and checks every installed file.
# $1 is the kelvane binary; its folder is the build folder.
set -eu
build=$(dirname "$1")
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

fail() {
	echo "install: $*" >&2
	exit 1
}

cmake --install "$build" --prefix "$prefix" >/dev/null
mandir=$(sed -n 's/^CMAKE_INSTALL_MANDIR:PATH=//p' "$build/CMakeCache.txt")
page="$prefix/${mandir:-share/man}/man1/kelvane.1"
entry="$prefix/share/applications/kelvane.desktop"

[ -x "$prefix/bin/kelvane" ] || fail "no executable bin/kelvane"
cmp -s "$page" "$source_dir/doc/kelvane.1" || fail "manual page missing or changed: $page"
cmp -s "$entry" "$source_dir/doc/kelvane.desktop" || fail "desktop entry missing or changed"
for size in 16 32 48 64; do
	icon="$prefix/share/icons/hicolor/${size}x${size}/apps/kelvane.xpm"
	[ -f "$icon" ] || fail "no icon $icon"
	grep -q "^\"$size $size " "$icon" || fail "$icon is not a $size-pixel picture"
done

# Both checkers must have nothing at all to say.
lint=$(mandoc -T lint "$page" 2>&1) || fail "mandoc: $lint"
[ -z "$lint" ] || fail "mandoc: $lint"
validate=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $validate"
[ -z "$validate" ] || fail "desktop-file-validate: $validate"

"$prefix/bin/kelvane" -v | grep -q '^Kelvane 0\.6\.8 "Lanternfall"$' || fail "installed kelvane -v"
echo "install: ok"
