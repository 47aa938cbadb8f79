#!/bin/sh
# Installs the Debian packages the build and the tests need, when missing,
# and generates the comma-decimal locale de_DE.UTF-8 that the tests use.
set -e
PACKAGES="cmake ninja-build g++ make qt6-base-dev libexpat1-dev libgtest-dev libgmock-dev locales"
missing=""
for p in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
has_locale() { locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; }
[ -z "$missing" ] && has_locale && exit 0
if [ "$(id -u)" != 0 ]; then
    [ -n "$missing" ] && echo "missing packages:$missing (run as root, or install them with apt-get)" >&2
    has_locale || echo "missing locale de_DE.UTF-8 (run as root, or generate it with locale-gen)" >&2
    exit 1
fi
if [ -n "$missing" ]; then
    echo "installing:$missing"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends $missing
fi
if ! has_locale; then
    echo "generating the locale de_DE.UTF-8"
    if grep -q '^# *de_DE.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
        sed -i 's/^# *\(de_DE.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    elif ! grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
        echo "de_DE.UTF-8 UTF-8" >> /etc/locale.gen
    fi
    locale-gen
fi
