#!/bin/bash
# Builds the Debian package with `make package`, installs it with apt-get on
# this machine, checks the installed programs, manual pages, menu entries and
# file types, then purges it again and checks that nothing is left: no file
# of the package, no file type or menu entry in the system caches, and no
# package that the installation pulled in.
#
#   sudo scripts/check-package.sh          (run from anywhere; needs root)
#   sudo scripts/check-package.sh --fresh  (also on a fresh Debian 12)
#
# It refuses to run when a package named ferolin is installed already, so
# that it never replaces or removes someone's installation.
#
# With --fresh it also makes a minimal Debian 12 (bookworm) system with
# debootstrap in a temporary folder (plus man-db, as a standard installation
# has it), installs the package there with apt-get, which fetches the
# dependencies from the Debian mirror, checks it the same way, purges it, and
# deletes that system again (KEEP_FRESH=1 keeps it in /var/tmp).
set -u
fresh=no
[ "${1:-}" = --fresh ] && fresh=yes
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-build}
case $build in /*) ;; *) build=$here/$build ;; esac

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
step() { echo; echo "== $*"; }

if [ "$(id -u)" != 0 ]; then
    echo "check-package.sh installs and removes a package: run it as root" >&2
    exit 2
fi
if dpkg-query -W -f='${Status}' ferolin 2>/dev/null | grep -q 'installed'; then
    echo "a package named ferolin is installed already; remove it first" >&2
    exit 2
fi
apt_get() { DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 "$@"; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

step "make package"
if ! make -C "$here" package BUILD="$build" >"$work/make.log" 2>&1; then
    tail -30 "$work/make.log"
    echo "FAIL: make package"
    exit 1
fi
grep -E '^CPack: - package: ' "$work/make.log" | sed "s|$here/||"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
arch=$(dpkg --print-architecture)
deb=$build/ferolin_${version}_${arch}.deb
[ -f "$deb" ] && pass "package file $(basename "$deb")" || { fail "no $deb"; exit 1; }

step "package control fields"
dpkg-deb -f "$deb" Package Version Architecture Maintainer Homepage Depends
depends=$(dpkg-deb -f "$deb" Depends)
[[ $depends == *libqt6core6* && $depends == *libc6* ]] &&
    pass "dependencies computed from the binaries" || fail "Depends: '$depends'"
description=$(dpkg-deb -f "$deb" Description)
[ "$(printf '%s\n' "$description" | wc -l)" -gt 3 ] &&
    pass "short description: $(printf '%s\n' "$description" | head -1)" ||
    fail "description has no long part"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./|/|' >"$work/files"
echo "$(wc -l <"$work/files") files:"
sed 's/^/  /' "$work/files"

step "apt-get install $(basename "$deb")"
dpkg-query -W -f='${Package}\n' | sort >"$work/packages.before"
if apt_get install -y "$deb" >"$work/apt-install.log" 2>&1; then
    pass "apt-get install"
else
    cat "$work/apt-install.log"
    fail "apt-get install"
    exit 1
fi
dpkg-query -W -f='${Package}\n' | sort >"$work/packages.after"
comm -13 "$work/packages.before" "$work/packages.after" >"$work/packages.new"
echo "newly installed packages: $(tr '\n' ' ' <"$work/packages.new")"

step "the installed programs"
out=$(/usr/bin/ferolin --version 2>&1) && [ "$out" = "Ferolin $version" ] &&
    pass "ferolin --version: $out" || fail "ferolin --version: $out"
cp "$here/samples/hike.log" "$work/hike.log"
(cd "$work" && ferolin --no-settings hike.log txt) && [ -s "$work/hike.txt" ] &&
    pass "ferolin --no-settings hike.log txt wrote $(wc -l <"$work/hike.txt") lines" ||
    fail "ferolin batch conversion"
if [ -x /usr/bin/ferolix ]; then
    out=$(/usr/bin/ferolix --version 2>&1) && pass "ferolix --version: $out" ||
        fail "ferolix --version: $out"
    (cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY ferolix hike.log -o hike.gpx) && [ -s "$work/hike.gpx" ] &&
        pass "ferolix hike.log -o hike.gpx wrote $(grep -c '<trkpt' "$work/hike.gpx") track points" ||
        fail "ferolix hike.log -o hike.gpx"
else
    echo "(ferolix is not in this package: the pocket edition is not built in this tree)"
fi
for page in ferolin ferolix; do
    [ -x /usr/bin/$page ] || continue
    where=$(man -w $page 2>&1) && pass "man -w $page: $where" || fail "man -w $page: $where"
    MANWIDTH=80 man $page 2>/dev/null | grep -q '^SYNOPSIS' && pass "man $page shows the page" ||
        fail "man $page"
done

step "menu entries and file types"
for entry in /usr/share/applications/org.ferolin.Ferolin.desktop \
             /usr/share/applications/org.ferolin.Ferolix.desktop; do
    [ -f "$entry" ] || continue
    desktop-file-validate "$entry" | grep -Eq 'error:|warning:' && fail "$entry" ||
        pass "menu entry $entry: $(grep '^Categories=' "$entry")"
done
grep -q 'org.ferolin.Ferolin.desktop' /usr/share/applications/mimeinfo.cache 2>/dev/null &&
    pass "desktop database offers Ferolin: $(grep -c 'org.ferolin.Ferolin.desktop' /usr/share/applications/mimeinfo.cache) types" ||
    fail "org.ferolin.Ferolin.desktop not in /usr/share/applications/mimeinfo.cache"
printf '$GPGGA,073000,4511.3152,N,00543.4752,E,1,08,1.3,211.4,M,,,,*00\r\n' >"$work/ride.nmea"
for sample in hike.log ride.nmea; do
    type=$(gio info -a standard::content-type "$work/$sample" 2>/dev/null | sed -n 's/.*content-type: //p')
    handler=$(gio mime "$type" 2>/dev/null | sed -n '2,$p' | grep -m1 -o 'org.ferolin.Ferolin.desktop')
    [[ $type == application/x-* && -n $handler ]] &&
        pass "$sample: $type, opened by $handler" || fail "$sample: type '$type', handler '$handler'"
done
for size in scalable 16x16 48x48 256x256; do
    ls /usr/share/icons/hicolor/$size/apps/ferolin.* >/dev/null 2>&1 ||
        fail "icon $size missing"
done
pass "icons in /usr/share/icons/hicolor"

step "apt-get remove --purge ferolin"
if apt_get remove --purge -y ferolin >"$work/apt-remove.log" 2>&1; then
    pass "apt-get remove --purge"
else
    cat "$work/apt-remove.log"
    fail "apt-get remove --purge"
fi
# What the installation pulled in goes too, and nothing else.
pulled=$(grep -vx ferolin "$work/packages.new" | tr '\n' ' ')
if [ -n "$pulled" ]; then
    apt_get remove --purge -y $pulled >"$work/apt-remove-deps.log" 2>&1 &&
        pass "removed the packages pulled in: $pulled" || fail "removing $pulled"
fi
dpkg-query -W -f='${Status}\n' ferolin 2>/dev/null | grep -q 'installed' &&
    fail "ferolin still installed" || pass "ferolin is no longer installed"
left=0
while read -r f; do
    if [ -e "$f" ]; then echo "left behind: $f"; left=$((left + 1)); fi
done <"$work/files"
[ $left = 0 ] && pass "none of the $(wc -l <"$work/files") files is left" ||
    fail "$left files left behind"
for dir in /usr/share/doc/ferolin /usr/share/icons/hicolor/scalable/apps/ferolin.svg; do
    [ -e "$dir" ] && fail "left behind: $dir"
done
grep -q 'ferolin' /usr/share/applications/mimeinfo.cache 2>/dev/null &&
    fail "mimeinfo.cache still names ferolin" || pass "desktop database no longer names ferolin"
grep -qx 'application/x-nmea' /usr/share/mime/types 2>/dev/null &&
    fail "the MIME database still defines application/x-nmea" ||
    pass "the MIME database no longer defines the track types"
dpkg-query -W -f='${Package}\n' | sort >"$work/packages.end"
cmp -s "$work/packages.before" "$work/packages.end" &&
    pass "the installed package set is as before" ||
    fail "package set changed: $(diff "$work/packages.before" "$work/packages.end" | grep '^[<>]' | tr '\n' ' ')"

if [ $fresh = yes ]; then
    step "a fresh Debian 12 system (debootstrap --variant=minbase bookworm)"
    if ! command -v debootstrap >/dev/null; then
        apt_get install -y -qq --no-install-recommends debootstrap >/dev/null 2>&1 ||
            { fail "cannot install debootstrap"; exit 1; }
    fi
    mirror=${DEBIAN_MIRROR:-http://deb.debian.org/debian}
    system=$(mktemp -d /var/tmp/ferolin-bookworm.XXXXXX)
    cleanup_system() {
        mountpoint -q "$system/proc" && umount "$system/proc"
        if [ "${KEEP_FRESH:-0}" = 1 ]; then echo "kept $system"; else rm -rf --one-file-system "$system"; fi
        rm -rf "$work"
    }
    trap cleanup_system EXIT
    if debootstrap --variant=minbase --include=man-db bookworm "$system" "$mirror" \
            >"$work/debootstrap.log" 2>&1; then
        pass "debootstrap bookworm into $system"
    else
        tail -20 "$work/debootstrap.log"
        fail "debootstrap"
        exit 1
    fi
    mount -t proc proc "$system/proc"
    cp /etc/resolv.conf "$system/etc/resolv.conf"
    inside() {
        chroot "$system" env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
            HOME=/root LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@"
    }
    inside dpkg-query -W -f='${Package}\n' | sort >"$work/fresh.before"
    echo "the fresh system holds $(wc -l <"$work/fresh.before") packages"
    cp "$deb" "$system/tmp/"
    cp "$here/samples/hike.log" "$system/tmp/hike.log"
    inside apt-get update -qq >/dev/null 2>&1
    if inside apt-get install -y "/tmp/$(basename "$deb")" >"$work/fresh-install.log" 2>&1; then
        pass "apt-get install ./$(basename "$deb") on the fresh system"
        inside dpkg-query -W -f='${Package}\n' | sort >"$work/fresh.installed"
        echo "installed with it: $(comm -13 "$work/fresh.before" "$work/fresh.installed" | tr '\n' ' ')"
    else
        tail -30 "$work/fresh-install.log"
        fail "apt-get install on the fresh system"
        exit 1
    fi
    out=$(inside ferolin --version 2>&1) && [ "$out" = "Ferolin $version" ] &&
        pass "ferolin --version: $out" || fail "ferolin --version: $out"
    inside sh -c 'cd /tmp && ferolin --no-settings hike.log txt' && [ -s "$system/tmp/hike.txt" ] &&
        pass "ferolin --no-settings hike.log txt" || fail "ferolin batch conversion"
    if [ -x "$system/usr/bin/ferolix" ]; then
        out=$(inside ferolix --version 2>&1) && pass "ferolix --version: $out" ||
            fail "ferolix --version: $out"
        inside sh -c 'cd /tmp && ferolix hike.log -o hike.gpx' && [ -s "$system/tmp/hike.gpx" ] &&
            pass "ferolix hike.log -o hike.gpx wrote $(grep -c '<trkpt' "$system/tmp/hike.gpx") track points" ||
            fail "ferolix hike.log -o hike.gpx"
    fi
    for page in ferolin ferolix; do
        [ -x "$system/usr/bin/$page" ] || continue
        where=$(inside man -w $page 2>&1) && pass "man -w $page: $where" || fail "man -w $page: $where"
        inside sh -c "MANWIDTH=80 man $page 2>/dev/null" | grep -q '^SYNOPSIS' &&
            pass "man $page shows the page" || fail "man $page"
    done
    for entry in org.ferolin.Ferolin.desktop org.ferolin.Ferolix.desktop; do
        [ "$entry" = org.ferolin.Ferolix.desktop ] && [ ! -x "$system/usr/bin/ferolix" ] && continue
        [ -f "$system/usr/share/applications/$entry" ] &&
            pass "menu entry $entry" || fail "no menu entry $entry"
    done
    inside apt-get remove --purge -y ferolin >/dev/null 2>&1 &&
        inside apt-get autoremove --purge -y >/dev/null 2>&1 &&
        pass "apt-get remove --purge ferolin; apt-get autoremove --purge" || fail "removal"
    left=0
    while read -r f; do
        if [ -e "$system$f" ]; then echo "left behind: $f"; left=$((left + 1)); fi
    done <"$work/files"
    [ $left = 0 ] && pass "none of the package's files is left" || fail "$left files left behind"
    inside dpkg-query -W -f='${Package}\n' | sort >"$work/fresh.after"
    cmp -s "$work/fresh.before" "$work/fresh.after" &&
        pass "the fresh system's package set is as before" ||
        fail "package set changed: $(diff "$work/fresh.before" "$work/fresh.after" | grep '^[<>]' | tr '\n' ' ')"
fi

echo
if [ $failures = 0 ]; then
    echo "package check passed"
    exit 0
fi
echo "$failures package check(s) failed"
exit 1
