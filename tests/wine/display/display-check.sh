#!/usr/bin/env bash
# The message window drawn by Wine on a real X display (Xvfb, 1024 x 768):
#   display-check.sh BUILD SCRIPT
# In a prefix of its own with Wine's X11 driver, SCRIPT shows the window
# with red centred text, then with blue text on the left; a screenshot of
# each (ImageMagick's import) shows where the window and the text's pixels
# are. Passes when the window and the red text are centred on the screen and
# the blue text starts at the window's left.
set -uo pipefail

inside=0
if [ "$1" = --inside ]; then  # the part that runs on the X display
    inside=1
    shift
fi
build=$(cd "$1" && pwd)
script=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
here=$(cd "$(dirname "$0")" && pwd)
for tool in xvfb-run import convert wine; do
    command -v "$tool" >/dev/null || { echo "FAIL $tool is not installed"; exit 1; }
done

export WINEPREFIX="$build/wine-display-prefix"
export WINEDEBUG=-all
export WINEARCH=win64
export WINEDLLOVERRIDES="mscoree,mshtml="
log="$build/wine-logs/display"
exchange="$log/exchange"

if [ $inside -eq 1 ]; then
    wineserver -k 2>/dev/null
    timeout 30 wineserver -p </dev/null >/dev/null 2>&1
    [ -d "$WINEPREFIX" ] || timeout 300 wine wineboot -i </dev/null >"$log/wineboot.txt" 2>&1
    timeout 120 wine regsvr32 /s "$(winepath -w "$build/vorlek.dll")" </dev/null >"$log/regsvr32.txt" 2>&1
    cat "$here/../../scripts/harness.js" "$script" >"$log/display.js"
    timeout 300 wine cscript //nologo "$(winepath -w "$log/display.js")" real wine-cscript \
        "$(winepath -w "$exchange")" </dev/null >"$log/script.txt" 2>&1 &
    pid=$!
    for step in 1 2; do
        i=0
        until [ -e "$exchange/shown-$step.txt" ] || [ $i -ge 600 ]; do sleep 0.2; i=$((i + 1)); done
        sleep 1  # let the X server draw it
        import -window root "$log/shot-$step.png" 2>>"$log/import.txt"
        touch "$exchange/taken-$step.txt"
    done
    wait $pid
    wineserver -k 2>/dev/null
    exit 0
fi

rm -rf "$log"
mkdir -p "$exchange"
timeout 900 xvfb-run -a -s "-screen 0 1024x768x24" "$0" --inside "$build" "$script"
tr -d '\r' <"$log/script.txt"

failed=0
# The bounding box "W H X Y" of the pixels near a colour.
box() {
    convert "$1" -fuzz 25% -fill black +opaque "$2" -fill white -opaque "$2" -trim \
        -format "%w %h %X %Y" info: 2>/dev/null
}
for step in 1 2; do
    [ -e "$log/shot-$step.png" ] || { echo "FAIL no screenshot $step"; failed=1; }
done
if [ $failed -eq 0 ]; then
    # The window is all there is on the black root window.
    read -r ww wh wx wy <<<"$(convert "$log/shot-1.png" -trim -format "%w %h %X %Y" info:)"
    echo "window: ${ww}x${wh} at ${wx}${wy}"
    cx=$(( ${wx#+} + ww / 2 )) cy=$(( ${wy#+} + wh / 2 ))
    if [ $((cx - 512)) -gt 2 ] || [ $((512 - cx)) -gt 2 ] || [ $((cy - 384)) -gt 2 ] || [ $((384 - cy)) -gt 2 ]; then
        echo "FAIL the window is not centred on the screen"; failed=1
    fi
    read -r w h x y <<<"$(box "$log/shot-1.png" red)"
    echo "red text: ${w}x${h} at ${x}${y}"
    centre=$(( ${x#+} + w / 2 ))
    if [ "${w:-0}" -lt 20 ] || [ $((centre - 512)) -gt 12 ] || [ $((512 - centre)) -gt 12 ]; then
        echo "FAIL red text is not centred on the screen"; failed=1
    fi
    middle=$(( ${y#+} + h / 2 ))
    if [ $((middle - 384)) -gt 75 ] || [ $((384 - middle)) -gt 75 ]; then
        echo "FAIL red text is not in the window at the screen's centre"; failed=1
    fi
    read -r w2 h2 x2 y2 <<<"$(box "$log/shot-2.png" blue)"
    echo "blue text: ${w2}x${h2} at ${x2}${y2}"
    # The window is 400 pixels wide at the centre: its left edge is at 312.
    if [ "${w2:-0}" -lt 20 ] || [ "${x2#+}" -lt 312 ] || [ "${x2#+}" -gt 340 ]; then
        echo "FAIL blue text does not start at the window's left"; failed=1
    fi
fi
if [ $failed -eq 0 ] && tr -d '\r' <"$log/script.txt" | sed '/^$/d' | tail -n 1 |
    grep -Eq '^[1-9][0-9]* passed, 0 failed$'; then
    echo "5 passed, 0 failed"
    exit 0
fi
echo "display check failed"
exit 1
