#!/bin/sh
# Installs what is missing, builds, and runs every test: unit, command-line,
# GUI and end-to-end tests on Xvfb, the same again under AddressSanitizer and
# UndefinedBehaviorSanitizer, valgrind on a console run, and a short fuzz run.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

scripts/setup.sh
# Our own builds fail on any warning; a user's build of a release does not.
scripts/build.sh build -DKELVANE_WERROR=ON
scripts/build.sh build-asan -DKELVANE_SANITIZE=ON -DKELVANE_BENCH=OFF -DKELVANE_WERROR=ON
CC=clang CXX=clang++ scripts/build.sh build-fuzz -DKELVANE_FUZZ=ON -DKELVANE_WERROR=ON

echo "== tests"
scripts/with-xvfb.sh ctest --test-dir build --output-on-failure -j 2

echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer"
ASAN_OPTIONS=abort_on_error=0:detect_leaks=1 \
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
LSAN_OPTIONS=suppressions=$top/tests/lsan.supp:print_suppressions=0 \
	scripts/with-xvfb.sh ctest --test-dir build-asan --output-on-failure -j 2 -LE e2e

echo "== valgrind on a console run"
KELVANE_RC_DEFAULTS=examples/defaults-rc.conf KELVANE_RC=examples/rc.conf \
	valgrind -q --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite \
	build/kelvane -c

echo "== fuzzing the readers for ${KELVANE_FUZZ_SECONDS:-60} seconds"
scripts/fuzz.sh build-fuzz "${KELVANE_FUZZ_SECONDS:-60}"
echo "all tests passed"
