"""Writes a bare archive of stored (method 0) entries, streaming, so that
entries of gigabytes cost no memory: the large-payload benchmark packs it
behind a stub. Each entry is a file name and a size; its bytes are a
repeating pseudo-random pattern, and its CRC-32 is computed as it is
written.

    stored_archive.py OUT.arj NAME=SIZE|NAME=@FILE ...
"""
import struct
import sys
import zlib

FIRST_HEADER_SIZE = 30
CHUNK = 1 << 20


def basic_header(name, file_type, size, crc):
    fields = struct.pack('<BBBBBBBBIIIIHHH', FIRST_HEADER_SIZE, 11, 1, 0, 0, 0, file_type, 0,
                         0x5A210000, size, size, crc, 0, 0o644 if file_type != 2 else 0, 0)
    return fields + name.encode() + b'\0' + b'\0'


def header(basic):
    crc = zlib.crc32(basic) & 0xFFFFFFFF
    return b'\x60\xea' + struct.pack('<H', len(basic)) + basic + struct.pack('<I', crc) + b'\0\0'


def chunks(source, size):
    """The entry's bytes: a file's, or a 1 MiB pattern repeated."""
    if source:
        with open(source, 'rb') as f:
            while block := f.read(CHUNK):
                yield block
        return
    pattern = bytes((i * 2654435761 >> 13) & 0xFF for i in range(CHUNK))
    left = size
    while left > 0:
        n = min(left, CHUNK)
        yield pattern[:n]
        left -= n


def main():
    out_path, entries = sys.argv[1], sys.argv[2:]
    with open(out_path, 'wb') as out:
        out.write(header(basic_header('bench.arj', 2, 0, 0)))
        for entry in entries:
            name, spec = entry.split('=', 1)
            source = spec[1:] if spec.startswith('@') else None
            size = 0
            if source:
                import os
                size = os.path.getsize(source)
            else:
                size = int(spec)
            if size >= 1 << 32:
                sys.exit(f'{name}: {size} bytes do not fit the 32-bit size fields')
            at = out.tell()
            out.write(header(basic_header(name, 0, size, 0)))
            crc = 0
            for block in chunks(source, size):
                crc = zlib.crc32(block, crc)
                out.write(block)
            end = out.tell()
            # The CRC is known only now: rewrite the header in place.
            out.seek(at)
            out.write(header(basic_header(name, 0, size, crc & 0xFFFFFFFF)))
            out.seek(end)
        out.write(b'\x60\xea\0\0')


if __name__ == '__main__':
    main()
