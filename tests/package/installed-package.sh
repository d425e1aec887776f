#!/bin/sh
# The Debian package as a user meets it: built and linted, installed with apt-get over the older
# layout, its program put through the end-to-end checks of a first start, and purged again. It
# installs into this machine, so it runs only as root and only where the build asked for it
# (-DVARROW_PACKAGE_TEST=ON, as CI does).
# Usage: installed-package.sh <the e2e_tests program>
set -eu
root="$(cd "$(dirname "$0")/../.." && pwd)"
e2e_tests="$1"
work="$(mktemp -d)"
installed=0
apt_get() { DEBIAN_FRONTEND=noninteractive apt-get -y -o DPkg::Lock::Timeout=300 "$@"; }
# A failed run leaves the machine as it found it, too.
cleanup() {
    [ "$installed" = 0 ] || apt_get remove --purge varrow >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || fail "needs root: it installs the package into this machine with apt-get"

"$root/scripts/package.sh"
deb="$(ls "$root"/build-deb/varrow_*_amd64.deb)"
lintian --fail-on error,warning "$deb" || fail "lintian found errors or warnings"
# What software centres read: the metainfo, and the desktop entry its ID names.
dpkg-deb -x "$deb" "$work/root"
appstreamcli validate-tree --no-net --strict "$work/root" || fail "appstreamcli found problems"
# The package holds exactly what `cmake --install` installs.
cmake --install "$root/build-deb" --prefix "$work/stage" >/dev/null
(cd "$work/stage" && find . ! -type d | sed 's|^\.|/usr|' | sort) >"$work/installed"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print substr($6, 2) }' | sort >"$work/packed"
diff -u "$work/installed" "$work/packed" || fail "the package and cmake --install differ"

# Version 1.0.0 as a user may have it: the same files, with the desktop entry and the metainfo under
# their old names. The new package is installed over it.
old="$work/varrow-1.0.0"
dpkg-deb -R "$deb" "$old"
mv "$old/usr/share/applications/com.hollin.varrow.desktop" "$old/usr/share/applications/varrow.desktop"
mv "$old/usr/share/metainfo/com.hollin.varrow.metainfo.xml" "$old/usr/share/metainfo/varrow.metainfo.xml"
sed -i 's/^Version: .*/Version: 1.0.0/' "$old/DEBIAN/control"
dpkg-deb --root-owner-group -b "$old" "$work/varrow_1.0.0_amd64.deb" >/dev/null
if dpkg-query -W varrow >/dev/null 2>&1; then apt_get remove --purge varrow; fi
installed=1
apt_get install "$work/varrow_1.0.0_amd64.deb"
apt_get install "$deb"
VARROW_E2E_PROGRAM=/usr/bin/varrow "$e2e_tests" --gtest_filter='EndToEnd.AFirstStart*' ||
    fail "the installed program failed the checks of a first start"

apt_get remove --purge varrow
installed=0
if dpkg-query -W -f='${Status}' varrow 2>/dev/null | grep -q "ok installed"; then fail "varrow is not purged"; fi
while read -r f; do
    [ ! -e "$f" ] || fail "left behind: $f"
done <"$work/packed"
echo "the package installed, ran and was purged without a trace"
