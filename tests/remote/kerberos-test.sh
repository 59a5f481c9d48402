#!/usr/bin/env bash
# Signing in with a Kerberos ticket instead of a password: kinit from the
# DC's administrator password, then vorlek-run --remote with no password
# file and no terminal; the ticket cache is the test's own and goes after.
#   kerberos-test.sh VORLEK_RUN HARNESS SCRIPT
set -uo pipefail
host="$1" harness="$2" script="$3"
cache="$(mktemp)"
trap 'kdestroy -q -c "FILE:$cache" 2>/dev/null; rm -f "$cache"' EXIT
export KRB5CCNAME="FILE:$cache"
if ! kinit "Administrator@$VORLEK_DC_REALM" <"$VORLEK_DC_PASSWORD_FILE" >/dev/null; then
    echo "kinit failed" >&2
    exit 1
fi
out="$(timeout -k 10 120 "$host" --remote "$VORLEK_DC_NAME.$VORLEK_DC_REALM" --user "Administrator@$VORLEK_DC_REALM" \
    --include "$harness" "$script" remote vorlek-run </dev/null)"
status=$?
printf '%s\n' "$out"
last="$(printf '%s\n' "$out" | tail -n 1)"
if [ $status -ne 0 ] || ! [[ "$last" =~ ^[0-9]+\ passed,\ 0\ failed$ ]]; then
    echo "Kerberos test failed (status $status)" >&2
    exit 1
fi
