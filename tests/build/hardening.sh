#!/bin/sh
# Checks that the built program carries the hardening the build asks for:
# position independent, bound at load time behind a read-only relocation
# table, with stack canaries and the checked (fortified) libc calls.
# usage: sh tests/build/hardening.sh KELVANE-BINARY
set -eu
program=$1

fail() {
	echo "hardening: $*" >&2
	exit 1
}

readelf -h "$program" | grep -Eq 'Type:[[:space:]]+DYN' || fail "not a position-independent executable"
readelf -l "$program" | grep -q GNU_RELRO || fail "no read-only relocation segment (-z relro)"
# GNU readelf puts the tags in parentheses, FreeBSD's does not.
readelf -d "$program" | grep -Eq 'BIND_NOW|FLAGS_1\)? .*NOW' || fail "symbols not bound at load time (-z now)"
symbols=$(nm -D --undefined-only "$program")
echo "$symbols" | grep -q '__stack_chk_fail' || fail "no stack protector (__stack_chk_fail)"
echo "$symbols" | grep -v '__stack_chk_fail' | grep -Eq '__[a-z_]+_chk\b' ||
	fail "no fortified libc calls (__*_chk)"
echo "hardening: ok"
