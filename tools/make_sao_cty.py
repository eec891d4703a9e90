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
    country codes (optional).

One record per line, whitespace-separated:
  name state region id priority lat lon elevation wmo num
name: at most 20 characters, blanks written as underscores; state: the US
or Canadian two-letter state/province, else "--"; region: two-letter
country code or "--"; priority: 1 for stations of the regional basic
synoptic network, 2 for other stations with a WMO number, 3 for the rest;
lat/lon in degrees (east positive); elevation in metres and the WMO number
are -9999 when not known; num is the running record number.

Usage: make_sao_cty.py [-o data/sao.cty] [--stations F] [--nsd F] [--iso F]
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
    """ICAO -> (wmo or None, elevation or None, rbsn flag, country)."""
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
            table[icao] = (wmo, elev, rbsn, parts[5].strip())
    return table


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
    return name[:20] or "UNKNOWN"


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
    info = nsd.get(icao)
    if not region and info:
        region = country_code(info[3], iso)
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
    args = ap.parse_args(argv)

    if not os.path.exists(args.stations):
        sys.exit("make_sao_cty: station list not found: %s "
                 "(install weather-util-data)" % args.stations)
    nsd = read_nsd(args.nsd)
    iso = read_iso(args.iso)
    recs = []
    seen = set()
    for icao, desc, lat, lon in read_stations(args.stations):
        if icao in seen or not re.fullmatch(r"[A-Z0-9]{3,9}", icao):
            continue
        if not (-90.0 <= lat <= 90.0 and -180.0 <= lon <= 180.0):
            continue
        rec = station_record(icao, desc, lat, lon, nsd, iso)
        if rec:
            seen.add(icao)
            recs.append(rec)
    # Stations of the basic network first, so a name that several stations
    # share finds the principal one.
    recs.sort(key=lambda r: (r["prior"], r["id"]))
    with open(args.output, "w", encoding="ascii", errors="replace") as out:
        out.write("# Station database: name state region id priority lat lon "
                  "elevation wmo num\n")
        out.write("# Made by tools/make_sao_cty.py from weather-util-data "
                  "(stations) and NOAA's station directory (WMO numbers,\n")
        out.write("# elevations); -9999 marks a missing elevation or WMO "
                  "number.\n")
        for num, r in enumerate(recs, 1):
            out.write("%-20s %-2s %-2s %-9s %-3d %8.3f %9.3f %6d %6d %5d\n" % (
                r["name"], r["state"], r["region"], r["id"], r["prior"],
                r["lat"], r["lon"], r["el"], r["wmo"], num))
    print("make_sao_cty: %d stations written to %s (%d with WMO numbers)" % (
        len(recs), args.output, sum(1 for r in recs if r["wmo"] > 0)))


if __name__ == "__main__":
    main(sys.argv[1:])
