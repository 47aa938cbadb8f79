#!/bin/sh
# Makes the bundled sample ride, samples/ride.fit, with Ferolin's own FIT
# writer:
#
#   samples/make_sample_ride.sh FEROLIN [PATH]
#
# FEROLIN is the built program (build/bin/ferolin), PATH the file to write
# (samples/ride.fit beside this script when left out). The ride is half an
# hour out of Grenoble on 17 June 2007, one point every 5 seconds: ten
# minutes on the flat with a stop at a crossing, twelve minutes of climbing
# and eight minutes down again, with heart rate, cadence, power and
# temperature. It is spelled out here as GPX 1.1 with Garmin's track point
# (v2) and power extensions, which the GPX reader takes with their sensor
# values, and converted to FIT by the program. Every number comes from the
# formulas below (no random numbers), so the file comes out the same each
# time.
set -eu
ferolin=${1:?usage: make_sample_ride.sh FEROLIN [PATH]}
out=${2:-$(dirname "$0")/ride.fit}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The decimal point, whatever the user's locale.
LC_ALL=C awk -v points=360 'BEGIN {
    pi = atan2(0, -1)
    lat = 45.188500; lon = 5.724500; alt = 212.0; hr = 96
    print "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
    print "<gpx version=\"1.1\" creator=\"make_sample_ride.sh\""
    print " xmlns=\"http://www.topografix.com/GPX/1/1\""
    print " xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v2\""
    print " xmlns:gpxpx=\"http://www.garmin.com/xmlschemas/PowerExtension/v1\">"
    print "<trk><name>Sample ride</name><trkseg>"
    for (i = 0; i < points; ++i) {
        if (i < 120) {                       # the flat, with a stop at i 60-65
            kmh = 27 + 2 * sin(i / 9); grade = 0.003
            watts = 150 + 25 * sin(i / 5); rpm = 88 + 4 * sin(i / 3)
            if (i >= 60 && i <= 65) { kmh = 0; watts = 0; rpm = 0 }
        } else if (i < 264) {                # the climb
            kmh = 13.5 + 1.5 * sin(i / 7); grade = 0.065 + 0.015 * sin(i / 13)
            watts = 245 + 30 * sin(i / 6); rpm = 74 + 5 * sin(i / 4)
        } else {                             # the way down, partly coasting
            kmh = 36 + 4 * sin(i / 11); grade = -0.035
            watts = 20 + 60 * sin(i / 8); rpm = 85 + 3 * sin(i / 5)
            if (watts < 0) { watts = 0; rpm = 0 }
        }
        heading = 160 + 50 * sin(i / 45) + 30 * sin(i / 17)
        # The heart follows the effort with a lag; the air cools with height.
        hr += (70 + watts * 0.35 - hr) * 0.08
        celsius = 17 + i * 0.008 - 0.0065 * (alt - 212)
        seconds = 8 * 3600 + 5 * i
        printf "<trkpt lat=\"%.7f\" lon=\"%.7f\"><ele>%.1f</ele>", lat, lon, alt
        printf "<time>2007-06-17T%02d:%02d:%02dZ</time>", int(seconds / 3600), int(seconds % 3600 / 60), seconds % 60
        printf "<extensions><gpxtpx:TrackPointExtension><gpxtpx:atemp>%d</gpxtpx:atemp>", int(celsius + 0.5)
        printf "<gpxtpx:hr>%d</gpxtpx:hr><gpxtpx:cad>%d</gpxtpx:cad>", int(hr + 0.5), int(rpm + 0.5)
        printf "<gpxtpx:speed>%.2f</gpxtpx:speed><gpxtpx:course>%.1f</gpxtpx:course>", kmh / 3.6, heading
        printf "</gpxtpx:TrackPointExtension><gpxpx:PowerExtension><gpxpx:PowerInWatts>%d", int(watts + 0.5)
        print "</gpxpx:PowerInWatts></gpxpx:PowerExtension></extensions></trkpt>"
        # On to the next point, 5 seconds on at this speed and heading.
        metres = kmh / 3.6 * 5
        lat += metres * cos(heading * pi / 180) / 111320
        lon += metres * sin(heading * pi / 180) / (111320 * cos(lat * pi / 180))
        alt += metres * grade
    }
    print "</trkseg></trk></gpx>"
}' >"$work/ride.gpx"

"$ferolin" --no-settings "$work/ride.gpx" fit -o "$out"
