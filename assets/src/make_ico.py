#!/usr/bin/env python3
"""Assemble heart.ico from PNG renders of heart.svg (standard library only).

    make_ico.py OUT.ico  16=a.png  32=b.png  48=c.png  256=d.png

Every size is written the way old and new Windows both expect it:
  * 32 x 32  - classic 24-bit DIB + 1-bit AND mask (no alpha channel)
  * 16, 48   - 32-bit BGRA DIB + AND mask
  * 256      - the PNG itself, stored as-is
The 24-bit entry has no alpha, so pixels that are at least half covered
are kept and blended onto a light grey; that edge looks right both on a
white and on a grey background. Everything else goes to the mask.
"""
import struct
import sys
import zlib

MATTE = (216, 216, 216)   # what half-covered edge pixels are blended onto
CUTOFF = 128              # alpha at or above this is opaque in the mask


def read_png(path):
    """Decode an 8-bit, non-interlaced RGB/RGBA PNG to rows of RGBA tuples."""
    data = open(path, "rb").read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(f"{path}: not a PNG")
    pos, idat, hdr = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            hdr = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
    w, h, depth, ctype, _, _, interlace = hdr
    if depth != 8 or ctype not in (2, 6) or interlace:
        raise ValueError(f"{path}: want 8-bit RGB(A), non-interlaced")
    bpp = 4 if ctype == 6 else 3
    raw = zlib.decompress(idat)
    stride = w * bpp
    rows, prev = [], bytearray(stride)
    for y in range(h):
        ftype = raw[y * (stride + 1)]
        cur = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = cur[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            if ftype == 1:
                cur[i] = (cur[i] + a) & 255
            elif ftype == 2:
                cur[i] = (cur[i] + b) & 255
            elif ftype == 3:
                cur[i] = (cur[i] + (a + b) // 2) & 255
            elif ftype == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                pred = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
                cur[i] = (cur[i] + pred) & 255
        rows.append([tuple(cur[x * bpp:x * bpp + bpp]) + ((255,) if bpp == 3 else ())
                     for x in range(w)])
        prev = cur
    return w, h, rows


def and_mask(w, h, rows):
    """1 bit per pixel, 1 = transparent, rows bottom-up, padded to 32 bits."""
    out = bytearray()
    row_bytes = ((w + 31) // 32) * 4
    for y in reversed(range(h)):
        bits = bytearray(row_bytes)
        for x in range(w):
            if rows[y][x][3] < CUTOFF:
                bits[x // 8] |= 0x80 >> (x % 8)
        out += bits
    return bytes(out)


def dib(w, h, rows, bits):
    xor = bytearray()
    for y in reversed(range(h)):
        line = bytearray()
        for r, g, b, a in rows[y]:
            if bits == 32:
                line += bytes((b, g, r, a))
            elif a < CUTOFF:
                line += b"\0\0\0"          # black under the mask: screen shows through
            else:
                f = a / 255
                line += bytes(round(c * f + m * (1 - f)) for c, m in
                              zip((b, g, r), MATTE[::-1]))
        line += b"\0" * (-len(line) % 4)
        xor += line
    mask = and_mask(w, h, rows)
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, bits, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    return header + bytes(xor) + mask


def main(argv):
    if len(argv) < 3:
        sys.exit(__doc__)
    out, entries = argv[1], []
    for arg in argv[2:]:
        size, path = arg.split("=", 1)
        size = int(size)
        if size >= 256:
            w, h, _ = read_png(path)
            payload, bits = open(path, "rb").read(), 32
        else:
            w, h, rows = read_png(path)
            bits = 24 if size == 32 else 32
            payload = dib(w, h, rows, bits)
        if (w, h) != (size, size):
            sys.exit(f"{path}: is {w}x{h}, expected {size}x{size}")
        entries.append((size, bits, payload))

    blob = struct.pack("<HHH", 0, 1, len(entries))
    offset = 6 + 16 * len(entries)
    for size, bits, payload in entries:
        dim = 0 if size >= 256 else size
        blob += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, bits, len(payload), offset)
        offset += len(payload)
    for _, _, payload in entries:
        blob += payload
    with open(out, "wb") as f:
        f.write(blob)


if __name__ == "__main__":
    main(sys.argv)
