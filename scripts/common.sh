# Shared by the scripts: install missing Debian packages, run as root or with sudo.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"

_apt_updated=0
need_packages() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    if [ $_apt_updated -eq 0 ]; then
        $sudo apt-get update -qq
        _apt_updated=1
    fi
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
}

# libregf-utils and libevt-utils: independent readers the tests check saved
# hive and event-log files with.
NATIVE_PACKAGES=(cmake ninja-build g++ googletest libgtest-dev duktape-dev libregf-utils libevt-utils tmux)
# The remote backend builds on Samba's client libraries (samba-dev, found
# through pkg-config), and its tests run against a Samba domain controller
# started by scripts/samba-dc (samba-ad-provision is only recommended by
# samba-ad-dc, but provisioning needs it; ip, pgrep and the namespaces).
REMOTE_PACKAGES=(samba samba-dev samba-ad-dc samba-ad-provision krb5-user winbind smbclient libsmbclient-dev ldb-tools
                 pkgconf iproute2 procps)
# The sanitizer build uses clang and its run-time libraries.
CLANG_PACKAGES=(clang libclang-rt-14-dev)
# The Windows build (mingw-w64 with the posix thread model) and Wine to run
# its tests (with the libraries Wine uses that its packages only recommend),
# and an X server with screenshots for the message window drawn by Wine.
WINDOWS_PACKAGES=(mingw-w64 g++-mingw-w64-x86-64 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64
                  libgnutls30 libdbus-1-3 libgl1
                  xvfb xauth x11-apps imagemagick)
