#!/bin/sh
# The Debian package as a user meets it: built and linted, installed with apt-get, started under Xvfb
# with openbox, and purged again leaving nothing behind. It installs into this machine, so it runs
# only as root and only where the build asked for it (-DVARROW_PACKAGE_TEST=ON, as CI does).
# Usage: installed-package.sh <folder for the screenshot>
set -eu
root="$(cd "$(dirname "$0")/../.." && pwd)"
shots="${1:-$PWD}"
work="$(mktemp -d)"
pids=""
installed=0
cleanup() {
    for p in $pids; do kill "$p" 2>/dev/null || true; done
    # A failed run leaves the machine as it found it, too.
    [ "$installed" = 0 ] || DEBIAN_FRONTEND=noninteractive apt-get remove --purge -y varrow >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
# wait_until <seconds> <command...>: polls the command until it succeeds or the time is up.
wait_until() {
    limit=$(( $(date +%s) + $1 )); shift
    until "$@"; do
        [ "$(date +%s)" -lt "$limit" ] || return 1
        sleep 0.1
    done
}
[ "$(id -u)" -eq 0 ] || fail "needs root: it installs the package into this machine with apt-get"

"$root/scripts/package.sh"
deb="$(ls "$root"/build-deb/varrow_*_amd64.deb)"
echo "== lintian $deb"
lintian --fail-on error,warning "$deb" || fail "lintian found errors or warnings"
# What software centres read: the metainfo, and the desktop entry its ID names.
dpkg-deb -x "$deb" "$work/root"
appstreamcli validate-tree --no-net --strict "$work/root" || fail "appstreamcli found problems"

# The package holds exactly what `cmake --install` installs.
cmake --install "$root/build-deb" --prefix "$work/stage" >/dev/null
(cd "$work/stage" && find . ! -type d | sed 's|^\.|/usr|' | sort) >"$work/installed"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print substr($6, 2) }' | sort >"$work/packed"
diff -u "$work/installed" "$work/packed" || fail "the package and cmake --install differ"

if dpkg-query -W -f='${Status}' varrow 2>/dev/null | grep -q "ok installed"; then
    echo "== removing the varrow package already installed"
    DEBIAN_FRONTEND=noninteractive apt-get remove --purge -y -o DPkg::Lock::Timeout=300 varrow
fi
# What was there before, to compare with after the purge.
dpkg-deb -c "$deb" | awk '{ print substr($6, 2) }' | sed 's|/$||' | grep . >"$work/paths"
while read -r p; do
    if [ -e "$p" ]; then echo "$p"; fi
done <"$work/paths" >"$work/existed"
search() {
    find /usr /etc /var /opt \( -path "$root" -o -path "$work" \) -prune -o -iname '*varrow*' -print 2>/dev/null | sort
}
search >"$work/before"

# Version 1.0.0 as a user may have it: the same files, with the desktop entry and the metainfo under
# their old names. The new package is installed over it.
echo "== apt-get install the older layout, then $deb over it"
old="$work/varrow-1.0.0"
dpkg-deb -R "$deb" "$old"
mv "$old/usr/share/applications/com.hollin.varrow.desktop" "$old/usr/share/applications/varrow.desktop"
mv "$old/usr/share/metainfo/com.hollin.varrow.metainfo.xml" "$old/usr/share/metainfo/varrow.metainfo.xml"
sed -i 's/^Version: .*/Version: 1.0.0/' "$old/DEBIAN/control"
dpkg-deb --root-owner-group -b "$old" "$work/varrow_1.0.0_amd64.deb" >/dev/null
installed=1
DEBIAN_FRONTEND=noninteractive apt-get install -y -o DPkg::Lock::Timeout=300 "$work/varrow_1.0.0_amd64.deb"
DEBIAN_FRONTEND=noninteractive apt-get install -y -o DPkg::Lock::Timeout=300 "$deb"
dpkg -L varrow

echo "== the installed program under Xvfb with openbox"
Xvfb -displayfd 3 -screen 0 1280x800x24 -br -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids="$pids $!"
wait_until 20 test -s "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
display=":$(cat "$work/display")"
# openbox runs the startup command once it manages windows; its _NET_SUPPORTING_WM_CHECK comes
# earlier, and a window mapped in between is never managed nor shown.
DISPLAY="$display" openbox --sm-disable --startup "touch $work/openbox-ready" 2>"$work/openbox.log" &
pids="$pids $!"
wait_until 30 test -e "$work/openbox-ready" || fail "openbox did not start: $(cat "$work/openbox.log")"
mkdir -p "$work/home" "$work/runtime"
chmod 700 "$work/runtime"
# A user's plain session: the program is found on PATH and its files where the package put them.
session="PATH=/usr/bin:/bin HOME=$work/home XDG_RUNTIME_DIR=$work/runtime DISPLAY=$display LANG=C.UTF-8"
env -i $session varrow --trace "$work/trace" >"$work/first.log" 2>&1 &
first=$!
pids="$pids $first"
wait_until 30 grep -qs "^[0-9]* ready$" "$work/trace" ||
    fail "the installed program did not come up: $(cat "$work/first.log" "$work/trace" 2>/dev/null)"
wait_until 30 grep -q "finished Show" "$work/trace" || fail "Genie did not appear: $(cat "$work/trace")"
mkdir -p "$shots"
DISPLAY="$display" import -window root "$shots/installed-package.png"
place="$(sed -n 's/.*window shown Genie \([0-9-]*\),\([0-9-]*\) \([0-9]*\)x\([0-9]*\).*/\3x\4+\1+\2/p' "$work/trace" | head -n 1)"
[ -n "$place" ] && [ "$(convert "$shots/installed-package.png" -crop "$place" -format '%[fx:mean>0.02]' info:)" = 1 ] ||
    fail "Genie is not on the screen (its window: ${place:-none}); see $shots/installed-package.png"
second=0
timeout 30 env -i $session varrow >"$work/second.log" 2>&1 || second=$?
[ "$second" = 0 ] || fail "a second start exited with $second: $(cat "$work/second.log")"
kill -0 "$first" 2>/dev/null || fail "the first program ended when started again"
kill "$first"
wait "$first" || true

echo "== apt-get remove --purge varrow"
DEBIAN_FRONTEND=noninteractive apt-get remove --purge -y -o DPkg::Lock::Timeout=300 varrow
installed=0
case "$(dpkg-query -W -f='${Status}' varrow 2>/dev/null)" in
    "" | *not-installed) ;;
    *) fail "varrow is not purged: $(dpkg-query -W -f='${Status}' varrow)" ;;
esac
left=""
while read -r p; do
    if [ -e "$p" ] && ! grep -qx "$p" "$work/existed"; then left="$left $p"; fi
done <"$work/paths"
[ -z "$left" ] || fail "left behind:$left"
search >"$work/after"
diff -u "$work/before" "$work/after" || fail "files named after varrow are left behind"
echo "== the package installed, ran and was purged without a trace"
