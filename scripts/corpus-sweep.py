#!/usr/bin/python3
"""Whole-corpus sweep: every reader against hostile and real files, and against Pillow.

Runs velto-dump on every file under the shared corpus (recursively), each under
a time limit and an address-space cap (prlimit), and checks that it answers as
it must: exit code 0 with images or 1 with "error", one JSON object on one
line, nothing on stderr, no signal, no hang. Then reads the same file with
Pillow (Debian's python3-pil, hence /usr/bin/python3) in a subprocess under the
same limits, and compares both by the SHA-256 of the RGBA rows (alpha-0 pixels
as 0,0,0,0, as velto-dump hashes them):

  icons, cursors   every directory entry (cursors shown to Pillow as icons)
  Apple icons      every image, against Pillow's image of the same size
  GIF              the first frame's rectangle, cut from Pillow's first frame
  anything else    the first image

Pillow's side is made comparable in two places: 16-bit grey, which its RGBA
conversion clips, is narrowed as our readers narrow it (the PNG codec keeps
the high byte, the image library scales by 255/65535); and a PNG whose pixels
differ only because the codec applies its gAMA chunk (Pillow does not) counts
as an intended difference once the file without that chunk agrees.

Each file ends in one column of the summary table:
  agree      both read it to the same pixels
  intended   a difference listed in INTENDED below with its reason (other
             pixels, or a file only one side reads), or the gamma case above
  refused    both refuse it
  no peer    a kind Pillow has no reader for (animated cursors)
  faults     everything else: crash, hang, memory cap, malformed output, or a
             difference nobody has explained

Not part of ./test.sh (about a minute on 4 cores). Usage:
  scripts/corpus-sweep.py [--dump build/velto-dump] [--corpus ../shared/corpus]
      [--jobs 4] [--timeout 20] [--mem-mb 2048] [--slow 1] [--cuts] [-v] [PATTERN...]
PATTERNs (globs relative to the corpus, e.g. 'pillow/*.bmp') narrow the sweep.
-v lists every file not in agreement with what happened. Files read slower
than --slow seconds are listed, and the largest peak memory is shown.
--cuts also runs velto-dump on copies of every file cut short at a few lengths
(robustness alone: a clean answer in time; about a minute more).
The exit code is 1 when there is a fault or when a listed difference no longer
happens (the list wants updating), else 0.
For a deeper check run a velto-dump built with sanitizers, without the cap
(sanitizers reserve more address space than it allows):
  cmake -S . -B /tmp/asan -G Ninja -DVELTO_GUI=OFF \\
        -DCMAKE_CXX_FLAGS='-fsanitize=address,undefined -fno-sanitize-recover=undefined' \\
        -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined && cmake --build /tmp/asan --target velto-dump
  scripts/corpus-sweep.py --dump /tmp/asan/velto-dump --mem-mb 0 --cuts
"""

import argparse
import concurrent.futures
import fnmatch
import hashlib
import io
import json
import os
import signal
import subprocess
import sys
import tempfile
import threading
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
TOP = HERE.parent

# Files on which we and Pillow part ways on purpose: corpus-relative path (or
# glob) -> (what happens, why). What happens: "differ" (both read, other
# pixels), "we refuse" (only Pillow reads it), "pillow refuses" (only we read it).
MASKS = "32-bit bit fields are read as bytes B, G, R, A whatever the masks say"
RLE = "RLE bitmap: ImageMagick gives our pixels; Pillow 9.4 decodes RLE4 and RLE deltas otherwise"
BLOCKS = "block colours are expanded and interpolated with other rounding (within 1 of Pillow)"
SUBSAMPLED = "components subsampled far beyond the image are spread over its grid; Pillow's decoder refuses the layout"
DJPEG = "djpeg decodes it to our pixels (cut EXIF or entropy data; libjpeg fills the rest)"
LAYERS = "the merged image is read; Pillow refuses the layer records (ImageMagick gives our pixels where it reads the file)"
CURSOR_BYTES = ("its first bytes 00 00 02 00 are a cursor's signature: files are typed by their leading bytes, "
                "and the cursor reader refuses it")
DDS_TABLE = "a texture format outside the DDS reader's table (extended header, BC4/BC5 codes, BC6/BC7, bit count)"
INTENDED = {
    # icons and cursors
    "pillow/mask_1.cur": ("differ", "the directory's image size is too small: Pillow reads colour rows as the mask, "
                                    "we follow the image header"),
    "pillow/mask_L.cur": ("differ", "as mask_1.cur"),
    "pillow/rgba16.tga": ("we refuse", CURSOR_BYTES),
    "pillow/tga/common/200x32_rgb_bl_raw.tga": ("we refuse", CURSOR_BYTES),
    "pillow/tga/common/200x32_rgba_bl_raw.tga": ("we refuse", CURSOR_BYTES),
    "pillow/tga/common/200x32_rgba_tl_raw.tga": ("we refuse", CURSOR_BYTES),
    # bitmaps
    "pillow/bmp/b/badrle.bmp": ("we refuse", "an RLE delta leads outside the image: the load fails"),
    "pillow/bmp/b/pal8badindex.bmp": ("differ", "indices beyond the palette read are transparent black"),
    "pillow/bmp/b/badpalettesize.bmp": ("pillow refuses", "a colour count above 256 is clamped to 256 entries"),
    "pillow/bmp/q/pal8oversizepal.bmp": ("pillow refuses", "a colour count above 256 is clamped to 256 entries"),
    "pillow/bmp/b/badheadersize.bmp": ("pillow refuses", "an unusual header size is read as far as it goes; "
                                                         "ImageMagick gives our pixels"),
    "pillow/bmp/q/pal8os2v2-16.bmp": ("pillow refuses", "a 16-byte OS/2 header; ImageMagick gives our pixels"),
    "pillow/bmp/g/pal4rle.bmp": ("differ", RLE),
    "pillow/bmp/q/pal4rletrns.bmp": ("differ", RLE),
    "pillow/bmp/q/pal8rletrns.bmp": ("differ", RLE),
    "pillow/bmp/g/rgb16.bmp": ("differ", "5- and 6-bit channels are widened by the library's conversion (within 1)"),
    "pillow/bmp/g/rgb16-565.bmp": ("differ", "as rgb16.bmp"),
    "pillow/bmp/g/rgb16-565pal.bmp": ("differ", "as rgb16.bmp"),
    "pillow/bmp/q/rgb16-231.bmp": ("pillow refuses", "16-bit masks only choose among the fixed layouts"),
    "pillow/bmp/q/rgba16-4444.bmp": ("pillow refuses", "4-bit channels widen as x * 17"),
    "pillow/bmp/q/rgb32fakealpha.bmp": ("differ", "a non-zero fourth byte of a 32-bit pixel is alpha; ImageMagick "
                                                  "gives our pixels"),
    "pillow/bmp/q/rgba32abf.bmp": ("pillow refuses", "compression 6 is not one the format reads: the pixels stay zero"),
    "pillow/rgb32bf-abgr.bmp": ("differ", MASKS),
    "pillow/rgb32bf-rgba.bmp": ("differ", MASKS),
    "pillow/bmp/q/rgb32bf-xbgr.bmp": ("differ", MASKS),
    "pillow/bmp/g/rgb32bf.bmp": ("pillow refuses", MASKS),
    "pillow/bmp/q/rgb32-111110.bmp": ("pillow refuses", MASKS),
    "pillow/bmp/q/rgb32h52.bmp": ("pillow refuses", MASKS),
    "pillow/bmp/q/rgba32.bmp": ("pillow refuses", MASKS),
    "pillow/bmp/q/rgba32h56.bmp": ("pillow refuses", MASKS),
    "pillow/mmap_error.bmp": ("differ", "pixels are read at the offset the header gives (inside the palette here)"),
    # DDS
    "pillow/dxt1-rgb-4bbp-noalpha_MipMaps-1.dds": ("differ", BLOCKS),
    "pillow/dxt3-argb-8bbp-explicitalpha_MipMaps-1.dds": ("differ", BLOCKS),
    "pillow/dxt5-argb-8bbp-interpolatedalpha_MipMaps-1.dds": ("differ", BLOCKS),
    "pillow/dxt5-colorblock-alpha-issue-4142.dds": ("differ", BLOCKS),
    "pillow/bgr15.dds": ("pillow refuses", "Pillow 9.4 reads no 16-bit RGB textures; nvdecompress gives our pixels"),
    "pillow/zero_mask_totals.dds": ("pillow refuses", "channel masks of zero: read as 24-bit RGB"),
    "pillow/DXGI_FORMAT_BC7_UNORM_SRGB.dds": ("we refuse", DDS_TABLE),
    "pillow/DXGI_FORMAT_R8G8B8A8_UNORM_SRGB.dds": ("we refuse", DDS_TABLE),
    "pillow/argb-32bpp_MipMaps-1.dds": ("we refuse", DDS_TABLE),
    "pillow/ati[12].dds": ("we refuse", DDS_TABLE),
    "pillow/bc5[su].dds": ("we refuse", DDS_TABLE),
    "pillow/bc5_*.dds": ("we refuse", DDS_TABLE),
    "pillow/bc6h*.dds": ("we refuse", DDS_TABLE),
    "pillow/bc7-argb-8bpp_MipMaps-1.dds": ("we refuse", DDS_TABLE),
    "pillow/unsupported_bitcount.dds": ("we refuse", DDS_TABLE),
    # GIF
    "pillow/no_palette.gif": ("we refuse", "no colour table anywhere: the codec raises \"No global or local color "
                                           "table defined\" when the frame is shown"),
    # JPEG 2000
    "pillow/00r0_gray_l.jp2": ("pillow refuses", SUBSAMPLED),
    "pillow/00r1_graya_la.jp2": ("pillow refuses", SUBSAMPLED),
    "pillow/crash-4fb027452e6988530aa5dabee76eecacb3b79f8a.j2k": ("pillow refuses", SUBSAMPLED),
    "pillow/crash-d2c93af851d3ab9a19e34503626368b2ecde9c03.j2k": ("pillow refuses", SUBSAMPLED),
    "pillow/invalid_header_length.jp2": ("pillow refuses", "Pillow refuses a header box length; opj_decompress "
                                                           "gives our pixels"),
    "pillow/9bit.j2k": ("differ", "9-bit samples are stored unscaled in 16-bit grey (the image reads dark); "
                                  "Pillow scales them"),
    # JPEG
    "pillow/pil_sample_cmyk.jpg": ("differ", "CMYK to RGB in integers, 255 - (c - c * K div 255 + K) (within 1)"),
    "pillow/truncated_exif_dpi.jpg": ("pillow refuses", DJPEG),
    "pillow/truncated_jpeg.jpg": ("pillow refuses", DJPEG),
    "pillow/ultrahdr.jpg": ("pillow refuses", DJPEG),
    # PCX
    "pillow/p_4_planes.pcx": ("differ", "1 bit in 4 planes indexes the header's 16 colours; ImageMagick gives our "
                                        "pixel"),
    "pillow/pil184.pcx": ("we refuse", "palette information 0: only 1 and 2 are taken for PCX files"),
    # portable maps
    "pillow/hopper*.pfm": ("pillow refuses", "Pillow 9.4 has no float maps"),
    # PNG
    "pillow/apng/chunk_no_fctl.png": ("pillow refuses", "the still image is read (animation chunks are not ours); "
                                                        "Pillow refuses the frame sequence"),
    "pillow/png_decompression_dos.png": ("pillow refuses", "Pillow's limit on the size of text chunks"),
    "pngsuite/ftbbn0g04.png": ("differ", "Pillow compares a 4-bit file's tRNS grey with samples widened to 8 bits "
                                         "and misses the transparent ones"),
    "pngsuite/iftbbn0g04.png": ("differ", "as ftbbn0g04.png"),
    # PSD
    "pillow/negative_top_left_layer.psd": ("pillow refuses", LAYERS),
    "pillow/psd-oob-write*.psd": ("pillow refuses", LAYERS),
    "pillow/timeout-*.psd": ("pillow refuses", LAYERS),
    # Targa
    "pillow/p_16.tga": ("differ", "16-bit colour-map entries widen 5 bits as x * 8"),
    "pillow/rgb32rle_bottom_right.tga": ("differ", "the right-to-left bit of the descriptor is ignored"),
    "pillow/rgb32rle_top_right.tga": ("differ", "the right-to-left bit of the descriptor is ignored"),
    "pillow/cross_scan_line_truncated.tga": ("pillow refuses", "packets missing at the end of the input leave zeros"),
}

# Kinds Pillow has no reader for (animated cursors, executables, MNG and JNG).
NO_PEER_KINDS = {"ani", "pe", "mng", "jng"}


# ---------------------------------------------------------------- Pillow side

def to_rgba(im, kind):
    """RGBA of a Pillow image. Pillow clips 16-bit grey (modes I and I;16) to
    0..255 when converting; those samples are narrowed as our readers narrow
    them instead: the PNG codec keeps the high byte, the image library scales
    by 255 / 65535 (truncating)."""
    if im.mode not in ("I", "I;16", "I;16B", "I;16L", "I;16N"):
        return im.convert("RGBA")
    from PIL import Image
    narrow = (lambda v: v >> 8) if kind == "png" else (lambda v: v * 255 // 65535)
    samples = [min(max(v, 0), 65535) for v in im.getdata()]
    rgba = Image.frombytes("L", im.size, bytes(narrow(v) for v in samples)).convert("RGBA")
    key = im.info.get("transparency")
    if isinstance(key, int):
        rgba.putalpha(Image.frombytes("L", im.size, bytes(0 if v == key else 255 for v in samples)))
    return rgba


def rgba_sha256(im, kind):
    """SHA-256 of an image's RGBA bytes, alpha-0 pixels as 0,0,0,0."""
    from PIL import Image
    rgba = to_rgba(im, kind)
    clear = rgba.getchannel("A").point(lambda a: 255 if a == 0 else 0)
    rgba.paste(Image.new("RGBA", rgba.size, (0, 0, 0, 0)), mask=clear)
    return hashlib.sha256(rgba.tobytes()).hexdigest()


def image_facts(im, kind):
    return {"width": im.size[0], "height": im.size[1], "rgba_sha256": rgba_sha256(im, kind)}


def pillow_read(path, kind, rect):
    """What Pillow makes of a file, as velto-dump's "images" (only the fields compared)."""
    from PIL import Image, IcoImagePlugin, IcnsImagePlugin
    im = Image.open(path)
    if kind in ("ico", "cur") and im.format in ("ICO", "CUR"):
        d = bytearray(Path(path).read_bytes())
        if d[2] == 2:
            # A cursor's directory holds its hotspot where an icon's holds the
            # planes and depth: shown to Pillow as an icon with each image's depth.
            d[2] = 1
            for e in range(6, 6 + 16 * int.from_bytes(d[4:6], "little"), 16):
                at = int.from_bytes(d[e + 12:e + 16], "little")
                bits = 32 if d[at:at + 4] == b"\x89PNG" else int.from_bytes(d[at + 14:at + 16], "little")
                d[e + 4:e + 8] = b"\1\0" + bits.to_bytes(2, "little")
        ico = IcoImagePlugin.IcoFile(io.BytesIO(bytes(d)))
        return [image_facts(ico.frame(i), kind) for i in range(len(ico.entry))]
    if kind == "icns" and im.format == "ICNS":
        f = IcnsImagePlugin.IcnsFile(open(path, "rb"))
        return [image_facts(f.getimage(s), kind) for s in f.itersizes() if s[2] == 1]
    im.load()
    if kind == "gif" and rect:
        x, y, w, h = rect
        im = to_rgba(im, kind).crop((x, y, x + w, y + h))
    return [image_facts(im, kind)]


def pillow_main(path, kind, rect):
    try:
        images = pillow_read(path, kind, rect)
        out = {"images": images} if images else {"error": "no images"}
    except Exception as e:  # anything Pillow raises is a refusal
        out = {"error": type(e).__name__ + ": " + str(e)[:200]}
    print(json.dumps(out))


# ---------------------------------------------------------------- running with limits

def run_limited(argv, timeout, mem_mb):
    """Runs argv with a wall-clock limit and an address-space cap; returns
    (exit code or -signal or None on timeout, stdout, stderr, seconds, peak RSS in MiB)."""
    # prlimit sets the caps and execs the program in the same process, so the
    # child's resource usage below is the program's own.
    limits = ["prlimit", "--core=0"] + (["--as=%d" % (mem_mb << 20)] if mem_mb else []) + ["--"]
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        start = time.monotonic()
        p = subprocess.Popen(limits + argv, stdin=subprocess.DEVNULL, stdout=out, stderr=err, start_new_session=True)
        timed_out = threading.Event()
        lock = threading.Lock()
        reaped = False

        def kill():
            with lock:
                if reaped:
                    return
                timed_out.set()
                try:
                    os.killpg(p.pid, signal.SIGKILL)
                except ProcessLookupError:  # ended in the meantime
                    pass
        timer = threading.Timer(timeout, kill)
        timer.start()
        _, status, usage = os.wait4(p.pid, 0)
        with lock:
            reaped = True
        timer.cancel()
        p.returncode = os.waitstatus_to_exitcode(status)  # reaped here; keeps Popen from waiting again
        seconds = time.monotonic() - start
        out.seek(0)
        err.seek(0)
        rc = None if timed_out.is_set() else p.returncode
        return rc, out.read().decode("utf-8", "replace"), err.read().decode("utf-8", "replace"), seconds, \
            usage.ru_maxrss / 1024


# ---------------------------------------------------------------- one file

def first_line(text, n=160):
    text = text.strip().splitlines()[0] if text.strip() else ""
    return text[:n]


def check_dump(rc, out, err):
    """Parses velto-dump's answer; returns (json or None, fault text or None)."""
    if rc is None:
        return None, "hang (killed at the time limit)"
    if "std::bad_alloc" in err:
        return None, "memory cap reached (std::bad_alloc)"
    if rc < 0:
        return None, "killed by signal %d%s" % (-rc, (": " + first_line(err)) if err.strip() else "")
    if rc not in (0, 1):
        return None, "exit code %d%s" % (rc, (": " + first_line(err)) if err.strip() else "")
    if err.strip():
        return None, "stderr: " + first_line(err)
    lines = out.splitlines()
    if len(lines) != 1:
        return None, "%d lines of output" % len(lines)
    try:
        doc = json.loads(lines[0])
    except ValueError:
        return None, "not JSON: " + first_line(out)
    if not isinstance(doc, dict):
        return None, "not a JSON object"
    if (rc == 1) != ("error" in doc):
        return None, "exit code %d with%s an error" % (rc, "out" if rc == 1 else "")
    if rc == 0 and "images" in doc:
        for im in doc["images"]:
            if not all(k in im for k in ("width", "height", "rgba_sha256")):
                return None, "an image without width, height or rgba_sha256"
    return doc, None


def images_of(doc):
    """The images velto-dump lists (a module's come from its cursor groups)."""
    if "groups" in doc:
        return [im for g in doc["groups"] for im in g.get("images", [])]
    return doc.get("images", [])


def compare(kind, ours, theirs):
    """"" when both read the same pixels, else what differs."""
    if kind in ("ico", "cur"):
        a = sorted((i["width"], i["height"], i["rgba_sha256"]) for i in ours)
        b = sorted((i["width"], i["height"], i["rgba_sha256"]) for i in theirs)
        return "" if a == b else "%d of %d images differ" % (len(set(a) ^ set(b)) // 2 or 1, max(len(a), len(b)))
    if kind == "icns":
        by_size = {(i["width"], i["height"]): i["rgba_sha256"] for i in theirs}
        bad = [i for i in ours if by_size.get((i["width"], i["height"])) != i["rgba_sha256"]]
        return "" if not bad else "%d of %d images differ" % (len(bad), len(ours))
    a, b = ours[0], theirs[0]
    if (a["width"], a["height"]) != (b["width"], b["height"]):
        return "size %dx%d, Pillow %dx%d" % (a["width"], a["height"], b["width"], b["height"])
    return "" if a["rgba_sha256"] == b["rgba_sha256"] else "pixels differ"


def intended(rel):
    for pattern, entry in INTENDED.items():
        if rel == pattern or fnmatch.fnmatchcase(rel, pattern):
            return entry
    return None


def without_gamma(data):
    """A PNG file's bytes without its gAMA chunks (the other chunks whole), or None."""
    if data[:8] != b"\x89PNG\r\n\x1a\n" or b"gAMA" not in data:
        return None
    out, at = bytearray(data[:8]), 8
    while at + 12 <= len(data):
        length = int.from_bytes(data[at:at + 4], "big")
        end = at + 12 + length
        if data[at + 4:at + 8] != b"gAMA":
            out += data[at:end]
        at = end
    out += data[at:]
    return bytes(out)


def dump(path, args):
    return check_dump(*run_limited([args.dump, "--", str(path)], args.timeout, args.mem_mb)[:3])


def sweep_one(path, rel, args):
    r = {"file": rel, "kind": "?", "column": "faults", "note": ""}
    rc, out, err, seconds, rss = run_limited([args.dump, "--", str(path)], args.timeout, args.mem_mb)
    r["seconds"], r["rss"] = seconds, rss
    doc, fault = check_dump(rc, out, err)
    if fault:
        r["note"] = fault
        return r
    kind = r["kind"] = doc.get("kind", "error")
    # A type detected but dumped by no reader here ("unknown" among them) is
    # refused as far as the comparison goes.
    ours_ok = rc == 0 and ("images" in doc or "groups" in doc)
    ours = images_of(doc) if ours_ok else []
    our_error = doc.get("error", "no reader here dumps it")
    if ours_ok and not ours and "images" in doc:
        r["note"] = "read, but no images"
        return r
    if kind in NO_PEER_KINDS:
        r["column"] = "no peer" if ours_ok else "refused"
        r["note"] = "" if ours_ok else our_error
        return r

    rect = []
    if kind == "gif" and ours_ok:
        im = doc["images"][0]
        rect = [str(v) for v in (im["position"][0], im["position"][1], im["width"], im["height"])]
    prc, pout, perr, _, _ = run_limited([sys.executable, str(Path(__file__).resolve()), "--pillow", str(path), kind] + rect,
                                        args.timeout, args.mem_mb)
    try:
        peer = json.loads(pout.strip().splitlines()[-1]) if prc == 0 else {"error": "Pillow died (%s)" % prc}
    except (ValueError, IndexError):
        peer = {"error": "Pillow printed nothing: " + first_line(perr)}
    peer_ok = "error" not in peer

    if ours_ok and peer_ok:
        diff = compare(kind, ours, peer["images"])
        outcome = "" if not diff else "differ"
        r["note"] = diff
        stripped = without_gamma(path.read_bytes()) if diff and kind == "png" else None
        if stripped:
            # The codec applies the file's gamma; Pillow leaves samples as stored.
            with tempfile.NamedTemporaryFile(suffix=".png") as f:
                f.write(stripped)
                f.flush()
                plain, fault = dump(f.name, args)
            if not fault and "images" in plain and not compare(kind, plain["images"], peer["images"]):
                r["column"] = "intended"
                r["note"] = "gamma applied from gAMA (Pillow ignores it); equal without the chunk"
                return r
    elif ours_ok:
        outcome = "pillow refuses"
        r["note"] = peer["error"]
    elif peer_ok:
        outcome = "we refuse"
        r["note"] = our_error
    else:
        r["column"] = "refused"
        r["note"] = our_error + " / Pillow: " + peer["error"]
        return r
    if not outcome:
        r["column"] = "agree"
        return r
    listed = intended(rel)
    if listed and listed[0] == outcome:
        r["column"] = "intended"
        r["note"] = listed[1]
        r["listed"] = True
        return r
    r["note"] = outcome + ": " + r["note"]
    return r


def cut_lengths(size):
    """Where --cuts cuts a file: a few fractions of it and its last bytes."""
    return sorted({c for c in (size // 10, size // 3, size // 2, 2 * size // 3, 9 * size // 10, size - 3, size - 1)
                   if 0 < c < size})


def sweep_cuts(path, rel, args):
    """Robustness alone on copies of the file cut short: a clean answer, in time."""
    data = path.read_bytes()
    found = []
    for n in cut_lengths(len(data)):
        with tempfile.NamedTemporaryFile(suffix=path.suffix) as f:
            f.write(data[:n])
            f.flush()
            rc, out, err, seconds, rss = run_limited([args.dump, "--", f.name], args.timeout, args.mem_mb)
        _, fault = check_dump(rc, out, err)
        r = {"file": "%s cut to %d bytes" % (rel, n), "kind": "cut", "column": "faults" if fault else "ok",
             "note": fault or "", "seconds": seconds, "rss": rss}
        if fault or seconds > args.slow:
            found.append(r)
    return found


# ---------------------------------------------------------------- main

def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--dump", default=str(TOP / "build" / "velto-dump"))
    ap.add_argument("--corpus", default=str(TOP.parent / "shared" / "corpus"))
    ap.add_argument("--jobs", type=int, default=4)
    ap.add_argument("--timeout", type=float, default=20)
    ap.add_argument("--mem-mb", type=int, default=2048)
    ap.add_argument("--slow", type=float, default=1.0)
    ap.add_argument("-v", "--verbose", action="store_true")
    ap.add_argument("--cuts", action="store_true")
    ap.add_argument("--pillow", nargs="+", help=argparse.SUPPRESS)
    ap.add_argument("patterns", nargs="*")
    args = ap.parse_args()
    if args.pillow:
        path, kind, *rect = args.pillow
        pillow_main(path, kind, [int(v) for v in rect])
        return 0

    corpus = Path(args.corpus)
    if not corpus.is_dir():
        print("no corpus at %s" % corpus, file=sys.stderr)
        return 2
    if not os.access(args.dump, os.X_OK):
        print("no velto-dump at %s (build it, or pass --dump)" % args.dump, file=sys.stderr)
        return 2
    files = []
    for p in sorted(corpus.rglob("*")):
        if not p.is_file():
            continue
        rel = p.relative_to(corpus).as_posix()
        if args.patterns and not any(fnmatch.fnmatchcase(rel, pat) for pat in args.patterns):
            continue
        files.append((p, rel))

    with concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs) as pool:
        results = list(pool.map(lambda f: sweep_one(f[0], f[1], args), files))
        cut = [r for found in pool.map(lambda f: sweep_cuts(f[0], f[1], args), files if args.cuts else [])
               for r in found]

    columns = ["agree", "intended", "refused", "no peer", "faults"]
    table = {}
    for r in results:
        row = table.setdefault(r["kind"], dict.fromkeys(columns, 0))
        row[r["column"]] += 1
    print("%-8s %6s" % ("kind", "files") + "".join(" %9s" % c for c in columns))
    total = dict.fromkeys(columns, 0)
    for kind in sorted(table):
        row = table[kind]
        print("%-8s %6d" % (kind, sum(row.values())) + "".join(" %9d" % row[c] for c in columns))
        for c in columns:
            total[c] += row[c]
    print("%-8s %6d" % ("total", sum(total.values())) + "".join(" %9d" % total[c] for c in columns))

    if args.cuts:
        print("cut copies: %d, faults %d" % (sum(len(cut_lengths(p.stat().st_size)) for p, _ in files),
                                             sum(r["column"] == "faults" for r in cut)))
    faults = [r for r in results + cut if r["column"] == "faults"]
    if faults:
        print("\nfaults:")
        for r in faults:
            print("  %s [%s]: %s" % (r["file"], r["kind"], r["note"]))
    used = {pattern for r in results if r.get("listed") for pattern in INTENDED
            if r["file"] == pattern or fnmatch.fnmatchcase(r["file"], pattern)}
    stale = [p for p in INTENDED if p not in used and (not args.patterns or any(
        fnmatch.fnmatchcase(rel, p) or rel == p for _, rel in files))]
    if stale:
        print("\nlisted differences that no longer happen:")
        for p in stale:
            print("  %s: %s" % (p, INTENDED[p][0]))
    slow = [r for r in results + cut if r.get("seconds", 0) > args.slow]
    if slow:
        print("\nslower than %gs:" % args.slow)
        for r in sorted(slow, key=lambda r: -r["seconds"]):
            print("  %s: %.2fs, %.0f MiB" % (r["file"], r["seconds"], r["rss"]))
    big = max(results + cut, key=lambda r: r.get("rss", 0), default=None)
    if big:
        print("\nlargest peak memory: %s (%.0f MiB)" % (big["file"], big["rss"]))
    if args.verbose:
        print("\nevery file not in agreement:")
        for r in results:
            if r["column"] != "agree":
                print("  %-9s %s [%s]: %s" % (r["column"], r["file"], r["kind"], r["note"]))
    return 1 if faults or stale else 0


if __name__ == "__main__":
    sys.exit(main())
