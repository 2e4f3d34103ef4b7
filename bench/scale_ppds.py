#!/usr/bin/env python3
"""Makes the candidate product PPDs of bench/scale from Debian's openprinting-ppds.

Usage: scale_ppds.py OUTDIR COUNT MODEL_TABLE_CC

Unpacks the PPD archive inside the package's driver program, takes COUNT distinct
manufacturer PPDs spread evenly over it, and writes each as OUTDIR/cNNNN.ppd turned into
a product PPD: the product's version marker as the second line and a *ModelName naming
one model of the model table (with a variant number, so every file names its own model)
and a PDL kind, standing where the maker's *ModelName stood, or in line 28 when that
was later (the queue scan reads 30 lines). Everything else is the maker's text. Nothing
of this is kept in the project: OUTDIR lives in the build tree.
"""
import base64
import json
import lzma
import os
import re
import sys

DRIVER = "/usr/lib/cups/driver/openprinting-ppds"
KINDS = ["PCL", "PS", "PXL"]


def model_rows(table_cc):
    with open(table_cc, encoding="latin-1") as f:
        return re.findall(r'^\s*\{"([^"]+)", \d+\},', f.read(), re.M)


def product_ppd(text, model):
    lines = text.split(b"\n")
    at = next((i for i, l in enumerate(lines) if l.startswith(b"*ModelName:")), None)
    lines = [l for l in lines if not l.startswith(b"*ModelName:")]
    at = 28 if at is None or at > 28 else at
    lines.insert(at, b'*ModelName: "Orvex ' + model.encode("latin-1") + b'"')
    lines.insert(1, b"*% Plix version: 1")
    return b"\n".join(lines)


def main():
    outdir, count, table_cc = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    done = os.path.join(outdir, "complete")
    if os.path.exists(done) and int(open(done).read() or 0) >= count:
        return
    os.makedirs(outdir, exist_ok=True)
    combos = [(row, kind) for kind in KINDS for row in model_rows(table_cc)]

    with open(DRIVER, encoding="latin-1") as f:
        source = f.read()
    index = json.loads(lzma.decompress(base64.b64decode(
        re.search(r"^ppds_compressed_b64 = b?['\"](.*)['\"]\s*$", source, re.M).group(1))))
    archive = base64.b64decode(index.pop("ARCHIVE"))
    ranges = sorted({(v[0], v[1]) for v in index.values()})
    step = len(ranges) / count
    wanted = [ranges[int(i * step)] for i in range(count)]

    # One pass over the archive: stream it and cut the wanted files out as they pass.
    decompressor = lzma.LZMADecompressor()
    pending = [archive]  # all input goes in with the first call; later calls drain it
    buffer, base = b"", 0
    for n, (start, length) in enumerate(wanted):
        while base + len(buffer) < start + length:
            chunk = decompressor.decompress(pending.pop() if pending else b"", 16 << 20)
            if not chunk and decompressor.eof:
                sys.exit("the archive ended early")
            drop = max(0, min(start, base + len(buffer)) - base)
            buffer, base = buffer[drop:] + chunk, base + drop
        row, kind = combos[n % len(combos)]
        model = "%s v%d %s" % (row, n // len(combos) + 1, kind)
        with open(os.path.join(outdir, "c%04d.ppd" % n), "wb") as f:
            f.write(product_ppd(buffer[start - base:start - base + length], model))
    with open(done, "w") as f:
        f.write(str(count))


if __name__ == "__main__":
    main()
