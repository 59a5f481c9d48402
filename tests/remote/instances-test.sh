#!/usr/bin/env bash
# A second DC in DIR beside the suite's (FIRST_DIR) at once, then its stop:
#   instances-test.sh SAMBA_DC FIRST_DIR DIR
# Each client reaches only its own DC; run passes the environment and the
# exit code through; stop leaves no process and no namespace, twice in a row
# and after a start that failed; a restart forgets what the run changed; the
# first DC is untouched throughout.
set -euo pipefail
dc="$1" first="$2" dir="$3"
failed=0
fail() {
    echo "FAIL: $*" >&2
    failed=1
}
# shellcheck disable=SC1091
env_of() { (source "$1/env" && eval "echo \$$2"); }
srvinfo() { "$dc" run "$1" -- timeout 20 rpcclient -A "$1/admin.auth" -c srvinfo "$2" >/dev/null 2>&1; }
left_over() { # DIR NS... -> what of the instance remains
    # This script's own subshells carry DIR in their command line too.
    local self pid
    self="$(tr '\0' ' ' </proc/$$/cmdline)"
    for pid in $(pgrep -f -- "$1"); do
        [ "$(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null)" = "$self" ] || ps -o pid=,args= -p "$pid" || true
    done
    shift
    for ns in "$@"; do ip netns list | grep -w -- "$ns" || true; done
}
trap '"$dc" stop "$dir" >/dev/null 2>&1 || true' EXIT

"$dc" start "$dir"
ns="$(env_of "$dir" VORLEK_DC_CLIENT_NS)"
server_ns="${ns/vorlek-dcc-/vorlek-dc-}"
[ "$(env_of "$dir" VORLEK_DC_IP)" != "$(env_of "$first" VORLEK_DC_IP)" ] || fail "both DCs at one address"
[ "$ns" != "$(env_of "$first" VORLEK_DC_CLIENT_NS)" ] || fail "both DCs with one client namespace"

# client | server | expected (0 answers, 1 does not)
while read -r client server expected; do
    srvinfo "$client" "$(env_of "$server" VORLEK_DC_IP)" && got=0 || got=1
    [ "$got" = "$expected" ] || fail "client of $client to DC of $server: expected $expected, got $got"
done <<TABLE
$dir $dir 0
$first $first 0
$dir $first 1
$first $dir 1
TABLE

# What a run changes in the domain is gone at the next start.
"$dc" run "$dir" -- rpcclient -A "$dir/admin.auth" -c "createdomuser vorlekprobe" "$(env_of "$dir" VORLEK_DC_IP)" ||
    fail "could not create an account"

code=0
# shellcheck disable=SC2016 # expanded by the inner shell
VORLEK_PROBE=passed "$dc" run "$dir" -- sh -c 'test "$VORLEK_PROBE" = passed && test -n "$VORLEK_DC_IP" && exit 7' || code=$?
[ "$code" = 7 ] || fail "run: expected exit code 7 with the environment passed, got $code"

for attempt in 1 2; do
    "$dc" stop "$dir" || fail "stop $attempt failed"
    rest="$(left_over "$dir" "$ns" "$server_ns")"
    [ -z "$rest" ] || fail "left after stop $attempt: $rest"
done
code=0
"$dc" status "$dir" >/dev/null || code=$?
[ "$code" = 3 ] || fail "status of a stopped DC: expected 3, got $code"

"$dc" start "$dir"
"$dc" run "$dir" -- rpcclient -A "$dir/admin.auth" -c enumdomusers "$(env_of "$dir" VORLEK_DC_IP)" >"$dir/users" ||
    fail "enumdomusers after a restart"
grep -q 'user:\[Administrator\]' "$dir/users" || fail "no accounts listed after a restart"
! grep -q vorlekprobe "$dir/users" || fail "an account of the previous run is still there after a restart"

# A start that fails (no time to answer) cleans up after itself.
code=0
VORLEK_DC_START_TIMEOUT=0 "$dc" start "$dir" 2>/dev/null || code=$?
[ "$code" = 1 ] || fail "start without time to answer: expected 1, got $code"
rest="$(left_over "$dir" "$ns" "$server_ns")"
[ -z "$rest" ] || fail "left after a failed start: $rest"

srvinfo "$first" "$(env_of "$first" VORLEK_DC_IP)" || fail "the first DC no longer answers"
exit $failed
