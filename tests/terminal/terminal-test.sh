#!/usr/bin/env bash
# Runs a console script on a real terminal (a tmux pane) the way a person
# would: reads the screen with capture-pane, types with send-keys.
#   terminal-test.sh typed    COMMAND...   typed.js: a line, F5, Ctrl+C
#   terminal-test.sh board    COMMAND...   examples/console.js: drawn, then q
#   terminal-test.sh ctrl-c   COMMAND...   examples/console.js: Ctrl+C caught
#   terminal-test.sh redraw   COMMAND...   examples/console.js: redrawn in place
# COMMAND runs the script (vorlek-run --console FILE, or wine cscript FILE).
set -u
case=$1
shift
socket="vorlek-console-$$"
t() { tmux -L "$socket" "$@"; }
cleanup() { t kill-server 2>/dev/null; }
trap cleanup EXIT
limit=${VORLEK_TERMINAL_TIMEOUT:-30}
# Seconds to let a prompt settle before typing at it (a console that starts
# reading its terminal only once the read begins).
settle=${VORLEK_TERMINAL_SETTLE:-0}

command=$(printf '%q ' "$@")
t new-session -d -x 100 -y 30 -s test "$command; echo \"[exit \$?]\"; sleep 600"

screen() { t capture-pane -p -t test; }
# Waits until the text is on the screen.
expect() {
    local tries=$((limit * 10))
    while ((tries-- > 0)); do
        screen | grep -qF -- "$1" && return 0
        sleep 0.1
    done
    echo "FAIL: \"$1\" never appeared. The screen:"
    screen
    exit 1
}

case "$case" in
typed)
    expect "Name?"
    sleep "$settle"
    t send-keys -t test "Wor" BSpace "rld" Enter
    expect "Name? World"
    expect "Hello, World!"
    # The line's colours: bright green on black for the prompt, yellow on
    # blue for the greeting.
    t capture-pane -e -p -t test | grep "Name?" | grep -q $'\e\\[[0-9;]*92' ||
        { echo "FAIL: the prompt is not bright green"; t capture-pane -e -p -t test; exit 1; }
    t capture-pane -e -p -t test | grep "Hello" | grep -q $'\e\\[[0-9;]*44' ||
        { echo "FAIL: the greeting is not on blue"; t capture-pane -e -p -t test; exit 1; }
    title=$(t display -p -t test '#{pane_title}')
    [ "$title" = "typed input test" ] || { echo "FAIL: title \"$title\""; exit 1; }
    expect "Press F5"
    sleep "$settle"
    t send-keys -t test F5
    expect "Key: F5 "
    expect "Press Ctrl+C"
    sleep "$settle"
    t send-keys -t test C-c
    expect "Caught CTRL_C_EVENT"
    expect "#####"
    expect "All done"
    expect "[exit 0]"
    ;;
board)
    expect "Services:"
    # A service the board shows (none where the machine lists none).
    service=${VORLEK_TERMINAL_SERVICE-Spooler}
    [ -z "$service" ] || expect "$service"
    expect "round 2"
    sleep "$settle"
    t send-keys -t test q
    expect "Board stopped by the q key"
    expect "[exit 0]"
    ;;
redraw)
    # Drawn in place: the rounds go by on the last row, the header stays on
    # the first.
    expect "Services:"
    expect "round 2"
    expect "round 3"
    screen | head -n 1 | grep -qF "Services:" || { echo "FAIL: the header moved"; screen; exit 1; }
    echo "terminal test $case passed"
    exit 0
    ;;
ctrl-c)
    expect "Services:"
    sleep "$settle"
    t send-keys -t test C-c
    expect "Board stopped by CTRL_C_EVENT"
    expect "[exit 0]"
    ;;
*)
    echo "unknown case $case"
    exit 2
    ;;
esac
echo "terminal test $case passed"
