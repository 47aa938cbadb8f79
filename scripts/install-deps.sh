#!/bin/sh
# Installs the Debian packages the build and the tests need, when missing, and
# generates the comma-decimal locale the locale tests run under.
set -e
PACKAGES="cmake ninja-build g++ make qt6-base-dev libexpat1-dev libgtest-dev libgmock-dev locales gpsbabel"
# GeoJSON is read with simdjson; GDAL's ogrinfo checks the GeoJSON written (a test peer, like gpsbabel).
PACKAGES="$PACKAGES libsimdjson-dev gdal-bin"
# The track view draws its profiles with Qt Charts, whose CMake package needs Qt OpenGL.
PACKAGES="$PACKAGES qt6-charts-dev libqt6opengl6-dev"
# Desktop integration files, manual pages and the Debian package (make package).
PACKAGES="$PACKAGES desktop-file-utils appstream librsvg2-bin man-db groff-base libxml2-utils"
PACKAGES="$PACKAGES shared-mime-info libglib2.0-bin dpkg-dev"
# The interoperability tests run independent peers: gpsbabel (above) and an
# npm FIT decoder, which needs Node.js (and npm, which some Node.js packages
# bring along and Debian's installs apart).
PACKAGES="$PACKAGES nodejs"
# `make fuzz` also needs clang and its libFuzzer.
[ "${1:-}" = fuzz ] && PACKAGES="$PACKAGES clang libfuzzer-14-dev"
# The npm FIT decoder (fit-file-parser, MIT) goes into the build tree
# ($BUILD/npm-peers, BUILD defaulting to build), used by the tests only and
# never installed or shipped. Without network the tests that need it skip.
install_peers() {
    peers="${BUILD:-build}/npm-peers"
    [ -f "$peers/node_modules/fit-file-parser/package.json" ] && return 0
    if ! command -v npm >/dev/null 2>&1 && [ "$(id -u)" = 0 ]; then
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends npm >/dev/null 2>&1 ||
            echo "could not install npm: the tests that run the npm FIT decoder will skip" >&2
    fi
    command -v npm >/dev/null 2>&1 || return 0
    mkdir -p "$peers"
    npm install --silent --no-audit --no-fund --prefix "$peers" fit-file-parser@6.1.2 >/dev/null 2>&1 ||
        echo "could not install fit-file-parser into $peers: its interoperability tests will skip" >&2
}

missing=""
for p in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
need_locale=no
locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$' || need_locale=yes
if [ -z "$missing" ] && [ "$need_locale" = no ]; then
    install_peers
    exit 0
fi
if [ "$(id -u)" != 0 ]; then
    [ -n "$missing" ] && echo "missing packages:$missing (run as root, or install them with apt-get)" >&2
    [ "$need_locale" = yes ] && echo "missing locale de_DE.UTF-8 (run as root, or generate it with locale-gen)" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
if [ -n "$missing" ]; then
    echo "installing:$missing"
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends $missing
fi
if [ "$need_locale" = yes ]; then
    echo "generating the de_DE.UTF-8 locale"
    sed -i 's/^# *\(de_DE\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^de_DE\.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' >> /etc/locale.gen
    locale-gen >/dev/null
fi
install_peers
