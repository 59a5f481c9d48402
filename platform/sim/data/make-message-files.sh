#!/usr/bin/env bash
# Rebuilds the message files of the simulated machines (NAME.dll from each
# NAME.mc here). Needs binutils-mingw-w64-x86-64 and gcc-mingw-w64-x86-64; the
# DLLs are committed so that ordinary builds need neither, and the build
# embeds every one of them.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
for source in "$here"/*.mc; do
    name="$(basename "$source" .mc)"
    cp "$source" .
    x86_64-w64-mingw32-windmc -U "$name.mc"
    x86_64-w64-mingw32-windres "$name.rc" -o "$name.o"
    x86_64-w64-mingw32-gcc -shared -nostdlib -s -Wl,--no-insert-timestamp -Wl,-e,0 -o "$name.dll" "$name.o"
    cp "$name.dll" "$here/$name.dll"
done
