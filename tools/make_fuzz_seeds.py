#!/usr/bin/env python3
"""Make the seed corpus of the fuzzing entry points from the files of the
repository (tests/data, data): single GRIB messages of every edition,
packing and bulletin kind, the packing sections alone, small text files.

    tools/make_fuzz_seeds.py [OUTDIR]     (default tests/fuzz/corpus)

Seeds are named seed-*; other files in the corpus folders (reproducers,
merged inputs) are left alone.
"""
import glob
import os
import shutil
import struct
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MAX_SEED = 24000  # octets: small seeds keep the GRIB entry points fast


def messages(buf):
    """(start, end) of each GRIB message in buf, bulletin text left out."""
    out = []
    pos = buf.find(b"GRIB")
    while pos >= 0 and pos + 16 <= len(buf):
        ed = buf[pos + 7]
        if ed == 2:
            n = struct.unpack(">Q", buf[pos + 8:pos + 16])[0]
        else:
            n = int.from_bytes(buf[pos + 4:pos + 7], "big")
            if ed == 0 or n < 8:
                end = buf.find(b"7777", pos + 8)
                n = end + 4 - pos if end > 0 else 0
        if n <= 0 or pos + n > len(buf):
            break
        out.append((pos, pos + n))
        pos = buf.find(b"GRIB", pos + n)
    return out


def sections2(msg):
    """{number: bytes} of the sections of one GRIB2 message (first product)."""
    secs, p = {}, 16
    while p + 5 <= len(msg) and msg[p:p + 4] != b"7777":
        n = struct.unpack(">I", msg[p:p + 4])[0]
        num = msg[p + 4]
        if n < 5:
            break
        secs.setdefault(num, msg[p:p + n])
        p += n
    return secs


def write(outdir, kind, name, data):
    d = os.path.join(outdir, kind)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, "seed-" + name), "wb") as f:
        f.write(data)


def grib_seeds(outdir):
    files = sorted(glob.glob(os.path.join(ROOT, "tests/data/grib/*")) +
                   [os.path.join(ROOT, "data/sample.grb")])
    for path in files:
        base = os.path.basename(path).replace(".", "_")
        buf = open(path, "rb").read()
        msgs = messages(buf)
        if not msgs:
            continue
        s, e = msgs[0]
        if e - s > MAX_SEED:
            continue
        # the first message with whatever bulletin text stands around it
        nxt = msgs[1][0] if len(msgs) > 1 else len(buf)
        write(outdir, "grib", base, buf[:min(nxt, e + 64)])
        # and two messages back to back, bare
        if len(msgs) > 1 and msgs[1][1] - s <= MAX_SEED:
            write(outdir, "grib", base + "_two", buf[s:msgs[1][1]])
        for k, (s2, e2) in enumerate(msgs[:40]):
            m = buf[s2:e2]
            if m[7] != 2:
                continue
            secs = sections2(m)
            if 5 not in secs or 7 not in secs:
                continue
            drs = struct.unpack(">H", secs[5][9:11])[0]
            name = "%s_t%d" % (base, drs)
            d = os.path.join(outdir, "unpack", "seed-" + name)
            if os.path.exists(d):
                continue
            s5 = secs[5]
            write(outdir, "unpack", name, struct.pack(">H", len(s5)) + s5 + secs[7][5:])


def repacked_seeds(outdir):
    """Packings no sample file has, made with eccodes' grib_set when it is
    there: IEEE floats in both editions, GRIB1 second-order packing."""
    if not shutil.which("grib_set"):
        return
    src = os.path.join(ROOT, "tests/data/grib/regular_latlon_surface")
    with tempfile.TemporaryDirectory() as tmp:
        for packing, editions in (("grid_ieee", ("grib1", "grib2")),
                                  ("grid_second_order", ("grib1",))):
            for ed in editions:
                out = os.path.join(tmp, packing + "." + ed)
                r = subprocess.run(["grib_set", "-r", "-s", "packingType=" + packing,
                                    src + "." + ed, out], capture_output=True)
                if r.returncode != 0 or not os.path.exists(out):
                    continue
                buf = open(out, "rb").read()
                write(outdir, "grib", "%s_%s" % (packing, ed), buf)
                if ed == "grib2":
                    secs = sections2(buf)
                    s5 = secs.get(5)
                    if s5 and 7 in secs:
                        write(outdir, "unpack", packing,
                              struct.pack(">H", len(s5)) + s5 + secs[7][5:])


def gridfile_seeds(outdir):
    """The own grid formats (a few grids of each, cut short) and netCDF
    files of every layout and kind."""
    for path in sorted(glob.glob(os.path.join(ROOT, "tests/data/grid/*.zup*"))):
        name = os.path.basename(path).replace(".", "_")
        write(outdir, "gridfile", name, open(path, "rb").read()[:6000])
    for path in sorted(glob.glob(os.path.join(ROOT, "tests/data/grid/*.nc"))):
        buf = open(path, "rb").read()
        if len(buf) <= 40000:
            write(outdir, "netcdf", os.path.basename(path).replace(".", "_"), buf)


def text_seeds(outdir):
    def data(name):
        return open(os.path.join(ROOT, "data", name), "rb").read()

    sample = data("sample.grb")
    # a thinned sample: the surface fields and five pressure levels make a
    # sounding at a fraction of the cost of every level
    thin = b""
    for s0, e0 in messages(sample):
        ltype, level = sample[s0 + 17], int.from_bytes(sample[s0 + 18:s0 + 20], "big")
        if ltype != 100 or level in (1000, 850, 700, 500, 300):
            thin += sample[s0:e0]
    for i, line in enumerate([b"40 -100 24", b"39.5 -100.9 24", b"40.9 -99 24 "]):
        write(outdir, "sound", "sample%d" % i, line + b"\n" + (sample if i == 0 else thin))
    write(outdir, "resource", "zup_cfg", data("zup.cfg"))
    write(outdir, "resource", "options",
          b"raziva.plot_param: dpres=25,nopage\nmessage: mess,+out1\n"
          b"*plot_domain: lc 25 -95 40 -100 1000 1000 -3000000 -2000000\n"
          b"[tag]\nfile_path: none\nforecast_time: d3\n")
    cty = data("sao.cty").split(b"\n")
    write(outdir, "station", "kddc", b"KDDC\n" + b"\n".join(cty[:60]) + b"\n")
    write(outdir, "station", "wmo", b"72451\n" + b"\n".join(cty[2000:2040]) + b"\n")
    for i, text in enumerate([b"us", b"ps 60 -105 0 0 0 1000 1000", b"skewt",
                              b"lc 25 -95 40 -100 1000 1000", b"ll 0 0 -90 -180 2.5 2.5 145 73",
                              b"me 20 -60 1 1 10000 10000 100 100"]):
        write(outdir, "domain", "text%d" % i, text + b"\n" + data("zup.reg"))
    write(outdir, "color", "zup_clr", data("zup.clr"))
    write(outdir, "color", "attrs", b"c=red,w=2,s=3,f=5\ncolor=blue width=1\n#ff0000\n")
    write(outdir, "font", "modern", data("modern.fnt"))
    write(outdir, "date", "name_conv", b"12/09/2004 12:00:00 GMT\n" + data("name_conv"))
    write(outdir, "date", "label", b"2004120912\ngrid %G/%Y%m%d%6h_nam.grb - 0\n")
    for i, t in enumerate([b"h24", b"d3", b"72", b"init", b"la#3", b"cu#2004120900", b"f12"]):
        write(outdir, "ftime", "t%d" % i, t)
    for i, name in enumerate(["variable.lup", "grib2_var.lup", "mod_name.lup", "units.lup",
                              "model.lup", "raziva.tim"]):
        write(outdir, "lookup", name.replace(".", "_"), bytes([i]) + data(name))


def main():
    outdir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "tests/fuzz/corpus")
    grib_seeds(outdir)
    repacked_seeds(outdir)
    gridfile_seeds(outdir)
    text_seeds(outdir)


if __name__ == "__main__":
    main()
