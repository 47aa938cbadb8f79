#!/usr/bin/env python3
"""Writes the FIT files of this folder from the protocol's rules.

A FIT file: a header (its size 12 or 14, protocol version 0x10, profile
version, the data size, ".FIT" and, at 14 bytes, the CRC of the first 12),
then definition and data messages, then the CRC of everything before it.
A definition message (header 0x40 | local type, 0x20 more with developer
fields) gives the reserved byte, the architecture (0 little, 1 big endian),
the global message number and the fields (number, size, base type); a data
message (header = local type, or 0x80 | local << 5 | time offset for a
compressed timestamp) the values in that order. The CRC is the protocol's
CRC-16 over its nibble table. Times are seconds since 1989-12-31 00:00 UTC,
positions semicircles (degrees times 2^31 / 180).
"""
import struct

TABLE = [0x0000, 0xCC01, 0xD801, 0x1400, 0xF001, 0x3C00, 0x2800, 0xE401,
         0xA001, 0x6C00, 0x7800, 0xB401, 0x5000, 0x9C01, 0x8801, 0x4400]


def crc(data, value=0):
    for b in data:
        for nibble in (b & 0xF, b >> 4):
            t = TABLE[value & 0xF]
            value = ((value >> 4) & 0x0FFF) ^ t ^ TABLE[nibble]
    return value


class Builder:
    def __init__(self, big=False):
        self.big, self.body, self.sizes = big, b'', {}

    def put(self, value, size):
        data = (value & ((1 << (8 * size)) - 1)).to_bytes(size, 'little')
        return data[::-1] if self.big else data

    def define(self, local, number, fields, developer=()):
        self.body += bytes([0x40 | (0x20 if developer else 0) | local, 0, int(self.big)]) + self.put(number, 2)
        self.body += bytes([len(fields)]) + b''.join(bytes(f) for f in fields)
        if developer:
            self.body += bytes([len(developer)]) + b''.join(bytes(f) for f in developer)
        self.sizes[local] = [f[1] for f in fields] + [f[1] for f in developer]
        return self

    def data(self, local, values, offset=None):
        self.body += bytes([local if offset is None else 0x80 | local << 5 | offset])
        self.body += b''.join(self.put(v, s) for v, s in zip(values, self.sizes[local]))
        return self

    def file(self, header=14, header_crc=True):
        h = bytes([header, 0x10]) + b'\x54\x08' + struct.pack('<I', len(self.body)) + b'.FIT'
        if header == 14:
            h += struct.pack('<H', crc(h) if header_crc else 0)
        f = h + self.body
        return f + struct.pack('<H', crc(f))


T0 = 1083479400                              # 2024-05-01 06:30:00 UTC
LAT1, LON1 = 542836144, 74565404             # 45.5, 6.25
LAT2, LON2 = 542837337, 74567791             # 45.5001, 6.2502
LAT4, LON4 = 0xE7EC8F81, 1804068765          # -33.856784, 151.215297
NONE = 0x7FFFFFFF
RECORD = [(253, 4, 0x86), (0, 4, 0x85), (1, 4, 0x85), (78, 4, 0x86), (73, 4, 0x86),
          (3, 1, 0x02), (4, 1, 0x02), (7, 2, 0x84), (13, 1, 0x01)]
POSITION = [(253, 4, 0x86), (0, 4, 0x85), (1, 4, 0x85)]


def basic(big=False):
    """file_id, a manufacturer's message, the record with every field read."""
    b = Builder(big)
    b.define(0, 0, [(0, 1, 0), (1, 2, 0x84), (4, 4, 0x86)]).data(0, [4, 255, T0])
    b.define(2, 0xFF01, [(0, 3, 0x0D), (1, 5, 0x07)]).data(2, [0xABCDEF, 0x6F6C6C6568])
    b.define(1, 20, RECORD)
    b.data(1, [T0, LAT1, LON1, 7500, 5000, 120, 85, 250, 21])
    b.data(1, [T0 + 1, LAT2, LON2, 0xFFFFFFFF, 0, 0xFF, 0, 0xFFFF, 0xFB])
    b.data(1, [T0 + 2, NONE, LON2, 7500, 5000, 130, 85, 250, 21])
    b.data(1, [T0 + 3, LAT4, LON4, 2450, 1234, 200, 254, 65534, 0x80])
    return b.file()


def compressed():
    b = Builder()
    b.define(1, 21, [(253, 4, 0x86), (0, 1, 0), (1, 1, 0)])
    b.define(0, 20, [(0, 4, 0x85), (1, 4, 0x85), (2, 2, 0x84), (6, 2, 0x84), (3, 1, 0x02)])
    b.data(0, [LAT1, LON1, 3752, 2500, 100], 5)  # no full timestamp yet: undated
    b.data(1, [T0 + 22, 0, 0])                   # low five bits 30
    for offset in (31, 2, 2, 10):
        b.data(0, [LAT2, LON2, 3752, 2500, 101], offset)
    return b.file()


def redefined():
    b = Builder()
    b.define(0, 20, POSITION).data(0, [T0, LAT1, LON1])
    b.define(0, 49, [(0, 2, 0x84), (1, 1, 0x02)]).data(0, [0x1234, 7])
    # Another field order, and a heart rate of two values: the first counts.
    b.define(0, 20, [(1, 4, 0x85), (0, 4, 0x85), (3, 2, 0x02), (253, 4, 0x86)])
    return b.data(0, [LON2, LAT2, 0x8D8C, T0 + 5]).file()


def developer():
    b = Builder()
    b.define(0, 207, [(3, 1, 0x02), (1, 16, 0x0D)]).data(0, [0, 0x42])
    b.define(1, 206, [(0, 1, 0x02), (1, 1, 0x02), (2, 1, 0x02), (3, 8, 0x07)]).data(1, [0, 0, 0x84, 0x7265776F70])
    b.define(2, 20, POSITION, [(0, 2, 0), (1, 4, 0)])
    return b.data(2, [T0, LAT1, LON1, 0x7F7F, 0xFFFFFFFF]).data(2, [T0 + 1, LAT2, LON2, 1, 2]).file()


def first(header_crc=False):
    b = Builder()
    b.define(5, 20, RECORD).data(5, [T0, LAT1, LON1, 7500, 5000, 120, 85, 250, 21])
    return b.file(14, header_crc)


def second():
    return Builder().define(0, 20, POSITION).data(0, [T0 + 3, LAT4, LON4]).file(12)


def damaged(data, at, cut=0):
    data = bytearray(data)
    data[len(data) + at] ^= 0x5A
    return bytes(data[:len(data) - cut])


def no_altitude():
    """Records that lack altitude, speed or time, positions off the earth,
    heart rates no body gives."""
    b = Builder()
    b.define(0, 20, POSITION + [(2, 2, 0x84), (78, 4, 0x86), (6, 2, 0x84), (3, 1, 0x02)])
    b.data(0, [T0, LAT1, LON1, 0xFFFF, 0xFFFFFFFF, 0xFFFF, 0])      # nothing but the place
    b.data(0, [T0 + 1, LAT2, LON2, 2600, 0xFFFFFFFF, 1000, 251])   # 16-bit altitude 20 m
    b.data(0, [T0 + 2, 0x50000000, LON1, 2600, 2600, 1000, 90])    # latitude 112.5
    b.data(0, [T0 + 3, LAT1, NONE, 2600, 2600, 1000, 90])          # no longitude
    b.data(0, [T0 + 4, LAT2, LON2, 0xFFFF, 2500, 0, 250])          # 0 m, 0 km/h
    b.define(1, 20, [(0, 4, 0x85), (1, 4, 0x85)]).data(1, [LAT4, LON4])  # no timestamp
    return b.file()


SESSION = [(253, 4, 0x86), (8, 4, 0x86), (9, 4, 0x86), (22, 2, 0x84), (23, 2, 0x84)]


def sessions():
    """A multisport activity of two sessions, and a second file chained with
    a session of its own that has no total descent: the device's totals are
    their sums, an invalid value counting as none."""
    b = Builder()
    b.define(0, 0, [(0, 1, 0), (1, 2, 0x84), (4, 4, 0x86)]).data(0, [4, 255, T0])
    b.define(1, 20, POSITION).data(1, [T0, LAT1, LON1]).data(1, [T0 + 1, LAT2, LON2])
    b.define(2, 18, SESSION)
    b.data(2, [T0 + 1, 3600500, 1234567, 120, 80])                 # 3600.5 s, 12345.67 m
    b.data(2, [T0 + 2, 0xFFFFFFFF, 500000, 0xFFFF, 30])            # 5000 m
    c = Builder().define(0, 20, POSITION).data(0, [T0 + 3, LAT4, LON4])
    c.define(3, 18, SESSION[:4]).data(3, [T0 + 3, 600000, 100, 5])  # 600 s, 1 m
    return b.file() + c.file(12)


def indoor_session():
    """An indoor ride: records without a position, and a session with
    distance and time only."""
    b = Builder().define(0, 20, POSITION + [(3, 1, 0x02)])
    b.data(0, [T0, NONE, NONE, 90]).data(0, [T0 + 1, NONE, NONE, 91])
    b.define(1, 18, [(253, 4, 0x86), (8, 4, 0x86), (9, 4, 0x86), (5, 1, 0)])
    return b.data(1, [T0 + 1, 900000, 250000, 2]).file()


def stale_header():
    """A ride whose header CRC was worked out before its data size was filled
    in: the header CRC does not match, the messages and the file CRC do."""
    b = Builder()
    b.define(0, 0, [(0, 1, 0), (1, 2, 0x84), (4, 4, 0x86)]).data(0, [4, 255, T0])
    b.define(1, 20, RECORD)
    for i in range(4):
        b.data(1, [T0 + i, LAT1 + 1000 * i, LON1, 7500 + i, 5000, 120 + i, 85, 250, 21])
    b.define(2, 18, SESSION).data(2, [T0 + 3, 3000, 9, 2, 1])
    data = bytearray(b.file())
    data[12:14] = struct.pack('<H', crc(bytes(data[:4]) + b'\0\0\0\0' + bytes(data[8:12])))
    return bytes(data[:-2]) + struct.pack('<H', crc(bytes(data[:-2])))


EVENT = [(253, 4, 0x86), (0, 1, 0), (1, 1, 0)]       # timestamp, event, event_type
LAP = [(253, 4, 0x86), (2, 4, 0x86)]                 # timestamp, start_time
COURSE_POINT = [(1, 4, 0x86), (2, 4, 0x85), (3, 4, 0x85), (5, 1, 0), (6, 8, 0x07)]


def text(value, size):
    """A string field's value as the builder puts numbers: little-endian."""
    return int.from_bytes(value.encode().ljust(size, b'\0'), 'little')


def laps():
    """An activity: the timer stops after the second record and starts again
    before the fourth; the third, logged while it stood, begins the second
    segment. Laps are written after their records; the one that starts
    before the first record but holds none is no lap."""
    b = Builder()
    b.define(0, 0, [(0, 1, 0), (1, 2, 0x84), (4, 4, 0x86)]).data(0, [4, 255, T0])
    b.define(2, 21, EVENT).data(2, [T0, 0, 0])                 # timer start
    b.define(1, 20, POSITION)
    b.data(1, [T0, LAT1, LON1]).data(1, [T0 + 1, LAT2, LON2])
    b.data(2, [T0 + 1, 0, 4])                                   # timer stop all
    b.data(2, [T0 + 5, 3, 1])                                   # a marker, no timer
    b.data(1, [T0 + 10, LAT1, LON1])
    b.data(2, [T0 + 12, 0, 0])                                  # timer start
    b.data(1, [T0 + 13, LAT2, LON2])
    b.define(3, 19, LAP)
    b.data(3, [T0 + 1, T0 - 5]).data(3, [T0 + 1, T0]).data(3, [T0 + 13, T0 + 12])
    return b.file()


def course_points(records=True):
    """A course named "Col du Lac": its course points are waypoints named by
    their name with their type's name as symbol; one without a position is
    none, one without a timestamp lacks the time, a type the profile does not
    name gives no symbol."""
    b = Builder()
    b.define(0, 0, [(0, 1, 0), (1, 2, 0x84), (4, 4, 0x86)]).data(0, [6, 255, T0])
    b.define(1, 31, [(5, 16, 0x07)]).data(1, [text('Col du Lac', 16)])
    if records:
        b.define(2, 20, POSITION).data(2, [T0, LAT1, LON1]).data(2, [T0 + 60, LAT2, LON2])
    b.define(3, 32, COURSE_POINT)
    b.data(3, [T0 + 30, LAT2, LON2, 1, text('Top', 8)])
    b.data(3, [0xFFFFFFFF, LAT1, LON1, 6, text('Turn', 8)])
    b.data(3, [T0 + 40, NONE, NONE, 3, text('Lost', 8)])
    b.data(3, [T0 + 50, LAT4, LON4, 26, text('Odd', 8)])
    return b.file()


def written_laps():
    """What the writer must give for laps.points: records, a timer stop and
    start around the pause, the two laps and the session after them."""
    b = Builder()
    lat, lon = round(45.5 * 2**31 / 180), round(6.25 * 2**31 / 180)
    b.define(0, 0, [(0, 1, 0), (1, 2, 0x84), (2, 2, 0x84), (4, 4, 0x86)]).data(0, [4, 255, 0, T0])
    b.define(2, 20, [(253, 4, 0x86), (0, 4, 0x85), (1, 4, 0x85), (5, 4, 0x86), (78, 4, 0x86), (73, 4, 0x86)])
    b.define(6, 21, EVENT)
    for i, t in enumerate((0, 10, 20, 40, 50)):
        if i == 3:
            b.data(6, [T0 + 20, 0, 4]).data(6, [T0 + 40, 0, 0])
        b.data(2, [T0 + t, lat, lon, 0, (100 + 500) * 5, 1000])
    lap = [(253, 4, 0x86), (2, 4, 0x86), (3, 4, 0x85), (4, 4, 0x85), (5, 4, 0x85), (6, 4, 0x85),
           (7, 4, 0x86), (8, 4, 0x86), (9, 4, 0x86), (254, 2, 0x84), (0, 1, 0), (1, 1, 0)]
    b.define(3, 19, lap)
    b.data(3, [T0 + 10, T0, lat, lon, lat, lon, 10000, 10000, 0, 0, 9, 1])
    b.data(3, [T0 + 50, T0 + 20, lat, lon, lat, lon, 30000, 10000, 0, 1, 9, 1])
    session = [(253, 4, 0x86), (2, 4, 0x86), (3, 4, 0x85), (4, 4, 0x85), (7, 4, 0x86), (8, 4, 0x86),
               (9, 4, 0x86), (254, 2, 0x84), (25, 2, 0x84), (26, 2, 0x84), (0, 1, 0), (1, 1, 0), (5, 1, 0), (6, 1, 0)]
    b.define(4, 18, session).data(4, [T0 + 50, T0, lat, lon, 50000, 20000, 0, 0, 0, 2, 8, 1, 0, 0])
    activity = [(253, 4, 0x86), (0, 4, 0x86), (1, 2, 0x84), (2, 1, 0), (3, 1, 0), (4, 1, 0)]
    b.define(5, 34, activity).data(5, [T0 + 50, 20000, 1, 0, 26, 1])
    return b.file()


def written_course(records=True):
    """What the writer must give for course_points.points (a course whatever
    the option, named by its track) and, without records, for
    waypoints_only.points (named by the file's title, timed by the clock)."""
    b = Builder()
    lat, lon = round(45.5 * 2**31 / 180), round(6.25 * 2**31 / 180)
    created = T0 if records else 1173103629 - 631065600
    b.define(0, 0, [(0, 1, 0), (1, 2, 0x84), (2, 2, 0x84), (4, 4, 0x86)]).data(0, [6, 255, 0, created])
    name = 'Col du Lac' if records else 'waypoints_only'
    b.define(1, 31, [(5, len(name) + 1, 0x07), (4, 1, 0)]).data(1, [text(name, len(name) + 1), 0])
    if records:
        lap = [(253, 4, 0x86), (2, 4, 0x86), (3, 4, 0x85), (4, 4, 0x85), (5, 4, 0x85), (6, 4, 0x85),
               (7, 4, 0x86), (8, 4, 0x86), (9, 4, 0x86), (254, 2, 0x84), (0, 1, 0), (1, 1, 0)]
        b.define(3, 19, lap).data(3, [T0 + 20, T0, lat, lon, lat, lon, 20000, 20000, 0, 0, 9, 1])
        b.define(2, 20, [(253, 4, 0x86), (0, 4, 0x85), (1, 4, 0x85), (5, 4, 0x86), (78, 4, 0x86), (73, 4, 0x86)])
        for t in (0, 10, 20):
            b.data(2, [T0 + t, lat, lon, 0, (100 + 500) * 5, 1000])
    point = [(254, 2, 0x84), (1, 4, 0x86), (2, 4, 0x85), (3, 4, 0x85), (5, 1, 0), (6, 5, 0x07)]
    b.define(7, 32, point)
    b.data(7, [0, T0 + 10, lat, lon, 1, text('Top', 5)])
    b.data(7, [1, 0xFFFFFFFF, lat, lon, 6, text('Turn', 5)])
    return b.file()


indoor = Builder().define(0, 20, POSITION + [(3, 1, 0x02)]).data(0, [T0, NONE, NONE, 90]).file()
narrow = Builder().define(0, 20, [(0, 1, 0x01), (1, 1, 0x01)]).data(0, [5, 6]).file()
bad_header = bytearray(basic())
bad_header[12] ^= 1

FILES = {
    'basic.fit': basic(), 'basic_big.fit': basic(True), 'crc_wrong.fit': damaged(basic(), -1),
    'cut_record.fit': basic()[:-3], 'compressed.fit': compressed(), 'redefined.fit': redefined(),
    'developer.fit': developer(), 'chained.fit': first() + second(),
    'chain_damaged.fit': damaged(first(), -2) + second(), 'chain_trailing.fit': first() + b'\x0e\x10' + b'z' * 15,
    'indoor.fit': indoor, 'narrow.fit': narrow, 'messages_only.fit': Builder().file(),
    'text.fit': b'just some text, not a FIT file\n', 'header_crc.fit': bytes(bad_header), 'empty.fit': b'',
    'header_only.fit': basic()[:13], 'no_altitude.fit': no_altitude(), 'sessions.fit': sessions(),
    'indoor_session.fit': indoor_session(), 'header_crc_stale.fit': stale_header(),
    'laps.fit': laps(), 'course_points.fit': course_points(), 'course_points_only.fit': course_points(False),
    'laps.0x1.fit': written_laps(), 'course_points.0x1.fit': written_course(),
    'waypoints_only.0x1.fit': written_course(False),
}

if __name__ == '__main__':
    for name, data in FILES.items():
        with open(name, 'wb') as f:
            f.write(data)
