#!/usr/bin/env python3
"""Builds the bundled catalogue package from its UTF-8 sources.

Usage: make_package.py SOURCE_FOLDER OUTPUT_ZIP

Each text file of SOURCE_FOLDER is written into the archive in the package's own format:
UTF-16 little-endian with a byte-order mark and CR LF line ends. Entry times are fixed so the
same sources always give the same archive.
"""
import pathlib
import sys
import zipfile

FILES = ["channel.txt", "location.txt", "category_map.txt", "category.txt"]


def main(source: pathlib.Path, output: pathlib.Path) -> int:
    output.parent.mkdir(parents=True, exist_ok=True)
    tmp = output.with_suffix(".tmp")
    with zipfile.ZipFile(tmp, "w", compression=zipfile.ZIP_DEFLATED) as z:
        for name in FILES:
            lines = (source / name).read_text(encoding="utf-8").splitlines()
            text = "".join(line + "\r\n" for line in lines)
            info = zipfile.ZipInfo(name, date_time=(2026, 1, 1, 0, 0, 0))
            info.compress_type = zipfile.ZIP_DEFLATED
            z.writestr(info, b"\xff\xfe" + text.encode("utf-16-le"))
    tmp.replace(output)
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    sys.exit(main(pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])))
