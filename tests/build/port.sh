#!/bin/sh
# Checks the FreeBSD port as far as it can be checked without a ports tree:
# known gnome components only, and the DISTVERSION and distinfo of this
# version. A release tarball holds no port: skipped (77) there.
set -eu
top=$(cd "$(dirname "$0")/../.." && pwd)
port=$top/packaging/freebsd
[ -d "$port" ] || { echo "port: skipped, no port here"; exit 77; }
version=$(sh "$top/scripts/version.sh")

fail() {
	echo "port: $*" >&2
	exit 1
}

# The components Mk/Uses/gnome.mk accepts (_USE_GNOME_ALL, 2025 ports tree);
# an unknown one sets IGNORE. gdkpixbuf2 was renamed gdkpixbuf there.
known="atk atkmm cairo cairomm dconf gconf2 gdkpixbuf glib20 glibmm gsound
gtk-update-icon-cache gtk20 gtk30 gtk40 gtkmm24 gtkmm30 gtkmm40 gtksourceview2
gtksourceview3 gtksourceview4 gtksourceview5 gvfs intlhack intltool introspection
libadwaita libartlgpl2 libglade2 libgnomecanvas libgsf libidl librsvg2 libsigc++20
libwnck libwnck3 libxml2 libxslt orbit2 pango pangomm pygobject3 vte3"
for component in $(sed -n 's/^USE_GNOME=//p' "$port/Makefile"); do
	# shellcheck disable=SC2086
	printf '%s\n' $known | grep -qxF "$component" || fail "USE_GNOME: no component $component"
done
! grep -q '^INSTALLS_ICONS=' "$port/Makefile" || fail "INSTALLS_ICONS is obsolete"

grep -qx "DISTVERSION=	$version" "$port/Makefile" || fail "DISTVERSION is not $version: run scripts/release.sh"
file="kelvane-$version.tar.gz"
form=$(sed -e 's/^TIMESTAMP = [0-9]*$/TIMESTAMP/' -e "s/^SHA256 ($file) = [0-9a-f]\{64\}$/SHA256/" \
	-e "s/^SIZE ($file) = [0-9]*$/SIZE/" "$port/distinfo" | tr '\n' ' ')
[ "$form" = "TIMESTAMP SHA256 SIZE " ] || fail "distinfo is not makesum's for $file: run scripts/release.sh"
echo "port: ok"
