#!/bin/sh
# Installs the Debian packages missing for one purpose, named by the argument:
#
#   install-deps.sh run    what the program needs to build and run (make run)
#   install-deps.sh test   that, and what the test suite runs: GoogleTest, the
#                          independent peers and the checking tools, with the
#                          comma-decimal locale the locale tests run under
#                          (make test, and the default)
#   install-deps.sh fuzz   what the program needs, and clang with its
#                          libFuzzer (make fuzz)
set -e
purpose=${1:-test}
case $purpose in
    run | test | fuzz) ;;
    *) echo "usage: install-deps.sh [run|test|fuzz]" >&2; exit 2 ;;
esac

# The build: CMake, Ninja, the compiler, expat for the XML formats,
# simdjson for GeoJSON and libzip (found through pkg-config) for KMZ; Qt 6
# for the window, whose track view draws its profiles with Qt Charts, whose
# CMake package needs Qt OpenGL.
PACKAGES="cmake ninja-build g++ make pkg-config libexpat1-dev libsimdjson-dev libzip-dev"
PACKAGES="$PACKAGES qt6-base-dev qt6-charts-dev libqt6opengl6-dev"
if [ "$purpose" = test ]; then
    # GoogleTest, and the locales the comma-decimal locale is generated from.
    PACKAGES="$PACKAGES libgtest-dev libgmock-dev locales"
    # Independent peers the interoperability tests run: gpsbabel, GDAL's
    # ogrinfo on the GeoJSON written, and an npm FIT decoder, which needs
    # Node.js (and npm, which some Node.js packages bring along and Debian's
    # installs apart; see install_peers below).
    PACKAGES="$PACKAGES gpsbabel gdal-bin nodejs"
    # Desktop integration files, manual pages, the XML checks and the Debian
    # package (make package).
    PACKAGES="$PACKAGES desktop-file-utils appstream librsvg2-bin man-db groff-base libxml2-utils"
    PACKAGES="$PACKAGES shared-mime-info libglib2.0-bin dpkg-dev"
    # A virtual X server and a window manager, where the windows' opening
    # places are tested on real screen sizes (xprop tells when the manager
    # is up).
    PACKAGES="$PACKAGES xvfb openbox x11-utils"
fi
[ "$purpose" = fuzz ] && PACKAGES="$PACKAGES clang libfuzzer-14-dev"

# The npm FIT decoder (fit-file-parser, MIT) goes into the build tree
# ($BUILD/npm-peers, BUILD defaulting to build), used by the tests only and
# never installed or shipped. Without network the tests that need it skip.
install_peers() {
    [ "$purpose" = test ] || return 0
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
if [ "$purpose" = test ]; then
    locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$' || need_locale=yes
fi
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
