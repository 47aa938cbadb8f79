#!/bin/sh
# Converts the bundled samples into every format the program writes a file
# in, one folder each, and prints the figures of the samples (make run):
#
#   convert-samples.sh FEROLIN OUT
#
# FEROLIN is the built program, OUT the folder of the results, emptied first:
# OUT/gpx/hike.gpx, OUT/gpx/ride.gpx, OUT/kml/hike.kml and so on. The formats
# are the ones the program lists itself (ferolin --list-formats), so that a
# new writer in the format table is converted into without a change here.
# The samples are samples/*.log (the BlueGPS hike, read as a datalog) and
# samples/*.fit (the ride with its sensors, made by samples/make_sample_ride.sh).
# The stored settings of the user running it are left aside (--no-settings).
set -eu
ferolin=${1:?usage: convert-samples.sh FEROLIN OUT}
out=${2:?usage: convert-samples.sh FEROLIN OUT}
# Both paths as given from the current folder; the samples from the project's.
case $ferolin in /*) ;; *) ferolin=$PWD/$ferolin ;; esac
case $out in /*) ;; *) out=$PWD/$out ;; esac
cd "$(dirname "$0")/.."

formats=$("$ferolin" --list-formats)
if [ -z "$formats" ]; then
    echo "$ferolin --list-formats lists no format" >&2
    exit 1
fi
rm -rf "$out"
for format in $formats; do
    for pattern in 'samples/*.log' 'samples/*.fit'; do
        "$ferolin" --no-settings "$pattern" "$format" -d "$out/$format"
    done
done

echo
echo "Converted the samples into every format with a file writer:" $formats
(cd "$out" && ls -l -- */*)
echo
"$ferolin" --info --no-settings samples/*.log samples/*.fit
