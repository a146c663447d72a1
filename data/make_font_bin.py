#!/usr/bin/env python3
"""Turns an 8x16 console font (PSF 1 or 2, plain or gzipped, with a Unicode
table) into the framework's 1536-byte font layout: 16 rows of 96 bytes, row r
holding one byte per character code 32-127, bit k of a byte being pixel
column k (bit 0 leftmost). A code without a glyph is left blank.

    make_font_bin.py <font.psf[.gz]> <out.bin>
"""
import gzip
import struct
import sys


def read_psf(data):
    if data[:2] == b"\x36\x04":
        mode, height = data[2], data[3]
        count = 512 if mode & 1 else 256
        glyphs, width, offset = [], 8, 4
        row_bytes = 1
        table = data[offset + count * height:] if mode & 2 else None
        entry_size, terminator, separator = 2, 0xFFFF, 0xFFFE
    elif data[:4] == b"\x72\xb5\x4a\x86":
        _, header, flags, count, glyph_size, height, width = struct.unpack("<7I", data[4:32])
        offset = header
        row_bytes = (width + 7) // 8
        table = data[offset + count * glyph_size:] if flags & 1 else None
        entry_size, terminator, separator = 0, 0xFF, 0xFE
    else:
        raise SystemExit("not a PSF font")
    if width != 8 or height != 16:
        raise SystemExit("the font is %dx%d, not 8x16" % (width, height))
    glyph_size = row_bytes * height
    glyphs = [data[offset + i * glyph_size: offset + (i + 1) * glyph_size] for i in range(count)]
    return glyphs, unicode_map(table, count, entry_size, terminator, separator)


def unicode_map(table, count, entry_size, terminator, separator):
    """Code point -> glyph index; single code points only, first glyph wins."""
    if table is None:
        return {i: i for i in range(count)}
    mapping, glyph, pos = {}, 0, 0
    in_sequence = False
    while glyph < count and pos < len(table):
        if entry_size == 2:
            value = struct.unpack_from("<H", table, pos)[0]
            pos += 2
        else:
            value = table[pos]
            if value not in (terminator, separator):
                length = 1 if value < 0x80 else 2 if value < 0xE0 else 3 if value < 0xF0 else 4
                value = ord(table[pos:pos + length].decode("utf-8"))
                pos += length
                if not in_sequence:
                    mapping.setdefault(value, glyph)
                continue
            pos += 1
        if value == terminator:
            glyph += 1
            in_sequence = False
        elif value == separator:
            in_sequence = True
        elif not in_sequence:
            mapping.setdefault(value, glyph)
    return mapping


def reverse_bits(byte):
    return int("{:08b}".format(byte)[::-1], 2)


def main():
    source, target = sys.argv[1], sys.argv[2]
    data = open(source, "rb").read()
    if data[:2] == b"\x1f\x8b":
        data = gzip.decompress(data)
    glyphs, mapping = read_psf(data)
    out = bytearray(16 * 96)
    for code in range(32, 128):
        index = mapping.get(code)
        if index is None:
            continue
        for row in range(16):
            out[row * 96 + code - 32] = reverse_bits(glyphs[index][row])
    open(target, "wb").write(bytes(out))


if __name__ == "__main__":
    main()
