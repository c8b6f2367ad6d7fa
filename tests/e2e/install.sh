#!/usr/bin/env bash
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
for key in Name GenericName Comment; do
	grep -q "^$key=" "$entry" || fail "desktop entry without $key"
	for language in $(cat "$source_dir/po/LINGUAS"); do
		grep -q "^$key\[$language\]=" "$entry" || fail "desktop entry without $key[$language]"
	done
done
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

# The port's packing list names exactly the files the install puts down (the
# ports framework compresses manual pages), and marks the catalogues, and
# only them, as belonging to the NLS option.
plist="$source_dir/packaging/freebsd/pkg-plist"
[ -f "$plist" ] || { echo "install: ok, not compared with the packing list (no port in a release tarball)"; exit 0; }
listed=$(sed -e 's/^%%NLS%%//' -e 's|^\(share/man/.*\)\.gz$|\1|' "$plist" | sort)
installed=$(cd "$prefix" && find . -type f | sed 's|^\./||' | sort)
[ "$listed" = "$installed" ] ||
	fail "pkg-plist and the install differ:"$'\n'"$(diff <(echo "$listed") <(echo "$installed"))"
! grep -v '^%%NLS%%' "$plist" | grep -q '^share/locale/' || fail "a catalogue in pkg-plist lacks %%NLS%%"
! grep '^%%NLS%%' "$plist" | grep -vq '^%%NLS%%share/locale/' || fail "%%NLS%% marks a file outside share/locale"
echo "install: ok"
