#!/usr/bin/env python3
"""Build the station database "sao.cty" from public station lists.

Sources (all installed from Debian packages):
  * weather-util-data: /usr/share/weather-util/stations.gz, about 5800
    METAR stations with ICAO identifiers, descriptions and coordinates in
    radians (public-domain NOAA/Census/OurAirports compilation);
  * libeccodes-data: .../metar/nsd_cccc.txt, NOAA's station directory, for
    WMO block/station numbers, elevations and the RBSN flag, matched by
    ICAO identifier (optional: without it those fields stay missing);
  * iso-codes: /usr/share/iso-codes/json/iso_3166-1.json for two-letter
    country codes (optional);
  * libgweather-4-common: /usr/share/libgweather-4/Locations.xml, the GNOME
    weather locations with METAR codes and coordinates (optional), used only
    to cross-check positions.

Where the lists overlap (the same ICAO identifier) their positions are
compared: the station position and the upper-air position of the station
directory, the weather-util position and the GNOME position.  Every station
whose positions disagree by more than 25 km is reported, together with any
WMO number given to more than one station, so that errors of the source
lists show up whenever the database is made again.  The stations checked
and found wrong are corrected from the table CORRECTIONS below.

One record per line, whitespace-separated:
  name state region id priority lat lon elevation wmo num
name: at most 19 characters (what a station answer holds), blanks written as underscores; state: the US
or Canadian two-letter state/province, else "--"; region: two-letter
country code or "--"; priority: 1 for stations of the regional basic
synoptic network, 2 for other stations with a WMO number, 3 for the rest;
lat/lon in degrees (east positive); elevation in metres and the WMO number
are -9999 when not known; num is the running record number.

Usage: make_sao_cty.py [-o data/sao.cty] [--stations F] [--nsd F] [--iso F]
                       [--gnome F] [--report F] [--max-km 25]
"""

import argparse
import gzip
import json
import math
import os
import re
import sys

DEF_STATIONS = "/usr/share/weather-util/stations.gz"
DEF_NSD_CANDIDATES = [
    "/usr/share/eccodes/definitions/metar/nsd_cccc.txt",
    "/usr/share/eccodes/definitions/taf/nsd_cccc.txt",
]
DEF_ISO = "/usr/share/iso-codes/json/iso_3166-1.json"
DEF_GNOME = "/usr/share/libgweather-4/Locations.xml"

# A station answer holds 19 characters: a longer name could never be typed.
NAME_LEN = 19

# Stations whose source positions are plainly wrong, checked against the
# aerodrome charts: field -> corrected value.
CORRECTIONS = {
    # the directory puts Mexicali on Tijuana's longitude
    "MMML": {"lat": 32.631, "lon": -115.242},
    # Bluefields, Nicaragua: 3 degrees of longitude (327 km) off
    "MNBL": {"lat": 11.991, "lon": -83.774},
    # Pula, Croatia: one degree of latitude off
    "LDPL": {"lat": 44.894, "lon": 13.922},
    # Macapa, Brazil: one degree of longitude off
    "SBMQ": {"lat": 0.051, "lon": -51.072},
    # El Oued (Guemar), Algeria: the station position is 70 km west of the
    # airport, which the upper-air position gives
    "DAUO": {"lat": 33.511, "lon": 6.777},
    # the lists disagree and the station list's position is the wrong one
    "PAOR": {"lat": 62.961, "lon": -141.929},   # Northway: sign of longitude
    "KFHU": {"lat": 31.588, "lon": -110.344},   # Fort Huachuca: 16 degrees
    "HETR": {"lat": 28.209, "lon": 33.645},     # El Tor: one degree
    "YPPD": {"lat": -20.378, "lon": 118.626},   # Port Hedland
    "KAEX": {"lat": 31.327, "lon": -92.549},    # Alexandria International
    "KBPT": {"lat": 29.951, "lon": -94.021},    # Beaumont/Port Arthur
    "KNMM": {"lat": 32.552, "lon": -88.556},    # Meridian naval air station
    "KNQI": {"lat": 27.507, "lon": -97.809},    # Kingsville naval air station
    "KNOG": {"lat": 27.901, "lon": -98.052},    # Orange Grove
    "KPDT": {"lat": 45.695, "lon": -118.841},   # Pendleton
    "UMMS": {"lat": 53.882, "lon": 28.031},     # Minsk National
    "EPZG": {"lat": 52.139, "lon": 15.799},     # Zielona Gora/Babimost
    # Oslo Gardermoen lies at about 200 m, not 20 m
    "ENGM": {"el": 204},
    # 10613 is Buechel (ETSB); Karlsruhe/Baden-Baden has no number of its own
    "EDSB": {"wmo": -9999},
}

# Country names used by the station lists that differ from ISO 3166 names.
COUNTRY_ALIASES = {
    "united states": "US",
    "united states of america": "US",
    "russia": "RU",
    "iran": "IR",
    "south korea": "KR",
    "korea, south": "KR",
    "north korea": "KP",
    "vietnam": "VN",
    "viet nam": "VN",
    "syria": "SY",
    "laos": "LA",
    "bolivia": "BO",
    "venezuela": "VE",
    "tanzania": "TZ",
    "moldova": "MD",
    "taiwan": "TW",
    "czech republic": "CZ",
    "macedonia": "MK",
    "ivory coast": "CI",
    "cote d'ivoire": "CI",
    "cape verde": "CV",
    "brunei": "BN",
    "micronesia": "FM",
    "congo": "CG",
    "democratic republic of the congo": "CD",
    "swaziland": "SZ",
    "turkey": "TR",
    "great britain": "GB",
    "united kingdom": "GB",
    "hong kong": "HK",
    "macau": "MO",
    "falkland islands": "FK",
    "saint helena": "SH",
    "palestine": "PS",
    "the bahamas": "BS",
    "bahamas": "BS",
    "the gambia": "GM",
    "gambia": "GM",
}

# Words dropped from the end of station names ("Denver International
# Airport" becomes "Denver").
NAME_SUFFIXES = [
    "international airport", "int'l airport", "regional airport",
    "municipal airport", "int'l",
    "county airport", "memorial airport", "airport", "international",
    "air force base", "airfield", "aerodrome", "field", "airpark",
]

US_STATES = set(
    "AL AK AZ AR CA CO CT DE DC FL GA HI ID IL IN IA KS KY LA ME MD MA MI MN "
    "MS MO MT NE NV NH NJ NM NY NC ND OH OK OR PA RI SC SD TN TX UT VT VA WA "
    "WV WI WY PR VI GU AS MP".split())
CA_PROVINCES = set("AB BC MB NB NL NS NT NU ON PE QC SK YT".split())


def read_stations(path):
    """Yield (icao, description, lat_deg, lon_deg) of located stations."""
    opener = gzip.open if path.endswith(".gz") else open
    icao = desc = loc = None
    with opener(path, "rt", encoding="utf-8", errors="replace") as f:
        for raw in f:
            line = raw.strip()
            if line.startswith("["):
                if icao and desc and loc:
                    yield icao, desc, loc[0], loc[1]
                icao = line.strip("[]").upper()
                desc = loc = None
            elif line.startswith("description ="):
                desc = line.split("=", 1)[1].strip()
            elif line.startswith("location ="):
                m = re.match(r"\(\s*([-0-9.eE]+)\s*,\s*([-0-9.eE]+)\s*\)",
                             line.split("=", 1)[1].strip())
                loc = None
                if m:
                    loc = (math.degrees(float(m.group(1))),
                           math.degrees(float(m.group(2))))
        if icao and desc and loc:
            yield icao, desc, loc[0], loc[1]


def read_nsd(path):
    """ICAO -> (wmo or None, elevation or None, rbsn flag, country, state,
    station position or None, upper-air position or None)."""
    table = {}
    if not path or not os.path.exists(path):
        return table
    with open(path, encoding="latin-1") as f:
        for raw in f:
            parts = raw.rstrip("\r\n").split("|")
            if len(parts) < 13:
                continue
            icao = parts[0].strip().upper()
            block, station = parts[1].strip(), parts[2].strip()
            wmo = None
            if block.isdigit() and station.isdigit() and len(block) == 2 \
                    and len(station) == 3:
                wmo = int(block) * 1000 + int(station)
            elev = None
            if re.fullmatch(r"-?\d+", parts[11].strip()):
                elev = int(parts[11].strip())
            rbsn = len(parts) > 13 and parts[13].strip() == "P"
            table[icao] = (wmo, elev, rbsn, parts[5].strip(), parts[4].strip(),
                           nsd_position(parts[7], parts[8]),
                           nsd_position(parts[9], parts[10]))
    return table


def nsd_angle(text, pos, neg):
    """Degrees of "DD-MM[-SS]H" (H one of pos/neg), or None."""
    m = re.fullmatch(r"(\d{1,3})-(\d{2})(?:-(\d{2}))?([%s%s])" % (pos, neg),
                     text.strip())
    if not m:
        return None
    v = int(m.group(1)) + int(m.group(2)) / 60.0 + int(m.group(3) or 0) / 3600.0
    return -v if m.group(4) == neg else v


def nsd_position(lat, lon):
    la, lo = nsd_angle(lat, "N", "S"), nsd_angle(lon, "E", "W")
    return (la, lo) if la is not None and lo is not None else None


def read_gnome(path):
    """ICAO -> (lat, lon) of the GNOME weather locations."""
    table = {}
    if not path or not os.path.exists(path):
        return table
    import xml.etree.ElementTree as ET
    for _, el in ET.iterparse(path):
        if el.tag != "location":
            continue
        code, coord = el.findtext("code"), el.findtext("coordinates")
        if code and coord:
            try:
                lat, lon = (float(v) for v in coord.split())
                table.setdefault(code.strip().upper(), (lat, lon))
            except ValueError:
                pass
        el.clear()
    return table


def distance_km(a, b):
    """Great-circle distance of two (lat, lon) positions in degrees."""
    la1, lo1, la2, lo2 = (math.radians(v) for v in (a[0], a[1], b[0], b[1]))
    h = math.sin((la2 - la1) / 2) ** 2 + \
        math.cos(la1) * math.cos(la2) * math.sin((lo2 - lo1) / 2) ** 2
    return 2 * 6371.0 * math.asin(min(1.0, math.sqrt(h)))


def compare_sources(positions, max_km):
    """Lines describing every station whose positions disagree by more than
    max_km; positions maps ICAO -> list of (source, (lat, lon))."""
    lines = []
    for icao in sorted(positions):
        pos = positions[icao]
        worst = None
        for i in range(len(pos)):
            for j in range(i + 1, len(pos)):
                d = distance_km(pos[i][1], pos[j][1])
                if d > max_km and (worst is None or d > worst):
                    worst = d
        if worst is None:
            continue
        where = "; ".join("%s %.3f,%.3f" % (src, p[0], p[1]) for src, p in pos)
        fix = CORRECTIONS.get(icao, {})
        note = " (corrected to %.3f,%.3f)" % (fix["lat"], fix["lon"]) \
            if "lat" in fix else ""
        lines.append("%-5s %6.0f km: %s%s" % (icao, worst, where, note))
    return lines


def read_iso(path):
    names = {}
    if not path or not os.path.exists(path):
        return names
    with open(path, encoding="utf-8") as f:
        for c in json.load(f).get("3166-1", []):
            for key in ("name", "common_name", "official_name"):
                if key in c:
                    names[c[key].lower()] = c["alpha_2"]
    return names


def country_code(text, iso):
    t = text.strip()
    if re.fullmatch(r"[A-Z]{2}", t):
        return t
    low = t.lower()
    if low in COUNTRY_ALIASES:
        return COUNTRY_ALIASES[low]
    return iso.get(low)


def clean_name(text):
    name = text.split(" / ")[0].strip()
    # "Int'l", "Int'L." and "Intl" abbreviate "International".
    name = re.sub(r"\s+Int'?l\.?(?=\s|$).*$", "", name, flags=re.I).strip()
    low = name.lower()
    changed = True
    while changed:
        changed = False
        for suf in NAME_SUFFIXES:
            if low.endswith(" " + suf) and len(low) > len(suf) + 1:
                name = name[: -len(suf) - 1].rstrip()
                low = name.lower()
                changed = True
    name = re.sub(r"[^A-Za-z0-9.'-]+", "_", name).strip("_")
    name = re.sub(r"_+", "_", name)
    return name[:NAME_LEN] or "UNKNOWN"


def station_record(icao, desc, lat, lon, nsd, iso):
    if desc.lower().startswith("unknown station"):
        return None
    parts = [p.strip() for p in desc.split(",")]
    state = "--"
    region = None
    if len(parts) >= 2:
        region = country_code(parts[-1], iso)
        if region in ("US", "CA") and len(parts) >= 3 and \
                parts[-2] in (US_STATES | CA_PROVINCES):
            state = parts[-2]
        # "CA" after a contiguous-US identifier is California, not Canada.
        if region == "CA" and icao.startswith("K") and parts[-1] == "CA":
            region, state = "US", "CA"
    info = nsd.get(icao)
    if not region and info:
        region = country_code(info[3], iso)
    if region == "US" and state == "--" and info and info[4] in US_STATES:
        state = info[4]
    wmo, elev, rbsn = (info[0], info[1], info[2]) if info else (None, None, False)
    prior = 1 if rbsn and wmo else (2 if wmo else 3)
    return {
        "name": clean_name(parts[0]),
        "state": state,
        "region": region or "--",
        "id": icao[:9],
        "prior": prior,
        "lat": lat,
        "lon": lon,
        "el": elev if elev is not None and -500 <= elev <= 9000 else -9999,
        "wmo": wmo if wmo else -9999,
    }


def main(argv):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("-o", "--output", default="data/sao.cty")
    ap.add_argument("--stations", default=DEF_STATIONS)
    ap.add_argument("--nsd", default=next(
        (p for p in DEF_NSD_CANDIDATES if os.path.exists(p)), ""))
    ap.add_argument("--iso", default=DEF_ISO)
    ap.add_argument("--gnome", default=DEF_GNOME)
    ap.add_argument("--report", default="-",
                    help="where the disagreements go (default: standard error)")
    ap.add_argument("--max-km", type=float, default=25.0)
    args = ap.parse_args(argv)

    if not os.path.exists(args.stations):
        sys.exit("make_sao_cty: station list not found: %s "
                 "(install weather-util-data)" % args.stations)
    nsd = read_nsd(args.nsd)
    iso = read_iso(args.iso)
    gnome = read_gnome(args.gnome)
    recs = []
    seen = set()
    positions = {}
    for icao, desc, lat, lon in read_stations(args.stations):
        if icao in seen or not re.fullmatch(r"[A-Z0-9]{3,9}", icao):
            continue
        if not (-90.0 <= lat <= 90.0 and -180.0 <= lon <= 180.0):
            continue
        rec = station_record(icao, desc, lat, lon, nsd, iso)
        if rec:
            seen.add(icao)
            recs.append(rec)
            pos = [("weather-util", (lat, lon))]
            info = nsd.get(icao)
            if info and info[5]:
                pos.append(("directory", info[5]))
            if info and info[6]:
                pos.append(("directory-upper-air", info[6]))
            if icao in gnome:
                pos.append(("gnome", gnome[icao]))
            positions[icao] = pos
    report = compare_sources(positions, args.max_km)
    by_wmo = {}
    for r in recs:
        if r["wmo"] > 0:
            by_wmo.setdefault(r["wmo"], []).append(r["id"])
    for w, ids in sorted(by_wmo.items()):
        if len(ids) > 1:
            fixed = [i for i in ids if "wmo" in CORRECTIONS.get(i, {})]
            report.append("WMO %05d on %s%s" % (
                w, ", ".join(ids),
                " (taken from %s)" % ", ".join(fixed) if fixed else ""))
    for r in recs:
        r.update(CORRECTIONS.get(r["id"], {}))
    rep = sys.stderr if args.report == "-" else open(args.report, "w")
    rep.write("make_sao_cty: %d stations whose positions disagree by more "
              "than %g km, %d WMO numbers on several stations\n" % (
                  sum(1 for l in report if not l.startswith("WMO")),
                  args.max_km, sum(1 for l in report if l.startswith("WMO"))))
    for line in report:
        rep.write(line + "\n")
    if rep is not sys.stderr:
        rep.close()
    # Stations of the basic network first, so a name that several stations
    # share finds the principal one.
    recs.sort(key=lambda r: (r["prior"], r["id"]))
    with open(args.output, "w", encoding="ascii", errors="replace") as out:
        out.write("# Station database: name state region id priority lat lon "
                  "elevation wmo num\n")
        out.write("# Made by tools/make_sao_cty.py from weather-util-data "
                  "(stations) and NOAA's station directory (WMO numbers,\n")
        out.write("# elevations), positions cross-checked with the GNOME "
                  "weather locations; -9999 marks a missing\n")
        out.write("# elevation or WMO number.\n")
        for num, r in enumerate(recs, 1):
            out.write("%-20s %-2s %-2s %-9s %-3d %8.3f %9.3f %6d %6d %5d\n" % (
                r["name"], r["state"], r["region"], r["id"], r["prior"],
                r["lat"], r["lon"], r["el"], r["wmo"], num))
    print("make_sao_cty: %d stations written to %s (%d with WMO numbers)" % (
        len(recs), args.output, sum(1 for r in recs if r["wmo"] > 0)))


if __name__ == "__main__":
    main(sys.argv[1:])
