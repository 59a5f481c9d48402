#!/usr/bin/env bash
# Checks of the test DC itself with Samba's own clients, run through
# `scripts/samba-dc run` (the client namespace, DIR/env exported):
#   dc-test.sh rpc        srvinfo and enumdomusers, by name and by address;
#                         the DC found from the domain's DNS name
#   dc-test.sh shares     the share commands: directories under DIR only
#   dc-test.sh shutdown   the shutdown scripts only write DIR/shutdown.log
set -euo pipefail

fail() {
    echo "FAIL: $*" >&2
    failed=1
}
failed=0
rpc() { timeout 30 rpcclient -A "$VORLEK_DC_AUTH_FILE" -c "$1" "$2" 2>&1; }

case "$1" in
rpc)
    # The DC found by its short name through the client's resolver, then by
    # its address; the password comes from the authentication file only.
    for server in "$VORLEK_DC_NAME" "$VORLEK_DC_IP"; do
        out="$(rpc srvinfo "$server")" || fail "srvinfo $server: $out"
        grep -q "^[[:space:]]*${VORLEK_DC_NAME}[[:space:]]" <<<"$out" || fail "srvinfo $server does not name $VORLEK_DC_NAME: $out"
        out="$(rpc enumdomusers "$server")" || fail "enumdomusers $server: $out"
        for user in Administrator Guest krbtgt; do
            grep -q "user:\[$user\]" <<<"$out" || fail "enumdomusers $server lacks $user: $out"
        done
    done
    # Discovery of the DC from the domain's DNS name (SRV records, then a
    # CLDAP ping), as a client given only the domain does it. (From the
    # NetBIOS name CORP it needs NetBIOS, which is off: only once the DNS
    # name has been looked up does the client's cache answer for CORP.)
    out="$(timeout 30 net lookup dsgetdcname "$VORLEK_DC_REALM" 2>&1)" || fail "no DC found for $VORLEK_DC_REALM: $out"
    grep -q "dc_address *: '\\\\\\\\$VORLEK_DC_IP'" <<<"$out" || fail "DC of $VORLEK_DC_REALM not at $VORLEK_DC_IP: $out"
    ;;
shares)
    dir="$VORLEK_DC_DIR"
    outside="${dir}-outside"
    trap 'rm -rf "$outside" "$dir/share/t-ok" "$dir/share/t-link"' EXIT
    mkdir -p "$dir/share/t-ok" "$outside"
    ln -sfn /etc "$dir/share/t-link"
    # name | path | expected rpcclient output (empty: added)
    while IFS='|' read -r name path expected; do
        out="$(rpc "netshareadd $path $name 5 comment_$name" "$VORLEK_DC_NAME")" || true
        if [ -z "$expected" ]; then
            [ -z "$out" ] || fail "adding $name ($path): $out"
            list="$(rpc 'netshareenumall 2' "$VORLEK_DC_NAME")"
            grep -q "netname: $name\$" <<<"$list" || fail "$name not listed: $list"
            grep -q "remark:[[:space:]]*comment_$name\$" <<<"$list" || fail "$name without its comment: $list"
            out="$(rpc "netsharesetinfo $name changed_$name" "$VORLEK_DC_NAME")" || fail "changing $name: $out"
            grep -q "remark:[[:space:]]*changed_$name\$" <<<"$(rpc "netsharegetinfo $name 1" "$VORLEK_DC_NAME")" ||
                fail "$name not changed"
            out="$(rpc "netsharedel $name" "$VORLEK_DC_NAME")" || fail "deleting $name: $out"
            list="$(rpc 'netshareenumall' "$VORLEK_DC_NAME")"
            ! grep -q "netname: $name\$" <<<"$list" || fail "$name still listed after its deletion"
        else
            grep -q "$expected" <<<"$out" || fail "adding $name ($path): expected $expected, got: ${out:-success}"
        fi
    done <<TABLE
tok|$dir/share/t-ok|
tetc|/etc|WERR_ACCESS_DENIED
tlink|$dir/share/t-link|WERR_ACCESS_DENIED
tdots|$dir/share/t-ok/../../../..|WERR_ACCESS_DENIED
tprefix|$outside|WERR_ACCESS_DENIED
tmissing|$dir/share/t-none|WERR_FILE_NOT_FOUND
TABLE
    ;;
shutdown)
    log="$VORLEK_DC_DIR/shutdown.log"
    before=$( (cat "$log" 2>/dev/null || true) | wc -l)
    net=(timeout 30 net rpc -A "$VORLEK_DC_AUTH_FILE" -S "$VORLEK_DC_NAME")
    "${net[@]}" shutdown -r -f -t 30 -C "test of the shutdown script" || fail "shutdown refused"
    "${net[@]}" abortshutdown || fail "abortshutdown refused"
    lines="$(tail -n +$((before + 1)) "$log")"
    grep -q "shutdown message=test_of_the_shutdown_script reboot=-r force=-f" <<<"$lines" || fail "no shutdown line: $lines"
    grep -q " abort\$" <<<"$lines" || fail "no abort line: $lines"
    ;;
*)
    echo "usage: $0 rpc|shares|shutdown" >&2
    exit 2
    ;;
esac
exit $failed
