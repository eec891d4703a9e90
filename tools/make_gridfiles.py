#!/usr/bin/env python3
"""make_gridfiles - write the package's own grid files and a model-layout
netCDF description (CDL) from a GRIB edition 1 file on a Lambert conformal
grid, cut to a window of grid points around a point.

Values and grid geometry come from the eccodes tools (grib_get, grib_get_data);
the files are written by the layouts of the own grid format:

  NAME.zup    "ZUPGRID", header version 2, text values
  NAME.zupb   "ZUPGRID", header version 3, 4-octet big-endian values
  NAME.zup4   "ZUPGRID4", header version 4, values in NAME.dat (floats in
              this machine's order, last row first and columns right to left)
  NAME.cdl    model layout for ncgen (x/y dimensions, "domain" attribute)

  tools/make_gridfiles.py in.grb LAT LON HALF OUTDIR/NAME
"""
import math
import struct
import subprocess
import sys

EARTH_SCALE = 6371.22 / 6367.47  # edition 1 earth to the program's earth


def run(args):
    return subprocess.run(args, check=True, capture_output=True, text=True).stdout


def messages(path):
    keys = ("indicatorOfParameter,indicatorOfTypeOfLevel,level,P1,centre,"
            "generatingProcessIdentifier,dataDate,dataTime,Ni,Nj,jScansPositively,"
            "iScansNegatively,LoVInDegrees,Latin1InDegrees,Latin2InDegrees,"
            "DxInMetres,DyInMetres,shortName")
    out = run(["grib_get", "-p", keys, path])
    msgs = []
    for line in out.splitlines():
        w = line.split()
        if len(w) < 18:
            continue
        msgs.append(dict(zip(keys.split(","), w)))
    return msgs


def values(path, n):
    out = run(["grib_get_data", "-L", "%.6f %.6f", "-F", "%.9g", "-w", "count=%d" % n, path])
    rows = []
    for line in out.splitlines()[1:]:
        w = line.split()
        if len(w) == 3:
            rows.append((float(w[0]), float(w[1]), w[2]))
    return rows


# Level type numbers of the mnemonic level kinds grib_get prints.
LTYPE = {"sfc": 1, "pl": 100, "sfc2": 105}


def main():
    grb, lat0, lon0, half, base = sys.argv[1], float(sys.argv[2]), float(sys.argv[3]), \
        int(sys.argv[4]), sys.argv[5]
    msgs = messages(grb)
    m0 = msgs[0]
    ni, nj = int(m0["Ni"]), int(m0["Nj"])
    # grids in north-first rows, as the program stores them
    grids = []
    for k, m in enumerate(msgs):
        pts = values(grb, k + 1)
        rows = [pts[j * ni:(j + 1) * ni] for j in range(nj)]
        if m["jScansPositively"] == "1":
            rows.reverse()
        if m["iScansNegatively"] == "1":
            rows = [list(reversed(r)) for r in rows]
        grids.append(rows)
    # window around the grid point nearest the point
    rows = grids[0]
    best = None
    for j in range(nj):
        for i in range(ni):
            la, lo = rows[j][i][0], rows[j][i][1]
            lo = lo - 360 if lo > 180 else lo
            d = (la - lat0) ** 2 + ((lo - lon0) * math.cos(math.radians(lat0))) ** 2
            if best is None or d < best[0]:
                best = (d, i, j)
    _, ci, cj = best
    i0, j0 = ci - half, cj - half
    n = 2 * half + 1
    if i0 < 0 or j0 < 0 or i0 + n > ni or j0 + n > nj:
        sys.exit("window leaves the grid")
    clat, clon = rows[cj][ci][0], rows[cj][ci][1]
    clon = clon - 360 if clon > 180 else clon
    lov = float(m0["LoVInDegrees"])
    lov = lov - 360 if lov > 180 else lov
    dx = float(m0["DxInMetres"]) / 100000 * EARTH_SCALE
    dy = float(m0["DyInMetres"]) / 100000 * EARTH_SCALE
    lc = "LC:90:%g:%s:%s:1" % (lov, m0["Latin1InDegrees"], m0["Latin2InDegrees"])
    proj = "%s %.6f %.6f %.6f %.6f %d %d" % (lc, clat, clon, dx, dy, n, n)
    domain = "%s,%.6f,%.6f,%d,%d,%.6f,%.6f" % (lc.lower(), clat, clon, n, n, dx, dy)
    d = m0["dataDate"]
    hour = int(m0["dataTime"]) // 100
    months = "JAN FEB MAR APR MAY JUN JUL AUG SEP OCT NOV DEC".split()
    datim = "%02dZ %d %s %s" % (hour, int(d[6:8]), months[int(d[4:6]) - 1], d[2:4])

    def cut(k):
        return [[grids[k][j][i][2] for i in range(i0, i0 + n)] for j in range(j0, j0 + n)]

    def line3(m):
        lt = LTYPE.get(m["indicatorOfTypeOfLevel"], 1)
        if m["shortName"] == "2t":
            lt = 105
        return "%s 1 %s 0 %d %s %s %s:%s" % (
            m["centre"] if m["centre"].isdigit() else 7, m["generatingProcessIdentifier"], lt,
            m["level"], m["P1"], m["indicatorOfParameter"], UNITS[m["indicatorOfParameter"]])

    with open(base + ".zup", "w") as t, open(base + ".zupb", "wb") as b, \
            open(base + ".zup4", "w") as z4, open(base + ".dat", "wb") as dat:
        t.write("ZUPGRID\n")
        b.write(b"ZUPGRID\n")
        z4.write("ZUPGRID4\n")
        for k, m in enumerate(msgs):
            vals = cut(k)
            def head(v):
                return "%s\n%d-%s %s\n%s\n" % (datim, v, m["shortName"], m["level"], line3(m))
            t.write(head(2) + proj + "\n")
            for r in vals:
                t.write(" ".join(r) + "\n")
            b.write((head(3) + proj + "\n").encode())
            for r in vals:
                b.write(b"".join(struct.pack(">f", float(v)) for v in r))
            b.write(b"\n")
            off = dat.tell()
            for r in reversed(vals):
                dat.write(b"".join(struct.pack("=f", float(v)) for v in reversed(r)))
            z4.write(head(4) + domain + "\n")
            z4.write("FLOAT %s %d 0 0\n" % (base.split("/")[-1] + ".dat", off))
    # model layout: isobaric fields on "level", surface pressure and 2 m
    # temperature as single-level fields; rows south to north
    names = {"7": ("gpt_hgt", "geopotential meters"), "11": ("temp", "degK"),
             "52": ("rel_hum", "percent"), "33": ("u_wind", "meters/second"),
             "34": ("v_wind", "meters/second")}
    levels = sorted({int(m["level"]) for m in msgs if m["indicatorOfTypeOfLevel"] == "pl"},
                    reverse=True)
    with open(base + ".cdl", "w") as c:
        c.write("netcdf model {\ndimensions:\n\trtime = 1 ;\n\tfrtime = 1 ;\n"
                "\tlevel = %d ;\n\ty = %d ;\n\tx = %d ;\n" % (len(levels), n, n))
        c.write("variables:\n\tint year(rtime) ;\n\tint month(rtime) ;\n\tint day(rtime) ;\n"
                "\tint hour(rtime) ;\n\tfloat frtime(frtime) ;\n\tfloat level(level) ;\n"
                "\tint grib_center(frtime) ;\n\tint grib_model(frtime) ;\n")
        for p, (nm, u) in names.items():
            c.write("\tfloat %s(frtime, level, y, x) ;\n\t\t%s:units = \"%s\" ;\n" % (nm, nm, u))
        c.write("\tfloat P(frtime, y, x) ;\n\t\tP:units = \"pascals\" ;\n")
        c.write("\tfloat T(frtime, y, x) ;\n\t\tT:units = \"degK\" ;\n")
        c.write("\n// global attributes:\n\t\t:domain = \"%s\" ;\n" % domain)
        c.write("data:\n year = %s ;\n month = %d ;\n day = %d ;\n hour = %d ;\n"
                % (d[0:4], int(d[4:6]), int(d[6:8]), hour))
        c.write(" frtime = %s ;\n level = %s ;\n grib_center = 7 ;\n grib_model = %s ;\n"
                % (m0["P1"], ", ".join(map(str, levels)), m0["generatingProcessIdentifier"]))

        def south_first(k):
            return ", ".join(", ".join(r) for r in reversed(cut(k)))

        for p, (nm, u) in names.items():
            parts = []
            for lv in levels:
                k = next(i for i, m in enumerate(msgs) if m["indicatorOfParameter"] == p
                         and m["indicatorOfTypeOfLevel"] == "pl" and int(m["level"]) == lv)
                parts.append(south_first(k))
            c.write(" %s = %s ;\n" % (nm, ",\n  ".join(parts)))
        for nm, short in (("P", "sp"), ("T", "2t")):
            k = next(i for i, m in enumerate(msgs) if m["shortName"] == short)
            c.write(" %s = %s ;\n" % (nm, south_first(k)))
        c.write("}\n")


UNITS = {"1": "Pa", "7": "m", "11": "K", "52": "%", "33": "m/s", "34": "m/s"}

if __name__ == "__main__":
    main()
