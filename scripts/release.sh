#!/bin/sh
# Makes the release tarball kelvane-VERSION.tar.gz, top folder kelvane-VERSION/,
# from a commit (default HEAD), and writes the port's DISTVERSION and the
# distinfo that "make makesum" writes for that tarball. The tarball holds the
# commit's files less those .gitattributes marks export-ignore.
#
# usage: scripts/release.sh [COMMIT]
#        scripts/release.sh -w FOLDER
# -w takes the working tree as it stands, committed or not (less what git
# ignores), and writes the tarball and its distinfo into FOLDER only; the
# repository is left as it is.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
[ -e .git ] || { echo "release: $top is not a git checkout" >&2; exit 1; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# As sha256(1) prints it on FreeBSD; sha256sum elsewhere.
sha256_of() {
	if command -v sha256 >/dev/null 2>&1; then
		sha256 -q "$1"
	else
		sha256sum "$1" | cut -d ' ' -f 1
	fi
}

if [ "${1:-}" = "-w" ]; then
	out=$(cd "${2:?usage: scripts/release.sh -w FOLDER}" && pwd)
	version=$(sh scripts/version.sh)
	# The files into a tree of their own, in a scratch index and object store.
	GIT_INDEX_FILE=$scratch/index GIT_OBJECT_DIRECTORY=$scratch/objects
	export GIT_INDEX_FILE GIT_OBJECT_DIRECTORY
	mkdir "$GIT_OBJECT_DIRECTORY"
	git add -A
	source=$(git write-tree)
	distinfo=$out/distinfo
else
	source=$(git rev-parse --verify "${1:-HEAD}^{commit}")
	git show "$source:CMakeLists.txt" >"$scratch/CMakeLists.txt"
	version=$(sh scripts/version.sh "$scratch/CMakeLists.txt")
	out=$top
	distinfo=packaging/freebsd/distinfo
	makefile=packaging/freebsd/Makefile
	tab=$(printf '\t')
	sed "s/^DISTVERSION=.*/DISTVERSION=$tab$version/" "$makefile" >"$scratch/Makefile"
	cp "$scratch/Makefile" "$makefile"
fi

# Entries carry the commit's time, or the time of the run for a working tree.
name=kelvane-$version
tarball=$out/$name.tar.gz
git archive --format=tar.gz -9 --prefix="$name/" -o "$tarball" "$source"
{
	echo "TIMESTAMP = $(date +%s)"
	echo "SHA256 ($name.tar.gz) = $(sha256_of "$tarball")"
	echo "SIZE ($name.tar.gz) = $(wc -c <"$tarball" | tr -d ' ')"
} >"$distinfo"
echo "release: $tarball"
echo "release: $distinfo"
