#!/bin/sh
# Installs the Debian packages the build and the tests need, when missing.
set -e
PACKAGES="cmake ninja-build g++ make qt6-base-dev libexpat1-dev libgtest-dev libgmock-dev"
missing=""
for p in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" != 0 ]; then
    echo "missing packages:$missing (run as root, or install them with apt-get)" >&2
    exit 1
fi
echo "installing:$missing"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends $missing
