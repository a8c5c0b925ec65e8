#!/usr/bin/env bash
# Regenerates the Mach-O executables that the image-reader tests read, and records how llvm-objdump
# sees each of them, so the tests can check our readers against an independent tool. The produced bytes
# are committed: building and testing need neither clang's Apple targets nor lld.
#
# Needs: clang, ld64.lld (lld), llvm-lipo, llvm-objdump, python3.
# Usage: tools/generate-macho-fixtures.sh [output folder]
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/tests/sdk/zovaze/fixtures/macho}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

pick() { for tool in "$@"; do command -v "$tool" >/dev/null 2>&1 && { echo "$tool"; return; }; done
         echo "missing tool: $1" >&2; exit 1; }
CLANG="$(pick clang clang-14)"
LD64="$(pick ld64.lld ld64.lld-14)"
LIPO="$(pick llvm-lipo llvm-lipo-14)"
OBJDUMP="$(pick llvm-objdump llvm-objdump-14)"

mkdir -p "$out"
printf 'int main(void) { return 0; }\n' >"$work/main.c"

# name  clang-target          ld-arch  min-os  sdk
link() {
    local name="$1" target="$2" arch="$3" min="$4" sdk="$5"
    "$CLANG" -target "$target" -O1 -c "$work/main.c" -o "$work/$name.o"
    "$LD64" -arch "$arch" -platform_version ios "$min" "$sdk" -e _main -o "$out/$name" "$work/$name.o"
}

link arm64-thin        arm64-apple-ios9.0    arm64   9.0   10.3
link armv7-thin        armv7-apple-ios8.0    armv7   8.0   10.3
link armv7s-thin       armv7s-apple-ios8.0   armv7s  8.0   10.3
# From iOS 12 on the linker writes the newer build-version command instead of a version minimum.
link arm64-buildversion arm64-apple-ios14.0  arm64   14.0  14.5
"$LIPO" -create "$out/armv7-thin" "$out/arm64-thin" -output "$out/fat-armv7-arm64"

# One line per slice: file, index, arch, uuid (lower-case, no dashes, or "-"), minimum OS and SDK of
# the version-minimum command (or "-"), crypt id (or "-"). Architectures of fat files come from the
# universal headers; the load commands of each slice from --arch.
python3 - "$OBJDUMP" "$out" >"$out/expected.txt" <<'PY'
import re, subprocess, sys
objdump, out = sys.argv[1], sys.argv[2]
def run(*args):
    return subprocess.run([objdump, *args], check=True, capture_output=True, text=True).stdout
def facts(text):
    uuid = minos = sdk = crypt = "-"
    for block in re.split(r"\nLoad command \d+\n", text)[1:]:
        cmd = re.search(r"cmd (\S+)", block).group(1)
        if cmd == "LC_UUID":
            uuid = re.search(r"uuid (\S+)", block).group(1).replace("-", "").lower()
        elif cmd.startswith("LC_VERSION_MIN"):
            minos = re.search(r"version (\S+)", block).group(1)
            sdk = re.search(r"sdk (\S+)", block).group(1)
        elif cmd.startswith("LC_ENCRYPTION_INFO"):
            crypt = re.search(r"cryptid (\d+)", block).group(1)
    return uuid, minos, sdk, crypt
def full(v):
    parts = (v.split(".") + ["0", "0"])[:3] if v != "-" else None
    return ".".join(parts) if parts else "-"
files = ["arm64-thin", "armv7-thin", "armv7s-thin", "arm64-buildversion", "fat-armv7-arm64"]
print("# file index arch uuid minimum-os sdk cryptid   (recorded from llvm-objdump)")
for name in files:
    path = f"{out}/{name}"
    universal = run("--macho", "--universal-headers", path)
    archs = re.findall(r"^architecture (\S+)", universal, re.M)
    if not archs:
        head = run("--macho", "--private-headers", path)
        archs = [re.search(r"^\s*MH_MAGIC\S*\s+(\S+)\s+(\S+)", head, re.M).group(1).lower()]
        sub = re.search(r"^\s*MH_MAGIC\S*\s+\S+\s+(\S+)", head, re.M).group(1)
        if archs[0] == "arm" and sub.startswith("V7"):
            archs = ["armv" + sub[1:].lower()]
        texts = [head]
    else:
        texts = [run("--macho", "--private-headers", f"--arch={a}", path) for a in archs]
    for index, (arch, text) in enumerate(zip(archs, texts)):
        uuid, minos, sdk, crypt = facts(text)
        print(name, index, arch, uuid, full(minos), full(sdk), crypt)
PY
echo "wrote $(ls "$out" | wc -l) files to $out"
