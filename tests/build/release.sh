#!/bin/sh
# Makes the release tarball from the working tree and checks it: one top
# folder, holding what a build, an install and the tests need and nothing
# more; a distinfo with its SHA256 and size; and a build as the port makes
# it (tests and benchmarks off, no -Werror) that installs the packing list.
set -eu
top=$(cd "$(dirname "$0")/../.." && pwd)
# An unpacked tarball may sit inside another checkout, such as a ports tree.
if [ ! -e "$top/.git" ]; then
	echo "release: skipped, the tarball is made from a git checkout and this is none"
	exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
	echo "release: $*" >&2
	exit 1
}

name=kelvane-$(sh "$top/scripts/version.sh")
sh "$top/scripts/release.sh" -w "$work" >/dev/null
tarball=$work/$name.tar.gz

folders=$(tar -tzf "$tarball" | cut -d / -f 1 | sort -u)
[ "$folders" = "$name" ] || fail "top folders: $folders"
inside=$(tar -tzf "$tarball" | cut -d / -f 2 | sort -u | tr '\n' ' ')
[ "$inside" = " CMakeLists.txt LICENSE README.md bench doc examples fuzz icons po scripts src tests " ] ||
	fail "the tarball holds: $inside"

sum=$(cmake -E sha256sum "$tarball" | cut -d ' ' -f 1)
size=$(wc -c <"$tarball" | tr -d ' ')
printf 'SHA256 (%s.tar.gz) = %s\nSIZE (%s.tar.gz) = %s\n' "$name" "$sum" "$name" "$size" >"$work/expected"
grep -v '^TIMESTAMP = [0-9]*$' "$work/distinfo" | cmp -s - "$work/expected" ||
	fail "distinfo does not describe $name.tar.gz"

tar -xzf "$tarball" -C "$work"
cmake -S "$work/$name" -B "$work/build" -DCMAKE_BUILD_TYPE=Release -DKELVANE_TESTS=OFF -DKELVANE_BENCH=OFF >/dev/null
sh "$top/tests/build/werror.sh" "$work/build" 0 >/dev/null
cmake --build "$work/build" -j 2 >/dev/null
bash "$top/tests/e2e/install.sh" "$work/build/kelvane" || fail "the tarball's install"
echo "release: ok"
