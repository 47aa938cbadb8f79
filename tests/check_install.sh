#!/bin/bash
# Installs the build tree into temporary DESTDIRs and checks the result:
# every file of the layout and nothing else, the prefix respected, the
# installed programs' --version, the desktop entries and AppStream metainfo
# through their validators, the MIME types through update-mime-database and
# GIO's type guessing, the rendered icon sizes and the bash completion.
#
#   check_install.sh BUILD_DIR VERSION WITH_FEROLIX(0|1)
set -u
build=$1
version=$2
with_ferolix=$3

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root

# --- install into DESTDIR with prefix /usr ---------------------------------
if ! DESTDIR=$root cmake --install "$build" --prefix /usr >"$work/install.log" 2>&1; then
    cat "$work/install.log"
    fail "cmake --install into DESTDIR"
    exit 1
fi

expected=(
    usr/bin/ferolin
    usr/share/man/man1/ferolin.1.gz
    usr/share/applications/org.ferolin.Ferolin.desktop
    usr/share/metainfo/org.ferolin.Ferolin.metainfo.xml
    usr/share/mime/packages/ferolin.xml
    usr/share/bash-completion/completions/ferolin
    usr/share/icons/hicolor/scalable/apps/ferolin.svg
    usr/share/doc/ferolin/README.md
    usr/share/doc/ferolin/LICENSE
)
sizes=(16 22 24 32 48 64 128 256)
for s in "${sizes[@]}"; do
    expected+=("usr/share/icons/hicolor/${s}x${s}/apps/ferolin.png")
done
if [ "$with_ferolix" = 1 ]; then
    expected+=(
        usr/bin/ferolix
        usr/share/man/man1/ferolix.1.gz
        usr/share/applications/org.ferolin.Ferolix.desktop
        usr/share/metainfo/org.ferolin.Ferolix.metainfo.xml
        usr/share/bash-completion/completions/ferolix
    )
fi
printf '%s\n' "${expected[@]}" | sort >"$work/expected"
(cd "$root" && find . -type f -o -type l | sed 's|^\./||' | sort) >"$work/installed"
if diff -u "$work/expected" "$work/installed"; then
    pass "DESTDIR install holds exactly the ${#expected[@]} files of the layout"
else
    fail "installed files differ from the layout (- expected, + installed)"
fi
for f in usr/bin/ferolin usr/bin/ferolix; do
    [ -e "$root/$f" ] || continue
    [ -x "$root/$f" ] && pass "$f is executable" || fail "$f is not executable"
done

# --- another prefix: everything lands below it ------------------------------
other=$work/other
if DESTDIR=$other cmake --install "$build" --prefix /opt/ferolin >/dev/null 2>&1 &&
   [ -x "$other/opt/ferolin/bin/ferolin" ] &&
   [ -f "$other/opt/ferolin/share/man/man1/ferolin.1.gz" ] &&
   [ -z "$(cd "$other" && find . -type f -not -path './opt/ferolin/*')" ] &&
   [ "$(cd "$other/opt/ferolin" && find . -type f | wc -l)" = "${#expected[@]}" ]; then
    pass "prefix /opt/ferolin respected"
else
    fail "install with prefix /opt/ferolin"
fi

# --- the installed programs -------------------------------------------------
out=$("$root/usr/bin/ferolin" --version 2>&1); rc=$?
if [ $rc = 0 ] && [ "$out" = "Ferolin $version" ]; then
    pass "ferolin --version: $out"
else
    fail "ferolin --version gave status $rc and '$out', expected 'Ferolin $version'"
fi
if [ "$with_ferolix" = 1 ]; then
    out=$("$root/usr/bin/ferolix" --version 2>&1); rc=$?
    if [ $rc = 0 ] && [ "$(printf '%s\n' "$out" | wc -l)" = 1 ] &&
       printf '%s' "$out" | grep -Eq '^ferolix [0-9]+(\.[0-9]+)+'; then
        pass "ferolix --version: $out"
    else
        fail "ferolix --version gave status $rc and '$out'"
    fi
fi

# --- the compressed manual pages open with man -----------------------------------
for page in "$root"/usr/share/man/man1/*.1.gz; do
    warnings=$(MANWIDTH=80 MAN_KEEP_STDERR=1 LC_ALL=C.UTF-8 man -l "$page" 2>&1 >"$work/page.txt")
    if [ -z "$warnings" ] && grep -q '^SYNOPSIS' "$work/page.txt"; then
        pass "man -l $(basename "$page")"
    else
        fail "man -l $(basename "$page"): $warnings"
    fi
done

# --- desktop entries --------------------------------------------------------
for entry in "$root"/usr/share/applications/*.desktop; do
    name=$(basename "$entry")
    report=$(desktop-file-validate "$entry" 2>&1); rc=$?
    if [ $rc = 0 ] && ! printf '%s' "$report" | grep -Eq 'error:|warning:'; then
        pass "desktop-file-validate $name ($(printf '%s' "$report" | grep -c 'hint:') hint(s))"
    else
        fail "desktop-file-validate $name: $report"
    fi
    program=$(sed -n 's/^Exec=\([^ ]*\) %f$/\1/p' "$entry")
    [ -n "$program" ] && [ -x "$root/usr/bin/$program" ] &&
        pass "$name runs an installed program: $program %f" ||
        fail "$name: Exec is not 'PROGRAM %f' of an installed program"
    grep -qx 'Categories=Utility;Geography;' "$entry" &&
        pass "$name is under Utility;Geography" || fail "$name categories"
done

# --- AppStream --------------------------------------------------------------
for info in "$root"/usr/share/metainfo/*.metainfo.xml; do
    name=$(basename "$info")
    report=$(appstreamcli validate --no-net "$info" 2>&1); rc=$?
    [ $rc = 0 ] && pass "appstreamcli validate --no-net $name" ||
        fail "appstreamcli validate $name: $report"
    grep -q "<release version=\"$version\"" "$info" &&
        pass "$name names release $version" || fail "$name lacks release $version"
    id=${name%.metainfo.xml}
    grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$info" &&
        [ -f "$root/usr/share/applications/$id.desktop" ] &&
        pass "$name launches the installed $id.desktop" || fail "$name launchable"
done

# --- file types ---------------------------------------------------------------
mimexml=$root/usr/share/mime/packages/ferolin.xml
if xmllint --noout "$mimexml" 2>"$work/xmllint.log"; then
    pass "ferolin.xml is well-formed"
else
    fail "ferolin.xml: $(cat "$work/xmllint.log")"
fi
db=$work/data/mime
mkdir -p "$db/packages"
cp /usr/share/mime/packages/freedesktop.org.xml "$mimexml" "$db/packages/"
if XDG_DATA_HOME=$work/data XDG_DATA_DIRS=$work/data update-mime-database "$db" >"$work/umd.log" 2>&1 && [ ! -s "$work/umd.log" ]; then
    pass "update-mime-database accepts ferolin.xml without a message"
else
    fail "update-mime-database: $(cat "$work/umd.log")"
fi
# Every type a desktop entry lists is known to the database.
for entry in "$root"/usr/share/applications/*.desktop; do
    for type in $(sed -n 's/^MimeType=//p' "$entry" | tr ';' ' '); do
        grep -qx "$type" "$db/types" ||
            fail "$(basename "$entry") lists $type, which the database does not define"
    done
done
# What a file manager decides for sample files (name and first bytes).
samples=$work/samples
mkdir -p "$samples"
printf 'BlueGPS Datalog\r\nAbout total Numbers: 1\r\n' >"$samples/walk.log"
printf 'BlueGPS Datalog\r\nAbout total Numbers: 1\r\n' >"$samples/walk.txt"
printf 'a log of something else\n' >"$samples/other.log"
printf '$GPGGA,073000,4511.3152,N,00543.4752,E,1,08,1.3,211.4,M,,,,*00\r\n' >"$samples/ride.nmea"
printf '$GPRMC,073000,A,4511.3152,N,00543.4752,E,3.2,37.4,160607,,*00\r\n' >"$samples/ride.nme"
printf '$PMGNTRK,4511.315,N,00543.475,E,00211,M,073000.00,A,,160607*00\r\n' >"$samples/sd.log"
printf '$PMGNTRK,4511.315,N,00543.475,E,00211,M,073000.00,A,,160607*00\r\n' >"$samples/sd.trk"
printf '$PMGNTRK,4511.315,N,00543.475,E,00211,M,073000.00,A,,160607*00\r\n' >"$samples/sd.upt"
printf 'H  SOFTWARE NAME & VERSION\r\nI  PCX5 2.09\r\n' >"$samples/garmin.trk"
printf 'OziExplorer Track Point File Version 2.1\r\nWGS 84\r\n' >"$samples/ozi.plt"
printf '<?xml version="1.0"?>\n<gpx version="1.0"></gpx>\n' >"$samples/trip.gpx"
printf '<?xml version="1.0"?>\n<kml><Document/></kml>\n' >"$samples/trip.kml"
printf '<?xml version="1.0"?>\n<RANDONNEE><ENTETE/></RANDONNEE>\n' >"$samples/hike.rdn"
printf '\001\001\005\001\000\000\000\000' >"$samples/track.frn"
expect_type() {
    local got
    got=$(XDG_DATA_HOME=$work/data XDG_DATA_DIRS=$work/data \
          gio info -a standard::content-type "$samples/$1" 2>&1 | sed -n 's/.*content-type: //p')
    [ "$got" = "$2" ] && pass "$1 is $2" || fail "$1 is '$got', expected $2"
}
expect_type walk.log application/x-bluegps-datalog
expect_type walk.txt application/x-bluegps-datalog
expect_type other.log text/x-log
expect_type ride.nmea application/x-nmea
expect_type ride.nme application/x-nmea
expect_type sd.log application/x-magellan-track
expect_type sd.trk application/x-magellan-track
expect_type sd.upt application/x-magellan-track
expect_type garmin.trk application/x-pcx5-track
expect_type ozi.plt application/x-oziexplorer-track
expect_type trip.gpx application/gpx+xml
expect_type trip.kml application/vnd.google-earth.kml+xml
expect_type hike.rdn application/x-ign-rando
expect_type track.frn application/x-ferolin-track

# --- icons: each PNG has the size its folder names ----------------------------
wrong=0
for s in "${sizes[@]}"; do
    png=$root/usr/share/icons/hicolor/${s}x${s}/apps/ferolin.png
    [ -f "$png" ] || continue
    # The PNG header's IHDR chunk: width and height, big-endian, at byte 16.
    dims=$(od -An -tu1 -j16 -N8 "$png" | awk '{print $3*256+$4 "x" $7*256+$8}')
    [ "$dims" = "${s}x${s}" ] || { fail "icon ${s}x${s} is $dims"; wrong=$((wrong + 1)); }
done
[ $wrong = 0 ] && pass "PNG icons have their folders' sizes"
xmllint --noout "$root/usr/share/icons/hicolor/scalable/apps/ferolin.svg" &&
    pass "ferolin.svg is well-formed" || fail "ferolin.svg"

# --- bash completion ------------------------------------------------------------
complete_words() {  # SCRIPT FUNCTION WORDS... -> the candidates, sorted, one line
    local script=$1 function=$2
    shift 2
    (cd "$samples" && bash -c 'source "$1"; f=$2; shift 2
        COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); $f
        [ ${#COMPREPLY[@]} = 0 ] || printf "%s\n" "${COMPREPLY[@]}"' \
        _ "$script" "$function" "$@" | LC_ALL=C sort | paste -s -d " ")
}
check_completion() {  # EXPECTED SCRIPT FUNCTION WORDS...
    local expected=$1 got
    shift
    got=$(complete_words "$@")
    [ "$got" = "$expected" ] && pass "completion of '${*:3}': $got" ||
        fail "completion of '${*:3}' gave '$got', expected '$expected'"
}
c=$root/usr/share/bash-completion/completions
check_completion "--no-settings" "$c/ferolin" _ferolin ferolin --no
check_completion "--exclude --geoid --help --info --json --list-formats --no-settings --options --output-dir --smooth --start --stop --verbose --version -d -j -o -v" \
    "$c/ferolin" _ferolin ferolin -
check_completion "com csv fit frn geojson gpx kml kmz log nmea plt rdn tcx trk txt" \
    "$c/ferolin" _ferolin ferolin -j 2 "*.log" ""
check_completion "1" "$c/ferolin" _ferolin ferolin -j 1
check_completion "com csv fit frn geojson gpx kml kmz log nmea plt rdn tcx trk txt" \
    "$c/ferolin" _ferolin ferolin --smooth 3 "*.log" ""
check_completion "geojson gpx" "$c/ferolin" _ferolin ferolin walk.log G
check_completion "pdop" "$c/ferolin" _ferolin ferolin --exclude pd
check_completion "satellites speed" "$c/ferolin" _ferolin ferolin --exclude s
check_completion "walk.log walk.txt" "$c/ferolin" _ferolin ferolin walk.
check_completion "" "$c/ferolin" _ferolin ferolin --geoid ""
check_completion "walk.log walk.txt" "$c/ferolin" _ferolin ferolin --info a.gpx b.gpx walk.
if [ "$with_ferolix" = 1 ]; then
    check_completion "--all-points" "$c/ferolix" _ferolix ferolix --a
    check_completion "ride.gpx" "$c/ferolix" _ferolix ferolix ride.nmea -o ride.g
    check_completion "ride.gpx ride.nme ride.nmea ride.plt ride.trk ride.txt" \
        "$c/ferolix" _ferolix ferolix ride.nmea -o ride.
fi

echo
if [ $failures = 0 ]; then
    echo "all install checks passed"
    exit 0
fi
echo "$failures install check(s) failed"
exit 1
