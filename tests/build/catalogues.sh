#!/bin/sh
# Checks the catalogues: every text the program marks for translation is in
# the template and translated, neither fuzzy nor missing, in every language,
# with its mnemonic kept; and every source file that marks texts is listed.
set -eu
top=$(cd "$(dirname "$0")/../.." && pwd)
cd "$top"
fresh=$(mktemp)
trap 'rm -f "$fresh"' EXIT

fail() {
	echo "catalogues: $*" >&2
	exit 1
}

for file in $(grep -rlE '\bN?_\("' src); do
	grep -qx "$file" po/POTFILES || fail "$file marks texts but is not in po/POTFILES"
done
sh scripts/extract_texts.sh "$fresh"
msgcmp --use-untranslated po/kelvane.pot "$fresh" >/dev/null 2>&1 &&
	msgcmp --use-untranslated "$fresh" po/kelvane.pot >/dev/null 2>&1 ||
	fail "po/kelvane.pot is out of date: run the update-po target"
for language in $(cat po/LINGUAS); do
	msgcmp "po/$language.po" "$fresh" || fail "$language: texts missing, untranslated or fuzzy"
	stats=$(msgfmt --check --check-accelerators=_ --statistics -o /dev/null "po/$language.po" 2>&1) ||
		fail "$language: $stats"
	case $stats in
	*fuzzy* | *untranslated*) fail "$language: $stats" ;;
	esac
done
echo "catalogues: ok"
