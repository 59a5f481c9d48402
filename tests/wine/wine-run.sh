#!/usr/bin/env bash
# Drives the Windows build under Wine for CTest:
#   wine-run.sh BUILD setup                 fresh prefix, one persistent wineserver, regsvr32
#   wine-run.sh BUILD script FILE PLATFORM  harness + FILE under cscript ("real" or "sim")
#   wine-run.sh BUILD terminal CASE FILE    FILE under cscript in a tmux pane (terminal-test.sh CASE)
#   wine-run.sh BUILD exe FILE [ARGS]       a Windows test program
#   wine-run.sh BUILD unregister FILE       regsvr32 /u, then FILE checks what is left, then register again
#   wine-run.sh BUILD cleanup               stop the wineserver of this prefix
# A test passes only when its last output line is "N passed, 0 failed": Wine's
# cscript exits with 0 even when a script dies of an uncaught error.
set -uo pipefail

build=$(cd "$1" && pwd)
action=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
scripts="$here/../scripts"

export WINEPREFIX="$build/wine-prefix"
export WINEDEBUG=-all
export WINEARCH=win64
# No Mono or Gecko installers, no display.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
step_timeout=${VORLEK_WINE_TIMEOUT:-120}

# Wine's helper processes (services, explorer) outlive a call and keep its
# output descriptors; writing to a file rather than CTest's pipe keeps CTest
# from waiting on them.
log="$build/wine-logs"
mkdir -p "$log"

run_wine() {  # run_wine OUTFILE ARGS...
    local out=$1
    shift
    timeout -k 10 "$step_timeout" wine "$@" </dev/null >"$out" 2>&1
}

passed_line() {  # the verdict: last non-empty line is "N passed, 0 failed", N > 0
    tr -d '\r' <"$1" | sed '/^$/d' | tail -n 1 | grep -Eq '^[1-9][0-9]* passed, 0 failed$'
}

windows_path() { winepath -w "$1" 2>/dev/null; }

register() {
    run_wine "$log/regsvr32.txt" regsvr32 /s "$(windows_path "$build/vorlek.dll")"
}

case "$action" in
setup)
    wineserver -k 2>/dev/null
    rm -rf "$WINEPREFIX"
    # One server for the whole run, detached from CTest's descriptors.
    timeout 30 wineserver -p </dev/null >/dev/null 2>&1
    if ! run_wine "$log/wineboot.txt" wineboot -i; then
        echo "wineboot failed"; cat "$log/wineboot.txt"; exit 1
    fi
    # A prefix with no display driver: console programs only.
    run_wine "$log/reg.txt" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f
    # On a loaded machine the fresh prefix may still be starting its
    # services when regsvr32 runs ("ShellExecuteEx failed"): a few tries.
    tries=0
    until register; do
        tries=$((tries + 1))
        if [ "$tries" -ge 3 ]; then
            echo "regsvr32 failed"; cat "$log/regsvr32.txt"; exit 1
        fi
        sleep 5
    done
    echo "prefix ready: $WINEPREFIX"
    ;;
script)
    file=$1
    platform=$2
    name=$(basename "$file")
    ext=${name##*.}
    combined="$log/${name%.*}-$ext-$platform.$ext"
    cat "$scripts/harness.$ext" "$file" >"$combined"
    if [ "$platform" = sim ]; then export VORLEK_PLATFORM=sim; else unset VORLEK_PLATFORM; fi
    # The sample message file, for the scripts that read it on the real platform.
    VORLEK_MESSAGE_FILE=$(windows_path "$here/../../platform/sim/data/vorlekmsg.dll")
    export VORLEK_MESSAGE_FILE
    VORLEK_MESSAGE_DIR=$(windows_path "$here/../../platform/sim/data")
    export VORLEK_MESSAGE_DIR
    out="$log/$name-$platform.txt"
    run_wine "$out" cscript //nologo "$(windows_path "$combined")" "$platform" wine-cscript
    status=$?
    tr -d '\r' <"$out"
    [ $status -eq 124 ] && { echo "timed out"; exit 1; }
    passed_line "$out"
    ;;
terminal)  # a console script on a real terminal: cscript inside tmux
    unset VORLEK_PLATFORM
    # The driver bounds the run (and ends the pane with its server); under
    # timeout the script would sit in a background process group and could
    # not read the terminal. Wine's prefix lists no services to draw.
    VORLEK_TERMINAL_SETTLE=${VORLEK_TERMINAL_SETTLE:-1} VORLEK_TERMINAL_SERVICE= \
        "$here/../terminal/terminal-test.sh" "$1" wine cscript //nologo "$(windows_path "$2")"
    ;;
exe)
    file=$1
    shift
    out="$log/$(basename "$file").txt"
    run_wine "$out" "$file" "$@"
    status=$?
    tr -d '\r' <"$out"
    [ $status -eq 0 ] && passed_line "$out"
    ;;
unregister)
    file=$1
    run_wine "$log/regsvr32-u.txt" regsvr32 /s /u "$(windows_path "$build/vorlek.dll")"
    status=$?
    combined="$log/unregistered.js"
    cat "$scripts/harness.js" "$file" >"$combined"
    out="$log/unregistered.txt"
    run_wine "$out" cscript //nologo "$(windows_path "$combined")" real wine-cscript
    tr -d '\r' <"$out"
    [ -e "$build/vorlek.tlb" ] && { echo "FAIL vorlek.tlb left behind"; status=1; }
    # Leave the prefix as the other tests expect it.
    register || { echo "registering again failed"; exit 1; }
    [ $status -eq 0 ] && passed_line "$out"
    ;;
exports)  # the DLL exports the four entry points and nothing else
    names=$("$1" -p "$build/vorlek.dll" | sed -n '/Ordinal\/Name Pointer/,/^$/p' | grep -E '^[[:space:]]+\[' |
        awk '{print $NF}' | sort | tr '\n' ' ')
    echo "exports: $names"
    [ "$names" = "DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer " ]
    ;;
cleanup)
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
    exit 0
    ;;
*)
    echo "unknown action $action"
    exit 2
    ;;
esac
