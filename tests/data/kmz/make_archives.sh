#!/bin/sh
# Packs the KMZ reader cases of this folder from their hand-written parts
# with Info-ZIP's zip, and damages copies of them by hand (the byte offsets
# follow the zip format's headers). Run it from this folder after changing a
# part.
set -e
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
pack() {  # archive, then pairs of part and name inside
    out=$1
    shift
    rm -f "$out"
    mkdir -p "$tmp/p"
    names=""
    while [ $# -gt 0 ]; do
        mkdir -p "$tmp/p/$(dirname "$2")"
        cp "$1" "$tmp/p/$2"
        names="$names $2"
        shift 2
    done
    (cd "$tmp/p" && zip -X -q -9 "$tmp/out.zip" $names)
    mv "$tmp/out.zip" "$out"
    rm -rf "$tmp/p"
}
# doc.kml is taken before a KML member listed ahead of it.
pack ride.kmz src/other.kml files/other.kml ride.doc.kml doc.kml src/dot.png images/dot.png
# Without doc.kml, the first KML member, whatever the case of its extension.
pack first_kml.kmz src/readme.txt readme.txt src/walk.kml tracks/Walk.KML src/other.kml later.kml
pack no_kml.kmz src/readme.txt readme.txt src/dot.png dot.png
cp src/walk.kml not_zip.kmz
# The first half of an archive: no central directory.
size=$(wc -c < ride.kmz)
head -c $((size / 2)) ride.kmz > truncated.kmz
# Sizes claimed by the central directory of a one-member archive: 3 GiB
# unpacked (offset 24 of the central header), then a size that deflate
# cannot reach from so small an archive (1 MiB + 1032 times its size).
pack claims_too_much.kmz src/walk.kml doc.kml
cp claims_too_much.kmz claims_beyond_deflate.kmz
at=$(grep -obUaP 'PK\x01\x02' claims_too_much.kmz | head -1 | cut -d: -f1)
printf '\000\000\000\300' | dd of=claims_too_much.kmz bs=1 seek=$((at + 24)) conv=notrunc 2>/dev/null
printf '\000\000\040\000' | dd of=claims_beyond_deflate.kmz bs=1 seek=$((at + 24)) conv=notrunc 2>/dev/null
# A member whose packed bytes were overwritten: its check sum fails.
pack damaged.kmz src/walk.kml doc.kml
printf 'XXXXXXXXXXXXXXXX' | dd of=damaged.kmz bs=1 seek=60 conv=notrunc 2>/dev/null
