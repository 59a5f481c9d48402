#!/usr/bin/env bash
# Runs one script test against the test DC through `vorlek-run --remote`,
# with the shared harness in front, inside the DC's client namespace (where
# scripts/samba-dc run has set VORLEK_DC_*). Passes when the run ends with
# status 0 and its last line reads "N passed, 0 failed".
#   run-script.sh VORLEK_RUN HARNESS SCRIPT
set -uo pipefail
host="$1" harness="$2" script="$3"
out="$(timeout -k 10 300 "$host" --remote "$VORLEK_DC_IP" --user "$VORLEK_DC_USER" \
    --password-file "$VORLEK_DC_PASSWORD_FILE" --include "$harness" "$script" remote vorlek-run 2>&1)"
status=$?
printf '%s\n' "$out"
last="$(printf '%s\n' "$out" | tail -n 1)"
if [ $status -ne 0 ] || ! [[ "$last" =~ ^[0-9]+\ passed,\ 0\ failed$ ]]; then
    echo "remote script test failed (status $status)" >&2
    exit 1
fi
