#!/usr/bin/env python3
"""Writes the logger captures of this folder from the logger's framing rules.

A frame is AA 55, the payload length (16 bits, little endian), the payload,
the exclusive-or of the payload bytes, 33 CC. A record payload is 52 bytes:
code 7, the record number (16 bits), year - 2000, month, day, one unused
byte, hour, minute, two unused bytes, seconds (float), latitude and
longitude (doubles), altitude, PDOP, HDOP, speed and direction (floats) and
the satellites; little endian. The unused bytes carry control characters that
a line in its default mode would swallow.
"""
import struct

def frame(payload):
    x = 0
    for b in payload:
        x ^= b
    return b'\xaa\x55' + struct.pack('<H', len(payload)) + payload + bytes([x]) + b'\x33\xcc'

def record(number, y, mo, d, h, mi, s, lat, lon, alt, pdop, hdop, speed, direction, sats):
    return (b'\x07' + struct.pack('<HBBB', number, y, mo, d) + b'\x03' + bytes([h, mi]) + b'\x11\x13' +
            struct.pack('<fddfffffB', s, lat, lon, alt, pdop, hdop, speed, direction, sats))

RECORDS = [record(0x0A0D, 7, 3, 9, 10, 13, 4.25, 45.5, -73.25, 1013.0, 1.5, 0.75, 13.0, 10.0, 0x0A),
           record(65535, 26, 12, 31, 23, 59, 59.5, -33.875, 151.25, -4.5, 2.0, 1.25, 0.5, 359.5, 4),
           record(0x1113, 10, 1, 1, 0, 0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0x13)]
assert all(len(r) == 52 for r in RECORDS)
F = [frame(r) for r in RECORDS]

CAPTURES = {
    'three.frames': F[0] + F[1] + F[2],
    'end_frame.frames': F[0] + F[1] + F[2] + frame(b'\x44') + F[0],
    'cut_frame.frames': F[0] + F[1][:30],
    'short_record.frames': F[0] + F[1] + frame(RECORDS[2][:51]) + F[0],
    'largest.frames': frame(RECORDS[1] + b'\x55' * 200),
    'oversized.frames': b'\xaa\x55\xfd\x00' + RECORDS[0] + b'\x00' * 210,
    'wrong_marker.frames': b'\xaa\x56' + F[0][2:],
}

if __name__ == '__main__':
    for name, data in CAPTURES.items():
        with open(name, 'wb') as f:
            f.write(data)
