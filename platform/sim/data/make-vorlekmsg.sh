#!/usr/bin/env bash
# Rebuilds vorlekmsg.dll, the sample message file of the simulated machines, from
# vorlekmsg.mc. Needs binutils-mingw-w64-x86-64 and gcc-mingw-w64-x86-64; the
# DLL is committed so that ordinary builds need neither.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp "$here/vorlekmsg.mc" "$work/"
cd "$work"
x86_64-w64-mingw32-windmc -U vorlekmsg.mc
x86_64-w64-mingw32-windres vorlekmsg.rc -o vorlekmsg.o
x86_64-w64-mingw32-gcc -shared -nostdlib -s -Wl,--no-insert-timestamp -Wl,-e,0 -o vorlekmsg.dll vorlekmsg.o
cp vorlekmsg.dll "$here/vorlekmsg.dll"
