#!/usr/bin/env python3
"""Writes the seed corpora in corpus/<target>/: a few valid frames and texts and their edges.

Run it again after changing it; the files are committed so the fuzz runs need no Python.
"""
import io
import json
import pathlib
import shutil
import struct
import zipfile
import zlib

HERE = pathlib.Path(__file__).resolve().parent


def frame(code, fields=(), size=512):
    """A frame of `size` bytes with the code at offset 4 and (offset, bytes) fields."""
    b = bytearray(size)
    b[4:8] = struct.pack("<I", code)
    for off, data in fields:
        b[off:off + len(data)] = data
    return bytes(b)


def text(s):
    return s.encode("ascii")


def identify(kind, firmware=93224, status=0, user_mask=0x5B):
    return frame(0x0001, [
        (8, bytes([3, 0, 5])),
        (11, firmware.to_bytes(3, "big")),
        (14, bytes([kind, 0])),
        (16, struct.pack("<4H", 1920, 1080, 1280, 720)),
        (34, bytes([status])),
        (37, bytes([user_mask])),
    ])


def setting_codec():
    def reply(cmd, size=20):
        return frame(0x100C, [(8, text(cmd))], size=size)
    return {
        "plus": reply("S00BRI+050\r\n"),
        "minus": reply("S00HUE-120\r\n"),
        "thousands": reply("S00WWW1920\r\n"),
        "nine_sign": reply("S00PLO9500\r\n"),
        "query_form": reply("S00MDNR000\r\n"),
        "not_digits": frame(0x100C, [(8, b"S00BRI+\xff:/\r\n")], size=20),
        "ends_in_value": reply("S00BRI+05", size=17),
        "short": bytes([0x0C, 0x10]),
        "empty": b"",
    }


def warp_grid():
    doc_example = {
        "pattern": 1,
        "points": [{"column": 8, "row": 8, "dx": 30, "dy": -20},
                   {"column": 16, "row": 0, "dx": -12, "dy": 4}],
        "corners": {"topLeft": {"dx": 0, "dy": 0}, "topRight": {"dx": 100, "dy": 40},
                    "bottomLeft": {"dx": 0, "dy": 0}, "bottomRight": {"dx": 0, "dy": 0}},
    }
    extreme = {
        "pattern": 6,
        "points": [{"column": c, "row": r, "dx": 32767 if (c + r) % 2 else -32768, "dy": -32768}
                   for c, r in ((0, 0), (16, 16), (8, 3), (0, 16))],
        "corners": {"bottomRight": {"dx": -32768, "dy": 32767}},
    }
    texts = {
        "doc_example": json.dumps(doc_example),
        "extreme": json.dumps(extreme),
        "empty_object": "{}",
        "pattern_9x5": json.dumps({"pattern": 4, "points": [{"column": 4, "row": 8, "dx": 5, "dy": 5}]}),
        "wall": json.dumps({"pattern": 7}),
        "crossed_corners": json.dumps({"corners": {"topLeft": {"dx": 1920, "dy": 1080},
                                                   "bottomRight": {"dx": -1920, "dy": -1080}}}),
        "fraction": '{"corners": {"topLeft": {"dx": 1.5, "dy": 0}}}',
        "not_json": "{points: ",
        "array": "[1, 2, 3]",
    }
    return {k: v.encode() for k, v in texts.items()}


def box_requests():
    def run(*frames):
        return b"".join(struct.pack("<H", len(f)) + f for f in frames)

    def req(code, fields=(), size=64):
        return frame(code, fields, size)

    stream = bytes(range(256)) * 2
    upload = req(0x1021, [(8, bytes([1])), (12, struct.pack("<II", 0, 480)), (20, stream[:480])], size=512)
    return {
        "connect": run(req(0x0001), req(0x100C, [(8, text("S00MDNR000\r\n"))]), req(0x1000), req(0x1006),
                       req(0x1001), req(0x1007), req(0x1008), req(0x1009), req(0x100A)),
        "settings": run(req(0x1002, [(8, text("s00BRI+050\r\n"))]), req(0x100B, [(8, text("s00TLA+001\r\n"))]),
                        req(0x1002, [(8, text("s00VKY+062\r\n"))]), req(0x100C, [(8, text("S00BRIR000\r\n"))])),
        "mask_round_trip": run(upload, req(0x1022, [(8, bytes([1])), (12, bytes([3]))]),
                               req(0x1025, [(12, bytes([3]))]), req(0x1026, [(12, struct.pack("<I", 32))]),
                               req(0x1023, [(8, bytes([1])), (12, bytes([3]))]), req(0x1025, [(12, bytes([3]))])),
        "firmware": run(req(0x0011, [(8, struct.pack("<I", 300))]),
                        req(0x0012, [(8, struct.pack("<I", 0)), (12, stream[:256])], size=512),
                        req(0x0013, [(8, struct.pack("<I", 300))])),
        "maps_and_registers": run(req(0x2013, [(8, bytes([0, 2])), (12, bytes([6]))]),
                                  req(0x2016, [(8, bytes([0, 2]))]), req(0x2017, [(8, bytes([0])), (12, bytes([4]))]),
                                  req(0x2002), req(0x2005)),
        "short_frames": run(b"", b"\x00\x00\x00\x00\x01", req(0x1006, size=8)),
        "claims_more_than_it_has": struct.pack("<H", 0xFFFF) + req(0x0001, size=16),
    }


def setting_file():
    """A selector byte (bit 0 whole-box name, 1 box with masks, 2 model 116, 3 connected), then a file."""
    def header(magic, version=11, masks=False, model=115):
        return magic + bytes([model & 0xFF, 1, version, 0x45 if masks else 0]) + bytes(9)

    def mask(n, colour=False):
        b = bytearray(n)
        b[0:4] = bytes([0, 0x43 if colour else 0x4D, 0x45, 0x58])
        b[4:8] = struct.pack("<I", n)
        b[8:16] = struct.pack("<II", 64, 8)
        return bytes(b)

    def entry(stream):
        return struct.pack("<I", len(stream)) + stream

    body = bytearray(10980)
    body[0:4] = bytes([1, 2, 3, 4])
    sizes = struct.pack("<8i", 1920, 1280, 0, 3840, 1080, 720, 0, 2160)
    pip = bytes(range(44)) + bytes(32) + struct.pack("<8i", *([640] * 4 + [480] * 4))
    assignment = struct.pack("<4i", 3, 0, 10, 0)
    v11 = body + sizes + pip + assignment
    slots = b"".join(entry(mask(64 * (i + 1))) if i in (2,) else struct.pack("<I", 0) for i in range(9))
    slots += entry(mask(300, colour=True))
    record = bytearray(2792)
    record[2752:2756] = struct.pack("<i", 1920)
    record[2788:2792] = struct.pack("<i", 9)
    plain_record = bytearray(record)
    plain_record[2788:2792] = bytes(4)
    return {
        "whole_plain": bytes([1]) + header(b"WPM") + v11 + bytes([1, 0, 1, 0, 2, 0, 0, 1]),
        "whole_masks": bytes([3]) + header(b"WPM", masks=True) + v11 + slots + bytes(8),
        "whole_masks_on_plain_box": bytes([1]) + header(b"WPM", masks=True) + v11 + slots + bytes(8),
        "whole_v4": bytes([3]) + header(b"WPM", version=4, masks=True) + body + sizes,
        "whole_116_connected": bytes([15]) + header(b"WPM", masks=True, model=116) + v11 + slots + bytes(8),
        "single_plain": bytes([0]) + header(b"SBF") + bytes(plain_record) + struct.pack("<II", 1, 2),
        "single_no_mask_entry": bytes([2]) + header(b"SBF", masks=True) + bytes(plain_record)
        + struct.pack("<III", 0, 1, 2),
        "single_slot9": bytes([10]) + header(b"SBF", masks=True) + bytes(record) + entry(mask(200))
        + struct.pack("<II", 1, 2),
        "cut_in_mask": bytes([3]) + header(b"WPM", masks=True) + v11 + slots[:50],
        "entry_too_long": bytes([3]) + header(b"WPM", masks=True) + v11 + struct.pack("<I", 262145),
        "header_only": bytes([1]) + header(b"WPM"),
        "empty": b"",
    }


def pfm_bytes(w, h, values, big_endian=False, grey=False):
    head = b"Pf" if grey else b"PF"
    scale = b"1.0" if big_endian else b"-1.0"
    return head + b"\n%d %d\n" % (w, h) + scale + b"\n" + struct.pack((">" if big_endian else "<") + "%df" % len(values), *values)


def identity_grid(w, h):
    """Rows bottom first, x and y in parts of the frame."""
    values = []
    for r in reversed(range(h)):
        for c in range(w):
            values += [c / (w - 1), r / (h - 1), 0.0]
    return values


def png(w, h, grey=True, depth=8, value=255):
    channels = 1 if grey else 3
    sample = value.to_bytes(depth // 8, "big") * channels
    raw = b"".join(b"\0" + sample * w for _ in range(h))
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    ihdr = struct.pack(">IIBBBBB", w, h, depth, 0 if grey else 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b"")


def pfm():
    return {
        "le_2x2": pfm_bytes(2, 2, identity_grid(2, 2)),
        "be_3x2": pfm_bytes(3, 2, identity_grid(3, 2), big_endian=True),
        "grey_2x1": pfm_bytes(2, 1, [0.5, 1.5], grey=True),
        "cut_short": pfm_bytes(2, 2, identity_grid(2, 2))[:30],
        "huge_claim": b"PF\n65536 65536\n-1\n",
    }


def mpcdi_xml(region="w1", level=2, grid="w1.pfm", beta=True):
    beta_xml = "<betaMap><path>w1_beta.png</path><componentDepth>1</componentDepth><bitDepth>8</bitDepth></betaMap>" if beta else ""
    return f"""<?xml version="1.0"?>
<MPCDI profile="2d" geometry="{level}" color="2" date="2024-01-01 00:00:00" version="2.0">
<display><buffer id="b1" Xresolution="32" Yresolution="16">
<region id="{region}" Xresolution="32" Yresolution="16" x="0" y="0" xsize="1" ysize="1"/></buffer></display>
<files><fileset region="{region}"><geometryWarpFile><path>{grid}</path><interpolation>linear</interpolation></geometryWarpFile>
<alphaMap><path>w1_alpha.png</path><componentDepth>1</componentDepth><bitDepth>8</bitDepth><gammaEmbedded>2.2</gammaEmbedded></alphaMap>
{beta_xml}</fileset></files>
<extensionSet><extension name="TrivelNotes" hasExternalFiles="false"><note region="{region}">seed</note></extension></extensionSet>
</MPCDI>""".encode()


def zipped(files):
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in files.items():
            z.writestr(zipfile.ZipInfo(name, date_time=(2024, 1, 1, 0, 0, 0)), data, zipfile.ZIP_DEFLATED)
    return out.getvalue()


def mpcdi():
    files = {"mpcdi.xml": mpcdi_xml(), "w1.pfm": pfm_bytes(3, 3, identity_grid(3, 3)),
             "w1_alpha.png": png(32, 16), "w1_beta.png": png(32, 16, value=0)}
    colour = dict(files, **{"w1_alpha.png": png(32, 16, grey=False, depth=16, value=40000)})
    return {
        "archive": b"\0" + zipped(files),
        "archive_points": b"\2" + zipped(files),
        "archive_colour_alpha": b"\0" + zipped(colour),
        "archive_no_beta": b"\0" + zipped(dict(files, **{"mpcdi.xml": mpcdi_xml(beta=False)})),
        "archive_missing_grid": b"\0" + zipped({k: v for k, v in files.items() if k != "w1.pfm"}),
        "xml": b"\1" + mpcdi_xml(),
        "xml_level1": b"\1" + mpcdi_xml(level=1),
        "xml_broken": b"\1" + mpcdi_xml()[:200],
    }


def rig_json():
    def projector(dx, **extra):
        p = {"frame": [1920, 1080], "toScreen": [1, 0, dx, 0, 1, 20, 0, 0, 1], "distortion": 0.02,
             "falloff": 0.2}
        p.update(extra)
        return p

    def rig(layout, projectors, **camera):
        cam = {"size": [640, 360], "fromScreen": [0.15, 0, 20, 0, 0.15, 20, 0, 0, 1], "noise": 1,
               "lens": {"fx": 640, "fy": 640, "cx": 320, "cy": 180, "k1": 0.05}}
        cam.update(camera)
        return json.dumps({"layout": layout, "screen": {"width": 3600, "height": 1200},
                           "projectors": projectors, "camera": cam}).encode()

    return {
        "pair": rig("1x2", [projector(20), projector(1650)]),
        "pair_off": rig("1x2", [projector(20), projector(1650, on=False)]),
        "keystone": rig("1x2", [projector(20, toScreen=[1.1, 0.05, 20, 0.02, 1, 20, 0.00005, 0, 1]),
                                projector(1650)]),
        "horizon": rig("1x2", [projector(20, toScreen=[1, 0, 0, 0, 1, 0, 0.002, 0, 1]), projector(1650)]),
        "quad": rig("2x2", [projector(20), projector(1650), projector(20), projector(1650)], supersample=2),
        "wrong_count": rig("1x3", [projector(20)]),
        "not_json": b"{\"layout\": \"1x2\", ",
        "empty": b"",
    }


def sim_photo():
    camera = json.dumps({"lens": {"fx": 640, "fy": 640, "cx": 320, "cy": 180, "k1": 0.05, "k2": 0, "p1": 0,
                                  "p2": 0},
                         "marks": [{"camera": [10, 10], "screen": [0, 0]}, {"camera": [600, 12], "screen": [3600, 0]},
                                   {"camera": [610, 340], "screen": [3600, 1200]},
                                   {"camera": [8, 350], "screen": [0, 1200]}]}).encode()
    return {
        "photo": b"PHOTO 4 2\n" + bytes(range(8)),
        "camera": b"CAMERA %d\n" % len(camera) + camera,
        "camera_json": camera,
        "error": b"ERROR busy\n",
        "two_replies": b"ERROR a\n" + b"PHOTO 1 1\n\x7f",
        "short_photo": b"PHOTO 100 100\n" + bytes(10),
        "huge_photo": b"PHOTO 8192 8192\n",
        "no_end": b"PHOTO " + b"9" * 200,
        "empty": b"",
    }


def main():
    for target, seeds in (("setting_codec", setting_codec()),
                          ("warp_grid", warp_grid()), ("box_requests", box_requests()),
                          ("setting_file", setting_file()), ("pfm", pfm()), ("mpcdi", mpcdi()),
                          ("rig_json", rig_json()), ("sim_photo", sim_photo())):
        d = HERE / "corpus" / target
        shutil.rmtree(d, ignore_errors=True)
        d.mkdir(parents=True)
        for name, data in seeds.items():
            (d / name).write_bytes(data)


if __name__ == "__main__":
    main()
