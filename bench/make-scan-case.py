#!/usr/bin/env python3
"""Makes the folders of the scan benchmarks that the reference tree does not cover.

    make-scan-case.py flat DIR [FILES]    one folder of FILES files (default 200,000)
    make-scan-case.py chain DIR [LEVELS]  a chain of LEVELS nested folders (default 40,000)
                                          named "d", with one file at the bottom

DIR must not exist yet. Files are sparse (logical size only), from 1 to 4,096 bytes; the chain
is made through folder descriptors, so its paths may outgrow PATH_MAX. Remove a chain with
`make-scan-case.py remove-chain DIR` (rm -rf copes too, but slowly). Prints what it made.
"""
import os
import sys


def make_flat(root, files):
    os.mkdir(root)
    fd = os.open(root, os.O_RDONLY | os.O_DIRECTORY)
    try:
        for i in range(files):
            f = os.open(f"file{i:07d}.dat", os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o644, dir_fd=fd)
            os.ftruncate(f, 1 + (i * 2654435761) % 4096)
            os.close(f)
    finally:
        os.close(fd)
    print(f"flat={root} files={files}")


def make_chain(root, levels):
    os.mkdir(root)
    fd = os.open(root, os.O_RDONLY | os.O_DIRECTORY)
    for _ in range(levels):
        os.mkdir("d", 0o755, dir_fd=fd)
        nxt = os.open("d", os.O_RDONLY | os.O_DIRECTORY, dir_fd=fd)
        os.close(fd)
        fd = nxt
    f = os.open("leaf", os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o644, dir_fd=fd)
    os.ftruncate(f, 7)
    os.close(f)
    os.close(fd)
    print(f"chain={root} levels={levels}")


def remove_chain(root):
    # From the top, one level at a time: the child's contents move up a level, so no path
    # ever gets long.
    top = os.open(root, os.O_RDONLY | os.O_DIRECTORY)
    while True:
        try:
            d = os.open("d", os.O_RDONLY | os.O_DIRECTORY, dir_fd=top)
        except FileNotFoundError:
            break
        for name in os.listdir(d):
            if name != "d":
                os.unlink(name, dir_fd=d)
        more = "d" in os.listdir(d)
        if more:
            os.rename("d", "t", src_dir_fd=d, dst_dir_fd=top)
        os.close(d)
        os.rmdir("d", dir_fd=top)
        if not more:
            break
        os.rename("t", "d", src_dir_fd=top, dst_dir_fd=top)
    for name in os.listdir(top):
        os.unlink(name, dir_fd=top)
    os.close(top)
    os.rmdir(root)


def main():
    if len(sys.argv) < 3 or sys.argv[1] not in ("flat", "chain", "remove-chain"):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    kind, root = sys.argv[1], sys.argv[2]
    if kind == "remove-chain":
        remove_chain(root)
        return 0
    count = int(sys.argv[3]) if len(sys.argv) > 3 else (200000 if kind == "flat" else 40000)
    (make_flat if kind == "flat" else make_chain)(root, count)
    return 0


if __name__ == "__main__":
    sys.exit(main())
