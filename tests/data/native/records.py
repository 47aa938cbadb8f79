#!/usr/bin/env python3
"""Writes the .frn files of this folder from the native format's rules.

A file is the version bytes 01 01 05 01, the record count (32 bits), then the
55-byte records: record (int32), day, month (int8), year (int16), hour,
minute (int8), seconds (float), latitude, longitude (double), altitude, PDOP,
HDOP, VDOP, speed, direction (float), satellites (int8); little endian, no
padding. A writer puts the written altitude in place of the point's.
"""
import struct

RECORDS = [(1234567, 9, 3, 2007, 10, 5, 7.25, 48.1173, -11.516667, -12.5, 1.5, 0.75, 2.25, 36.5, 123.5, 8),
           (-2, 31, 12, 1999, 23, 59, 59.75, -33.875, 151.25, 8848.5, 9.5, 8.5, 7.5, 0.125, 359.75, -3),
           (3, 1, 1, 1970, 0, 0, 0.5, 0.000001, 179.999999, 0.25, 0.5, 0.25, 0.125, 1.0, 0.5, 12)]
WRITTEN = [100.5, -0.25, 0.0]


def record(r):
    return struct.pack('<ibbhbbfddffffffb', *r)


def head(count, version=b'\x01\x01\x05\x01'):
    return version + struct.pack('<I', count)


ALL = b''.join(record(r) for r in RECORDS)
OUT = head(3) + b''.join(record(r[:9] + (a,) + r[10:]) for r, a in zip(RECORDS, WRITTEN))
FILES = {
    'three.frn': head(3) + ALL,
    'other_version.frn': b'\x02\x01\x05\x01' + struct.pack('<I', 3) + ALL,
    'version_byte.frn': head(1, b'\x01\x09\x09\x09') + record(RECORDS[0]),
    'cut_last.frn': head(3) + ALL[:2 * 55 + 20],
    'huge_count.frn': head(0xFFFFFFFF) + record(RECORDS[0]),
    'smaller_count.frn': head(2) + ALL,
    'no_records.frn': head(5),
    'empty.frn': b'',
    'three.0x0.frn': OUT,
    'three.0xffffffff.frn': OUT,
    'empty.0x0.frn': head(0),
}
FILES.update({'short%d.frn' % n: head(1)[:n] for n in range(1, 8)})

if __name__ == '__main__':
    for name, data in FILES.items():
        with open(name, 'wb') as f:
            f.write(data)
