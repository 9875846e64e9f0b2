#!/bin/sh
# ci-install-check.sh [BUILD_DIR]: builds the package from a finished build,
# installs it on this machine as a user would, checks what the installation
# did, and removes it again. Through sudo when not run as root.
set -eu
build=$(cd "${1:-build}" && pwd)
sudo=
[ "$(id -u)" -eq 0 ] || sudo=sudo

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
deb=$(ls "$out"/orvane_*.deb)

fail() { echo "FAIL: $*" >&2; exit 1; }

DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "$deb"
for program in /usr/bin/orvane /usr/bin/orvane-cli; do
    [ "$(stat -c '%U:%G %a' "$program")" = "root:orvane 750" ] || fail "$program is not root:orvane 0750"
    /sbin/getcap "$program" | grep -q 'cap_net_admin,cap_net_raw=eip' || fail "$program has no capture capabilities"
done
/usr/bin/orvane-cli --version >/dev/null || fail "orvane-cli --version"
/usr/bin/orvane-cli --help >/dev/null || fail "orvane-cli --help"
[ -f /usr/share/orvane/language/en.txt ] || fail "no language files"
man -w orvane-cli >/dev/null 2>&1 || fail "no manual page for orvane-cli"

DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y orvane
[ ! -e /usr/bin/orvane ] || fail "/usr/bin/orvane is left behind"
! getent group orvane >/dev/null || fail "the group orvane is left behind"
! $sudo dpkg-statoverride --list /usr/bin/orvane >/dev/null || fail "the override is left behind"
echo "package installed, checked and removed: $(basename "$deb")"
