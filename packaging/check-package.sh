#!/bin/sh
# check-package.sh CPACK BUILD_DIR [LINTIAN]: builds the .deb in a scratch
# folder and checks what an installation would do with it.
set -eu
cpack=$1
build=$2
lintian=${3:-}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$build" && "$cpack" -G DEB -B "$work" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/orvane_*.deb)

fail() { echo "FAIL: $*"; exit 1; }

dpkg-deb -e "$deb" "$work/control"
grep -q '^Depends:.*libpcap' "$work/control/control" || fail "no libpcap dependency from the linked libraries"
grep -q '^Depends:.*libqt5widgets' "$work/control/control" || fail "no Qt dependency from the linked libraries"
grep -q 'addgroup --quiet --system orvane' "$work/control/postinst" || fail "postinst creates no group"
grep -q 'dpkg-statoverride --update --add root orvane 0750 "$program"' "$work/control/postinst" ||
    fail "postinst does not restrict the programs to the group"
grep -q 'setcap cap_net_raw,cap_net_admin=eip "$program"' "$work/control/postinst" ||
    fail "postinst grants no capabilities"
[ "$(stat -c %a "$work/control/postinst")" = 755 ] || fail "postinst is not executable"
grep -q 'dpkg-statoverride --remove' "$work/control/postrm" || fail "postrm leaves the overrides behind"

dpkg-deb -c "$deb" >"$work/contents"
for path in ./usr/bin/orvane ./usr/bin/orvane-cli ./usr/share/orvane/language/en.txt \
    ./usr/share/applications/org.orvane.Orvane.desktop ./usr/share/metainfo/org.orvane.Orvane.metainfo.xml \
    ./usr/share/icons/hicolor/48x48/apps/orvane.png ./usr/share/man/man1/orvane-cli.1.gz \
    ./usr/share/bash-completion/completions/orvane-cli; do
    grep -q " $path\$" "$work/contents" || fail "$path is not in the package"
done

if [ -z "$lintian" ]; then
    echo "lintian is not installed (tools/install-deps.sh installs it); skipped"
    exit 0
fi
# lintian refuses to run as root without this.
"$lintian" --allow-root --fail-on error --no-tag-display-limit "$deb"
echo "package: $(basename "$deb") ok"
