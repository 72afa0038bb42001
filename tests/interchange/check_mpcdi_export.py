#!/usr/bin/python3
"""Opens an .mpcdi file that trivelctl exported with Python's own readers (zipfile, xml.etree,
zlib, numpy), none of the tool's code, and checks it against what the rig of make_rig.cpp must
give. Usage: check_mpcdi_export.py TRIVELCTL RIG.WBF WORKDIR"""

import pathlib
import re
import struct
import subprocess
import sys
import xml.etree.ElementTree as ET
import zipfile
import zlib

import numpy as np

W, H = 1920, 1080
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what)


def attr(element, name):
    """Attributes are compared without regard to case, as writers differ."""
    for key, value in element.attrib.items():
        if key.lower() == name.lower():
            return value
    return None


def read_png(data):
    """Grey or RGB, 8 or 16 bits, any of the five row filters. Rows top first."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "PNG signature"
    pos, idat, ihdr = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        crc, = struct.unpack(">I", data[pos + 8 + length:pos + 12 + length])
        assert zlib.crc32(kind + body) == crc, "PNG chunk CRC"
        if kind == b"IHDR":
            ihdr = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = ihdr
    assert colour in (0, 2) and depth in (8, 16) and interlace == 0, ihdr
    channels = 1 if colour == 0 else 3
    bpp = channels * depth // 8
    stride = width * bpp
    raw = np.frombuffer(zlib.decompress(idat), dtype=np.uint8).reshape(height, stride + 1)
    out = np.zeros((height, stride), dtype=np.int32)
    prev = np.zeros(stride, dtype=np.int32)
    for y in range(height):
        kind, line = raw[y, 0], raw[y, 1:].astype(np.int32)
        if kind == 0:
            cur = line
        elif kind == 2:
            cur = (line + prev) & 0xFF
        else:
            cur = np.zeros(stride, dtype=np.int32)
            for i in range(stride):
                a = cur[i - bpp] if i >= bpp else 0
                b, c = prev[i], (prev[i - bpp] if i >= bpp else 0)
                if kind == 1:
                    p = a
                elif kind == 3:
                    p = (a + b) // 2
                else:
                    pa, pb, pc = abs(b - c), abs(a - c), abs(a + b - 2 * c)
                    p = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
                cur[i] = (line[i] + p) & 0xFF
        out[y], prev = cur, cur
    samples = out.astype(np.uint8).reshape(height, width * channels * depth // 8)
    if depth == 16:
        samples = samples.reshape(height, -1, 2).astype(np.uint32)
        values = (samples[:, :, 0] << 8 | samples[:, :, 1]) / 65535.0
    else:
        values = samples / 255.0
    return values.reshape(height, width, channels), depth, channels


def read_pfm(data):
    m = re.match(rb"(P[Ff])\s+(\d+)\s+(\d+)\s+(\S+)\s", data)
    assert m, "PFM header"
    channels = 3 if m.group(1) == b"PF" else 1
    width, height, scale = int(m.group(2)), int(m.group(3)), float(m.group(4))
    dtype = "<f4" if scale < 0 else ">f4"
    body = np.frombuffer(data[m.end():], dtype=dtype, count=width * height * channels)
    # The file's first row is the bottom one.
    return body.reshape(height, width, channels)[::-1], scale


def read_tables(path):
    words = np.fromfile(path, dtype="<u2").astype(np.int64)
    words[words >= 0xC000] -= 65536
    return words[:132 * 78].reshape(132, 78) / 16.0, words[132 * 78:].reshape(132, 78) / 16.0


def box_shows(table, x, y):
    """The source the box fetches at output (x, y): bilinear between 16-pixel mesh points."""
    gx, gy = x / 16.0, y / 16.0
    l, n = np.minimum(gx.astype(int), 130), np.minimum(gy.astype(int), 76)
    fx, fy = gx - l, gy - n
    return ((table[l, n] * (1 - fx) + table[l + 1, n] * fx) * (1 - fy)
            + (table[l, n + 1] * (1 - fx) + table[l + 1, n + 1] * fx) * fy)


def main():
    trivelctl, rig, work = sys.argv[1], sys.argv[2], pathlib.Path(sys.argv[3])
    work.mkdir(parents=True, exist_ok=True)
    archive = work / "rig.mpcdi"
    run = subprocess.run([trivelctl, "export", "--file", rig, "--mpcdi", str(archive),
                          "--tables", str(work / "tables")], capture_output=True, text=True)
    check(run.returncode == 0, "trivelctl export: " + run.stderr)
    if failures:
        return 1

    z = zipfile.ZipFile(archive)
    check(z.testzip() is None, "every entry's CRC")
    names = z.namelist()
    check(names.count("mpcdi.xml") == 1, "exactly one mpcdi.xml")
    check(all("/" not in n and "\\" not in n and ".." not in n for n in names), "all files at the root")

    root = ET.fromstring(z.read("mpcdi.xml"))
    check(root.tag == "MPCDI", "root element MPCDI")
    check(root.get("profile") == "2d" and root.get("version") == "2.0", "2d profile, version 2.0")
    check(root.get("geometry") == "2" and root.get("color") in ("1", "2"), "levels")
    check(re.fullmatch(r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d", root.get("date") or "") is not None, "date")
    buffers = root.find("display").findall("buffer")
    check(len(buffers) == 4, "a buffer per window")
    regions = {}
    for b in buffers:
        rs = b.findall("region")
        check(len(rs) == 1, "one region per buffer")
        r = rs[0]
        regions[r.get("id")] = r
        check((int(attr(b, "xresolution")), int(attr(b, "yresolution"))) == (W, H), "buffer size")
        check((int(attr(r, "xresolution")), int(attr(r, "yresolution"))) == (W, H), "region size")
        check([float(r.get(k)) for k in ("x", "y", "xsize", "ysize")] == [0, 0, 1, 1], "region covers its buffer")
    check(sorted(regions) == ["window1", "window2", "window3", "window4"], "region ids")
    sets = {f.get("region"): f for f in root.find("files").findall("fileset")}
    check(sorted(sets) == sorted(regions), "a fileset per region")

    def files_of(region):
        f = sets[region]
        warp, alpha, beta = f.find("geometryWarpFile"), f.find("alphaMap"), f.find("betaMap")
        check(warp.findtext("interpolation") == "linear", "linear interpolation")
        paths = [warp.findtext("path"), alpha.findtext("path"), beta.findtext("path")]
        check(all(p in names for p in paths), region + ": files present")
        a, a_depth, a_channels = read_png(z.read(paths[1]))
        b, b_depth, b_channels = read_png(z.read(paths[2]))
        for element, depth, channels in ((alpha, a_depth, a_channels), (beta, b_depth, b_channels)):
            check(int(element.findtext("bitDepth")) == depth, region + ": bitDepth as in the PNG")
            check(int(element.findtext("componentDepth")) == channels, region + ": componentDepth as in the PNG")
        check(a.shape[:2] == (H, W) and b.shape[:2] == (H, W), region + ": maps at the frame size")
        grid, scale = read_pfm(z.read(paths[0]))
        check(scale < 0, region + ": little-endian PFM")
        return grid, a, b, float(alpha.findtext("gammaEmbedded"))

    # Window 1: every point 10 px right, so each output pixel fetches the source 10 px left of it
    # (the table's first column rounds -9.9375); a straight 200 px ramp; lift 16 right of it.
    grid, alpha, beta, gamma = files_of("window1")
    rows, cols = grid.shape[:2]
    check((cols, rows) == (121, 136), "window1: a point every 16 px across, every 8 px down")
    x = np.arange(cols) * (W / (cols - 1))
    y = np.arange(rows) * (H / (rows - 1))
    check(np.abs(grid[:, :, 0] * W - (x[None, :] - 10)).max() <= 1 / 16 + 1e-3, "window1: x is 10 px left")
    check(np.abs(grid[:, :, 1] * H - y[:, None]).max() <= 1e-3, "window1: y unchanged")
    tx, ty = read_tables(work / "tables" / "window-1.bin")
    xx, yy = np.meshgrid(x, y)
    check(np.abs(box_shows(tx, xx, yy) - grid[:, :, 0] * W).max() <= 1e-3, "window1: grid is what the tables show")
    check(np.abs(box_shows(ty, xx, yy) - grid[:, :, 1] * H).max() <= 1e-3, "window1: grid is what the tables show")
    check(abs(gamma - 2.2) < 1e-6, "window1: gamma embedded 2.2")
    ramp = np.minimum((np.arange(W) + 0.5) / 200, 1.0)
    check(np.abs(alpha[:, :, 0] - ramp[None, :]).max() <= 1e-4, "window1: straight 200 px ramp on the left")
    check(np.all(beta[:, :200, 0] == 0) and np.all(np.abs(beta[:, 200:, 0] - 16 / 255) < 1e-9), "window1: lifts")

    # Window 2: no warp; a 300 px ramp on the right with gains 0.9, 1.0, 1.1; centre lift 8/16/24.
    grid, alpha, beta, _ = files_of("window2")
    rows, cols = grid.shape[:2]
    x = np.arange(cols) * (W / (cols - 1))
    y = np.arange(rows) * (H / (rows - 1))
    check(np.abs(grid[:, :, 0] * W - x[None, :]).max() <= 1e-3 and np.abs(grid[:, :, 1] * H - y[:, None]).max() <= 1e-3,
          "window2: identity")
    check(alpha.shape[2] == 3 and beta.shape[2] == 3, "window2: colour maps")
    u = (W - 1 - np.arange(W) + 0.5) / 300
    for c, gain in enumerate((0.9, 1.0, 1.1)):
        want = np.where(u < 1, np.minimum(gain * u, 1.0), 1.0)
        check(np.abs(alpha[540, :, c] - want).max() <= 1e-4, "window2: channel %d ramp" % c)
        check(np.all(np.abs(beta[:, :W - 300, c] - 8 * (c + 1) / 255) < 1e-9) and np.all(beta[:, W - 300:, c] == 0),
              "window2: channel %d lifts" % c)
    print("independent reader:", "%d failures" % len(failures) if failures else "all checks passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
