#!/usr/bin/env python3
"""Writes the expected outputs of `ferolin --info` for the files of this
folder and the bundled sample, straight from the rules that the README
states for every figure. It shares nothing with the program: its own readers
for the two input formats (GPX with its tracks, segments, waypoints and
routes), its own selection, great circles by the haversine, nothing counted
across the gap between two segments.
It also writes ride.fit, a short ride with heart rate, cadence, power and
temperature, from the FIT protocol's description, with the values it then
counts on.

    python3 tests/data/info/make_expected.py   (from the source root)
"""
import calendar, datetime, math, os, re, struct
from xml.etree import ElementTree

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, '..', '..', '..'))
R = 6371000.0


def f32(x):
    return struct.unpack('<f', struct.pack('<f', x))[0]


def point(**kw):
    p = dict(record=0, year=0, month=0, day=0, hour=0, minute=0, second=0.0,
             lat=0.0, lon=0.0, alt=0.0, speed=0.0, sensors={}, track=0, seg=0)
    p.update(kw)
    return p


def read_datalog(path):
    points, cur = [], None
    keys = {'Record': 'record', 'Year': 'year', 'Month': 'month', 'Day': 'day',
            'Hour': 'hour', 'Minute': 'minute', 'Second': 'second', 'Latitude': 'lat',
            'Longitude': 'lon', 'Altitude': 'alt', 'Speed(KMs/hr)': 'speed'}
    for line in open(path, encoding='ascii'):
        key, _, value = line.strip().partition(': ')
        if key == 'Record':
            cur = point()
            points.append(cur)
        if cur is None or key not in keys:
            continue
        k = keys[key]
        if k in ('record', 'year', 'month', 'day', 'hour', 'minute'):
            cur[k] = int(value)
        elif k in ('lat', 'lon'):
            cur[k] = float(value)
        else:
            cur[k] = f32(float(value))
    return points


def local(tag):
    return tag.rsplit('}', 1)[-1]


def child_text(element, name):
    for c in element:
        if local(c.tag) == name:
            return (c.text or '').strip()
    return None


def read_gpx(path):
    """The track points, each with the number of its track and segment among
    those that keep a point, and the document: the tracks' names and the
    counts of waypoints and routes."""
    root = ElementTree.parse(path).getroot()
    points, names, segments = [], [], []
    record = segment = 0
    for trk in (e for e in root if local(e.tag) == 'trk'):
        track_kept = False
        for seg in (e for e in trk if local(e.tag) == 'trkseg'):
            seg_kept = False
            for pt in (e for e in seg if local(e.tag) == 'trkpt'):
                record += 1
                p = point(record=record, lat=float(pt.get('lat')), lon=float(pt.get('lon')))
                if not (abs(p['lat']) <= 90 and abs(p['lon']) <= 180):
                    continue  # no real position: no point
                if not track_kept:
                    names.append(child_text(trk, 'name') or '')
                    segments.append(0)
                    track_kept = True
                if not seg_kept:
                    segment += 1 if points else 0
                    segments[-1] += 1
                    seg_kept = True
                p['track'], p['seg'] = len(names) - 1, segment
                e = child_text(pt, 'ele')
                p['alt'] = f32(float(e)) if e else None  # absent, not 0
                t = re.match(r'(\d+)-(\d+)-(\d+)T(\d+):(\d+):([\d.]+)(Z|[+-]\d\d:\d\d)$',
                             child_text(pt, 'time') or '')
                if t:
                    zone = 0 if t.group(7) == 'Z' else (1 if t.group(7)[0] == '+' else -1) * (
                        int(t.group(7)[1:3]) * 60 + int(t.group(7)[4:6]))
                    second = float(t.group(6))
                    when = datetime.datetime(int(t.group(1)), int(t.group(2)), int(t.group(3)),
                                             int(t.group(4)), int(t.group(5))) - datetime.timedelta(minutes=zone)
                    p.update(year=when.year, month=when.month, day=when.day, hour=when.hour,
                             minute=when.minute, second=f32(second))
                s = child_text(pt, 'speed')
                p['speed'] = f32(float(s) * 3.6) if s else None  # absent, not 0
                points.append(p)
    document = dict(tracks=names, track_segments=segments,
                    waypoints=sum(1 for e in root if local(e.tag) == 'wpt'),
                    routes=sum(1 for e in root if local(e.tag) == 'rte'), laps=0)
    return points, document


FIT_CRC = [0x0000, 0xCC01, 0xD801, 0x1400, 0xF001, 0x3C00, 0x2800, 0xE401,
           0xA001, 0x6C00, 0x7800, 0xB401, 0x5000, 0x9C01, 0x8801, 0x4400]


def fit_crc(data):
    crc = 0
    for byte in data:
        for nibble in (byte & 0xF, byte >> 4):
            tmp = FIT_CRC[crc & 0xF]
            crc = ((crc >> 4) & 0x0FFF) ^ tmp ^ FIT_CRC[nibble]
    return crc


def session(ascent, descent, distance_m, timer_s):
    """A definition (local type 1) and one session message: total ascent and
    descent in metres, total distance in centimetres, timer time in ms."""
    fields = [(22, 2, 0x84, '<H'), (23, 2, 0x84, '<H'), (9, 4, 0x86, '<I'), (8, 4, 0x86, '<I')]
    body = struct.pack('<BBBHB', 0x41, 0, 0, 18, len(fields))
    body += b''.join(struct.pack('<BBB', n, size, base) for n, size, base, _ in fields)
    values = [ascent, descent, round(distance_m * 100), round(timer_s * 1000)]
    return body + b'\x01' + b''.join(struct.pack(f[3], v) for f, v in zip(fields, values))


RIDE_DEVICE = dict(ascent=41.0, descent=38.0, distance=40.7, timer=6.4)


def write_ride(path):
    """A record message a second: timestamp, position in semicircles,
    altitude (scale 5, offset 500), speed (mm/s), heart rate, cadence, power,
    temperature; 0xFF.. where a sensor has no value. Returns the points."""
    fields = [(253, 4, 0x86, '<I'), (0, 4, 0x85, '<i'), (1, 4, 0x85, '<i'),
              (2, 2, 0x84, '<H'), (6, 2, 0x84, '<H'), (3, 1, 0x02, '<B'),
              (4, 1, 0x02, '<B'), (7, 2, 0x84, '<H'), (13, 1, 0x01, '<b')]
    body = struct.pack('<BBBHB', 0x40, 0, 0, 20, len(fields))
    body += b''.join(struct.pack('<BBB', n, size, base) for n, size, base, _ in fields)
    start = calendar.timegm((2024, 5, 1, 6, 30, 0)) - 631065600
    rows = [  # altitude raw, speed mm/s, hr, cadence, power, temperature
        (7500, 5200, 110, 80, 180, 18), (7510, 5600, 0xFF, 82, 0xFFFF, 18),
        (7525, 6100, 131, 0xFF, 240, 0x7F), (7540, 6400, 142, 88, 260, 19),
        (7530, 6000, 150, 90, 0xFFFF, 19), (7520, 0, 151, 0, 0, 20),
        (7520, 0, 149, 0, 0, 20), (7550, 7000, 160, 95, 300, 21)]
    points = []
    lat, lon = 536870912, 71582788  # 45 degrees, 6 degrees
    for i, (alt, speed, hr, cad, power, temp) in enumerate(rows):
        values = [start + i, lat, lon, alt, speed, hr, cad, power, temp]
        body += b'\x00' + b''.join(struct.pack(f[3], v) for f, v in zip(fields, values))
        sensors = {k: float(v) for k, v, bad in (('heart_rate', hr, 0xFF), ('cadence', cad, 0xFF),
                                                  ('power', power, 0xFFFF), ('temperature', temp, 0x7F))
                   if v != bad}
        points.append(point(record=i + 1, year=2024, month=5, day=1, hour=6, minute=30,
                            second=float(i), lat=lat * 180.0 / 2 ** 31, lon=lon * 180.0 / 2 ** 31,
                            alt=f32(alt / 5 - 500), speed=f32(speed / 1000 * 3.6), sensors=sensors))
        if speed:
            lat += 600
            lon += 800
    d = RIDE_DEVICE
    body += session(int(d['ascent']), int(d['descent']), d['distance'], d['timer'])
    header = struct.pack('<BBHI4s', 14, 0x10, 2093, len(body), b'.FIT')
    header += struct.pack('<H', fit_crc(header))
    data = header + body
    with open(path, 'wb') as out:
        out.write(data + struct.pack('<H', fit_crc(data)))
    return points


def dated(p):
    return p['year'] != 0 and p['month'] != 0 and p['day'] != 0


def whole_time(p):
    return calendar.timegm((p['year'], p['month'], p['day'], p['hour'], p['minute'],
                            int(p['second'])))


def seconds(p):
    if not dated(p):
        return None
    s = p['second']
    return whole_time(p) + (s - math.trunc(s))


def select(points, start=None, stop=None, geoid=None, smooth=None, exclude_records=()):
    """The export list: (point, exported altitude)."""
    def bound(text):
        d, mo, y, h, mi = map(int, re.match(r'(\d+)/(\d+)/(\d+) (\d+):(\d+)$', text).groups())
        return calendar.timegm((y, mo, d, h, mi, 0))
    kept = []
    for p in points:
        t = whole_time(p) if dated(p) else -1
        if start is not None and t < bound(start):
            continue
        if stop is not None and t > bound(stop):
            continue
        if p['record'] in exclude_records:
            continue
        kept.append([p, f32(p['alt'] - f32(geoid)) if geoid is not None else p['alt']])
    if smooth:
        raw = [a for _, a in kept]
        n = len(raw)
        prefix = [0.0]
        for a in raw:
            prefix.append(prefix[-1] + a)
        for i in range(n):
            lo, hi = max(0, i - smooth), min(n - 1, i + smooth)
            kept[i][1] = f32((prefix[hi + 1] - prefix[lo]) / (hi - lo + 1))
    return kept


def haversine(a, b):
    p1, p2 = math.radians(a['lat']), math.radians(b['lat'])
    dlat = p2 - p1
    dlon = math.radians(((b['lon'] - a['lon'] + 180) % 360) - 180)
    h = math.sin(dlat / 2) ** 2 + math.cos(p1) * math.cos(p2) * math.sin(dlon / 2) ** 2
    return 2 * R * math.asin(min(1.0, math.sqrt(h)))


def figures(entries, threshold=5.0):
    pts = [p for p, _ in entries]
    n = len(pts)
    times = [seconds(p) for p in pts]
    # the entries that begin a new segment: nothing is counted across the gap
    breaks = [i > 0 and pts[i - 1]['seg'] != pts[i]['seg'] for i in range(n)]
    # distance from the previous positioned entry to each entry
    steps, cumulative, total = [], [], 0.0
    for i, p in enumerate(pts):
        step = haversine(pts[i - 1], p) if i and not breaks[i] else 0.0
        total += step
        steps.append(step)
        cumulative.append(total)
    derived = n >= 2 and all(not p['speed'] and dated(p) for p in pts)
    if derived:
        speeds = []
        for i in range(n):
            near = [j for j in range(n) if abs(times[j] - times[i]) <= 2.5]
            first, last = min(near), max(near)
            if first == last:
                first, last = (i - 1, i) if i > 0 else (0, 1)
            dt = times[last] - times[first]
            speeds.append(f32((cumulative[last] - cumulative[first]) / dt * 3.6) if dt > 0 else 0.0)
    else:
        speeds = [p['speed'] for p in pts]  # None where a point has none
    dated_times = [t for t in times if t is not None]
    moving = moving_m = 0.0
    for i in range(1, n):
        if times[i] is None or times[i - 1] is None or breaks[i]:
            continue
        gap = times[i] - times[i - 1]
        if 0 < gap <= 300 and speeds[i] is not None and speeds[i] > 1:
            moving += gap
            moving_m += steps[i]
    counted, up, down = None, 0.0, 0.0
    for i, (_, a) in enumerate(entries):
        if breaks[i]:
            counted = None  # a new segment starts the band afresh
        if a is None:
            continue  # a gap in the altitudes, not a climb from 0
        if counted is None:
            counted = a
        elif a > counted + threshold:
            up += a - threshold - counted
            counted = a - threshold
        elif a < counted - threshold:
            down += counted - (a + threshold)
            counted = a + threshold
    alts = [a for _, a in entries if a is not None]
    known = [v for v in speeds if v is not None]
    sensors = {}
    for key in ('heart_rate', 'cadence', 'power', 'temperature'):
        values = [p['sensors'][key] for p in pts if key in p['sensors']]
        if values:
            sensors[key] = (sum(values) / len(values), max(values))
    return dict(sensors=sensors, points=n, start=dated_times[0] if dated_times else None,
                end=dated_times[-1] if dated_times else None,
                duration=dated_times[-1] - dated_times[0] if dated_times else None,
                distance=total, moving=moving if dated_times else None,
                moving_speed=(moving_m / moving * 3.6 if moving > 0 else 0.0) if dated_times else None,
                max_speed=max([0.0] + known) if known else None, derived=derived,
                ascent=up if alts else None, descent=down if alts else None,
                min_alt=min(alts) if alts else None, max_alt=max(alts) if alts else None,
                device=None)


def half_up(x):
    return int(math.floor(x + 0.5))


def iso(t):
    ms = half_up(t * 1000)
    when = datetime.datetime(1970, 1, 1) + datetime.timedelta(seconds=ms // 1000)
    text = when.strftime('%Y-%m-%dT%H:%M:%S')
    return text + ('.%03d' % (ms % 1000) if ms % 1000 else '') + 'Z'


def hms(t):
    s = half_up(t)
    return '%d:%02d:%02d' % (s // 3600, s // 60 % 60, s % 60)


ONE_TRACK = dict(tracks=[''], track_segments=[1], waypoints=0, routes=0, laps=0)


def info(entries, document, threshold=5.0, device=None):
    """The figures of the whole selection with the device's totals, the
    counts of the document (a file without a track point has no track and
    no segment) and each track's figures over its own entries."""
    tracks = []
    for t, (name, segments) in enumerate(zip(document['tracks'], document['track_segments'])):
        own = [e for e in entries if e[0]['track'] == t]
        tracks.append(dict(name=name, segments=segments, figures=figures(own, threshold)))
    return dict(figures=dict(figures(entries, threshold), device=device),
                tracks=tracks, segments=sum(document['track_segments']),
                waypoints=document['waypoints'], routes=document['routes'], laps=document['laps'])


def figure_rows(f):
    rows = [('Start', iso(f['start']) if f['start'] is not None else '-'),
            ('End', iso(f['end']) if f['end'] is not None else '-'),
            ('Duration', hms(f['duration']) if f['duration'] is not None else '-'),
            ('Distance', '%.3f km' % (f['distance'] / 1000)),
            ('Moving time', hms(f['moving']) if f['moving'] is not None else '-'),
            ('Moving speed', '%.2f km/h' % f['moving_speed'] if f['moving'] is not None else '-'),
            ('Maximum speed', '-' if f['max_speed'] is None else '%.2f km/h' % f['max_speed'] +
             (' (from positions and times)' if f['derived'] else '')),
            ('Ascent', metres(f['ascent'])), ('Descent', metres(f['descent'])),
            ('Lowest altitude', metres(f['min_alt'])),
            ('Highest altitude', metres(f['max_alt']))]
    labels = {'heart_rate': ('Heart rate', 'bpm'), 'cadence': ('Cadence', 'rpm'),
              'power': ('Power', 'W'), 'temperature': ('Temperature', '\u00b0C')}
    for key, (avg, top) in f['sensors'].items():
        rows.append((labels[key][0], 'average %.1f, maximum %.1f %s' % (avg, top, labels[key][1])))
    return rows


def text(name, i):
    f = i['figures']
    rows = [('Points', str(f['points'])), ('Tracks', str(len(i['tracks']))),
            ('Segments', str(i['segments'])), ('Waypoints', str(i['waypoints'])),
            ('Routes', str(i['routes'])), ('Laps', str(i['laps']))] + figure_rows(f)
    d = f['device']
    if d:
        rows += [('Device ascent', metres(d['ascent'])), ('Device descent', metres(d['descent'])),
                 ('Device distance', '%.3f km' % (d['distance'] / 1000)),
                 ('Device timer', hms(d['timer']))]
    out = name + '\n' + ''.join('  %-18s%s\n' % row for row in rows)
    if len(i['tracks']) > 1:
        for n, t in enumerate(i['tracks'], 1):
            out += '  Track %d%s\n' % (n, ': ' + t['name'] if t['name'] else '')
            rows = [('Segments', str(t['segments'])), ('Points', str(t['figures']['points']))]
            out += ''.join('    %-18s%s\n' % row for row in rows + figure_rows(t['figures']))
    return out


def metres(v):
    return '-' if v is None else '%.1f m' % v


def num(v, d):
    return 'null' if v is None else '%.*f' % (d, v)


def figure_keys(f):
    def when(t):
        return 'null' if t is None else '"%s"' % iso(t)
    sensors = ''.join(',"%s":{"avg":%.1f,"max":%.1f}' % (key, avg, top)
                      for key, (avg, top) in f['sensors'].items())
    return ('"start":%s,"end":%s,"duration_s":%s,"distance_m":%s,'
            '"moving_time_s":%s,"moving_speed_kmh":%s,"max_speed_kmh":%s,"ascent_m":%s,'
            '"descent_m":%s,"min_altitude_m":%s,"max_altitude_m":%s%s') % (
        when(f['start']), when(f['end']), num(f['duration'], 3),
        num(f['distance'], 1), num(f['moving'], 3), num(f['moving_speed'], 2),
        num(f['max_speed'], 2), num(f['ascent'], 1), num(f['descent'], 1),
        num(f['min_alt'], 1), num(f['max_alt'], 1), sensors)


def json_line(name, i):
    f = i['figures']
    d = f['device'] or dict(ascent=None, descent=None, distance=None, timer=None)
    device = ',"device_ascent_m":%s,"device_descent_m":%s,"device_distance_m":%s,"device_timer_s":%s' % (
        num(d['ascent'], 1), num(d['descent'], 1), num(d['distance'], 1), num(d['timer'], 3))
    tracks = ','.join('{"name":%s,"segments":%d,"points":%d,%s}' % (
        '"%s"' % t['name'] if t['name'] else 'null', t['segments'], t['figures']['points'],
        figure_keys(t['figures'])) for t in i['tracks'])
    return '{"file":"%s","points":%d,"segments":%d,"waypoints":%d,"routes":%d,"laps":%d,%s%s,"tracks":[%s]}\n' % (
        name, f['points'], i['segments'], i['waypoints'], i['routes'], i['laps'],
        figure_keys(f), device, tracks)


def write(name, content):
    with open(os.path.join(HERE, name), 'w', encoding='utf-8', newline='\n') as out:
        out.write(content)


hike = read_datalog(os.path.join(ROOT, 'samples', 'hike.log'))
write('hike.txt', text('hike.log', info(select(hike), ONE_TRACK)))
write('hike.json', json_line('hike.log', info(select(hike), ONE_TRACK)))
write('hike-selected.json', json_line('hike.log', info(select(
    hike, start='16/6/2007 7:40', stop='16/6/2007 8:10', geoid=48.5, smooth=4,
    exclude_records=(100,)), ONE_TRACK)))
write('hike-threshold-2.json', json_line('hike.log', info(select(hike), ONE_TRACK, threshold=2.0)))
walk, walk_document = read_gpx(os.path.join(HERE, 'walk.gpx'))
undated, undated_document = read_gpx(os.path.join(HERE, 'undated.gpx'))
write('walk-undated.txt', text('walk.gpx', info(select(walk), walk_document)) + '\n' +
      text('undated.gpx', info(select(undated), undated_document)))
# The ride has no lap message: the device's totals come from its session.
ride = write_ride(os.path.join(HERE, 'ride.fit'))
ride_info = info(select(ride), ONE_TRACK, device=RIDE_DEVICE)
write('ride.txt', text('ride.fit', ride_info))
write('ride.json', json_line('ride.fit', ride_info))
# Points without altitude at both ends and one between, times in other zones,
# a point with no real position: the figures leave out what the file lacks,
# and the text ends with what the read left out.
gaps, gaps_document = read_gpx(os.path.join(HERE, 'gaps.gpx'))
write('gaps.txt', text('gaps.gpx', info(select(gaps), gaps_document)) + '\n' +
      'gaps.gpx: 1 point without a real position left out\n')
write('walk-undated.json', json_line('walk.gpx', info(select(walk), walk_document)) +
      json_line('undated.gpx', info(select(undated), undated_document)))
# Two named tracks, the first of two segments 10 km apart, two waypoints and
# a route: each track's own figures, none counted across a gap.
two, two_document = read_gpx(os.path.join(HERE, 'two_tracks.gpx'))
write('two_tracks.txt', text('two_tracks.gpx', info(select(two), two_document)))
write('two_tracks.json', json_line('two_tracks.gpx', info(select(two), two_document)))
