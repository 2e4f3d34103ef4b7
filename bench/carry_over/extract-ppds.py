#!/usr/bin/python3
# Extracts real PPDs from Debian's openprinting-ppds driver program in one pass:
#   extract-ppds.py DIR PER_MAKER MAKER...
# writes, for each maker, the PER_MAKER PPDs that lie earliest in the package's archive
# (so that only the front of the archive is decompressed) as DIR/<Maker>_<file>.ppd.
import importlib.machinery, importlib.util, lzma, base64, os, sys

DRIVER = "/usr/lib/cups/driver/openprinting-ppds"
loader = importlib.machinery.SourceFileLoader("opppds", DRIVER)
found = importlib.util.spec_from_loader("opppds", loader)
module = importlib.util.module_from_spec(found)
loader.exec_module(module)

out, per_maker, makers = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
index = module.load()
picked = []
for maker in makers:
    entries = sorted((value[0], value[1], key) for key, value in index.items()
                     if key != "ARCHIVE" and f"/openprinting/{maker}/" in key)
    picked += [(s, n, key, maker) for s, n, key in entries[:per_maker]]
end = max(s + n for s, n, _, _ in picked)
archive = base64.b64decode(index["ARCHIVE"].encode("ASCII"))
decompressor = lzma.LZMADecompressor()
data = bytearray()
step = 4 << 20
while len(data) < end and not decompressor.eof:
    data += decompressor.decompress(archive, max_length=step)
    archive = b""
os.makedirs(out, exist_ok=True)
for s, n, key, maker in picked:
    with open(os.path.join(out, maker + "_" + os.path.basename(key)), "wb") as f:
        f.write(data[s:s + n])
