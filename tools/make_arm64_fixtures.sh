#!/bin/sh
# Regenerates the arm64 Mach-O fixtures of the crash reporter's unwinder tests: a small dylib built
# with clang and ld64.lld, and the compact unwind table llvm-objdump reads from it. The outputs are
# committed; run this only to change them (needs clang, lld and llvm-objdump).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
out="$here/../tests/sdk/zevuzavidav/fixtures"
ld64=$(command -v ld64.lld || echo /usr/lib/llvm-14/bin/ld64.lld)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
clang -target arm64-apple-macos11 -O1 -c "$here/arm64_fixtures/fixture.c" -o "$work/fixture.o"
clang -target arm64-apple-macos11 -c "$here/arm64_fixtures/dwarf.s" -o "$work/dwarf.o"
"$ld64" -arch arm64 -platform_version macos 11.0 11.0 -dylib -o "$out/libfixture_arm64.dylib" \
    "$work/fixture.o" "$work/dwarf.o"
llvm-objdump --unwind-info "$out/libfixture_arm64.dylib" | grep -v "file format" | sed "/^$/d" > "$out/libfixture_arm64.unwind.txt"
llvm-objdump --syms "$out/libfixture_arm64.dylib" | grep -v "file format" | sed "/^$/d" > "$out/libfixture_arm64.syms.txt"
