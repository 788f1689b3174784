#!/usr/bin/env python3
"""Packs a directory into a .tar.gz that is the same bytes for the same files: names sorted,
every mtime the given time, owner 0 without names, modes kept (executable or not), and no name
or time in the gzip header.

Usage: reproducible-tar.py BASE DIR ARCHIVE MTIME
Packs BASE/DIR as DIR/... into ARCHIVE; MTIME is seconds since the epoch (a commit's time).
"""
import gzip
import io
import os
import sys
import tarfile


def pack(base, top, archive, mtime):
    packed = io.BytesIO()
    with tarfile.open(fileobj=packed, mode="w", format=tarfile.USTAR_FORMAT) as tar:
        entries = [top]
        for root, dirs, files in os.walk(os.path.join(base, top)):
            rel = os.path.relpath(root, base)
            entries += [os.path.join(rel, name) for name in dirs + files]
        for name in sorted(entries):
            path = os.path.join(base, name)
            info = tar.gettarinfo(path, arcname=name)
            info.mtime = mtime
            info.uid = info.gid = 0
            info.uname = info.gname = ""
            info.mode = 0o755 if info.isdir() or os.access(path, os.X_OK) else 0o644
            if info.isreg():
                with open(path, "rb") as f:
                    tar.addfile(info, f)
            else:
                tar.addfile(info)
    with open(archive, "wb") as out:
        with gzip.GzipFile(filename="", mode="wb", fileobj=out, mtime=0, compresslevel=9) as gz:
            gz.write(packed.getvalue())


if __name__ == "__main__":
    if len(sys.argv) != 5:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    pack(sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4]))
