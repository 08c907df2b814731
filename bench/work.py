"""Decoding work per compressed byte over hostile input.

Every fuzz input (made into an archive by the fuzz harness's own rule) and
every crafted bomb is unpacked to nowhere with `iunpack test`. The CPU time
of each run (user + system, from the child's resource usage), less that of
an empty archive, divided by the archive's size, is its work per byte (the least of REPEATS runs); the
sum of its entries' original sizes per byte is what it could ask for. The
table lists the worst inputs, and the last line the worst of all.
"""
import os
import resource
import struct
import subprocess
import sys
import tempfile
import zlib

FUZZ_ORIGINAL_LIMIT = 1 << 16
REPEATS = 3  # runs per input; the least CPU time counts


def header(method, file_type, compressed, original, name=b'f', crc=0):
    basic = bytes([30, 11, 1, 0, 0, method, file_type, 0]) + struct.pack(
        '<IIIIHHH', 0, compressed, original, crc, 0, 0, 0) + name + b'\0\0'
    return b'\x60\xea' + struct.pack('<H', len(basic)) + basic + struct.pack('<I', zlib.crc32(basic)) + b'\0\0'


MAIN = header(0, 2, 0, 0, b'bench.arj')
END = b'\x60\xea\0\0'


def fuzz_archive(data):
    """The archive tests/support/fuzz_input.cpp makes of a fuzz input."""
    if not data:
        return None
    if data[0] % 2 == 0 or len(data) < 5:
        return data[1:]
    method = 1 + data[1] % 4
    original = (data[2] | data[3] << 8) % (FUZZ_ORIGINAL_LIMIT + 1)
    compressed = len(data) - 5 + (data[4] if data[4] & 1 else 0)
    return header(0, 2, 0, 0) + header(method, 0, compressed, original) + data[5:] + END


class Bits:
    """Bit fields, most significant bit first, as the decoders read them."""

    def __init__(self):
        self.out, self.value, self.count = bytearray(), 0, 0

    def put(self, value, width):
        self.value = self.value << width | value
        self.count += width
        while self.count >= 8:
            self.count -= 8
            self.out.append(self.value >> self.count & 0xFF)
        self.value &= (1 << self.count) - 1

    def bytes(self):
        return bytes(self.out) + (bytes([self.value << (8 - self.count) & 0xFF]) if self.count else b'')


def entry(name, method, data, original, compressed=None):
    size = len(data) if compressed is None else compressed
    return header(method, 0, size, original, name) + data


def bombs():
    """Archives built to make a decoder work: (name, bytes)."""
    yield 'zero-fill m1', MAIN + entry(b'b', 1, b'', 0xFFFFFFFF) + END
    yield 'zero-fill m4', MAIN + entry(b'b', 4, b'', 0xFFFFFFFF) + END
    yield '1000 zero-fills', MAIN + b''.join(entry(b'b%d' % i, 1, b'', 0xFFFFFFFF) for i in range(1000)) + END
    storm = Bits()
    for _ in range(20):  # blocks whose literal/length code is over-full
        storm.put(1, 16)
        storm.put(19, 5)
        for i in range(19):
            storm.put(4 if i < 13 else 5, 3)
            if i == 2:
                storm.put(0, 2)
        storm.put(510, 9)
        for s in range(510):  # every length 2 (symbol 4): 510 codes of two bits
            storm.put(0b0100, 4)
    yield 'box storm', MAIN + entry(b'b', 1, storm.bytes(), 0xFFFFFFFF) + END
    # Sound streams that expand most: single-value blocks of 65536 matches
    # of 256 bytes (54 bits a block), and method 4's longest match (24 bits).
    size = 1 << 26
    single = Bits()
    for _ in range(size // (65536 * 256)):
        for value, width in ((0, 16), (0, 5), (0, 5), (0, 9), (509, 9), (0, 5), (0, 5)):
            single.put(value, width)
    yield 'single-value m1', MAIN + entry(b'b', 1, single.bytes(), size) + END
    longest = Bits()
    for _ in range(size // 256):
        longest.put(0x3FFF, 14)
        longest.put(0, 10)
    yield 'longest matches m4', MAIN + entry(b'b', 4, longest.bytes(), size) + END
    cut = Bits()
    cut.put(0, 16)
    yield 'file ends in data', MAIN + entry(b'b', 1, cut.bytes(), 1 << 30, 1 << 30)


def originals(tool, path):
    listing = subprocess.run([tool, 'list', path], capture_output=True, text=True).stdout.splitlines()[1:]
    return sum(int(line.split()[0]) for line in listing if line.split() and line.split()[0].isdigit())


def cpu_seconds(tool, path):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    subprocess.run([tool, 'test', path], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)


def main():
    tool, directories = sys.argv[1], sys.argv[2:]
    inputs = list(bombs())
    crafted = len(inputs)
    for directory in directories:
        for name in sorted(os.listdir(directory)):
            with open(os.path.join(directory, name), 'rb') as f:
                archive = fuzz_archive(f.read())
            if archive:
                inputs.append((os.path.basename(directory.rstrip('/')) + '/' + name[:16], archive))
    with tempfile.TemporaryDirectory(dir='/dev/shm') as scratch:
        path = os.path.join(scratch, 'input.arj')
        with open(path, 'wb') as f:
            f.write(MAIN + END)
        runs = sorted(cpu_seconds(tool, path) for _ in range(15))
        baseline, noise = runs[0], runs[-1] - runs[0]
        rows = []
        for name, archive in inputs:
            with open(path, 'wb') as f:
                f.write(archive)
            cpu = min(cpu_seconds(tool, path) for _ in range(REPEATS)) - baseline
            # Below the spread of the empty runs a difference is not work.
            cpu = cpu if cpu > noise else 0.0
            rows.append((cpu / len(archive), name, len(archive), originals(tool, path) / len(archive), cpu))
    rows.sort(reverse=True)
    print(f'{len(inputs)} inputs ({len(inputs) - crafted} from the fuzz corpus); an empty archive takes '
          f'{baseline * 1e3:.2f} ms of CPU, spread {noise * 1e3:.2f} ms, taken off every run')
    print(f'{"input":30} {"bytes":>9} {"asks bytes/byte":>16} {"CPU ms":>8} {"CPU ns/byte":>12}')
    shown = [r for r in rows[:10]] + [r for r in rows[10:] if '/' not in r[1]]
    for per_byte, name, size, asked, cpu in shown:
        print(f'{name:30} {size:9} {asked:16.0f} {cpu * 1e3:8.2f} {per_byte * 1e9:12.0f}')
    worst = rows[0]
    print(f'worst: {worst[1]}: {worst[0] * 1e9:.0f} ns of CPU per compressed byte')


main()
