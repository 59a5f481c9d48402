#!/usr/bin/env bash
# Runs one script test against the test DC through `vorlek-run --remote`,
# with the shared harness in front, inside the DC's client namespace (where
# scripts/samba-dc run has set VORLEK_DC_*). The script's arguments are
# "remote vorlek-run SHARE_DIR" (a directory the DC shares from). Passes when
# the run ends with status 0 and its last line reads "N passed, 0 failed".
#   run-script.sh VORLEK_RUN HARNESS SCRIPT              as the DC's administrator
#   run-script.sh VORLEK_RUN HARNESS SCRIPT wrong-password   with a wrong password
set -uo pipefail
host="$1" harness="$2" script="$3" mode="${4:-}"
password_file="$VORLEK_DC_PASSWORD_FILE"
share_dir="$VORLEK_DC_DIR/share"
if [ "$mode" = wrong-password ]; then
    password_file="$(mktemp)"
    trap 'rm -f "$password_file"' EXIT
    printf wrong >"$password_file"
    share_dir=-
fi
# Samba's client library writes some failures to stderr itself: shown, but
# only the script's own output decides.
out="$(timeout -k 10 300 "$host" --remote "$VORLEK_DC_IP" --user "$VORLEK_DC_USER" \
    --password-file "$password_file" --include "$harness" "$script" remote vorlek-run "$share_dir" $mode)"
status=$?
printf '%s\n' "$out"
last="$(printf '%s\n' "$out" | tail -n 1)"
if [ $status -ne 0 ] || ! [[ "$last" =~ ^[0-9]+\ passed,\ 0\ failed$ ]]; then
    echo "remote script test failed (status $status)" >&2
    exit 1
fi
