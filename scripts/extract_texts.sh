#!/bin/sh
# Extracts the program's translatable texts, from the files listed in
# po/POTFILES, into the catalogue template given (default po/kelvane.pot).
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
xgettext --from-code=UTF-8 --keyword=_ --keyword=N_ --add-comments=TRANSLATORS: \
	--package-name=kelvane --package-version="$(sh scripts/version.sh)" \
	--msgid-bugs-address=developers@kelvane.invalid \
	-f po/POTFILES -o "${1:-po/kelvane.pot}"
