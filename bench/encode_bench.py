"""Times our writer against the Debian archiver on the benchmark corpus.

The corpora: bench.py's text-like words and binary records, and text
installed on the machine (so their bytes depend on what is installed):
files under a folder with the given suffixes, in byte order of their
paths, concatenated (as `find ROOT -type f -name '*.h' | LC_ALL=C sort |
xargs cat` would), then cut. The method 1 coder was tuned on text,
binary, headers and perl; headers-rest, python and docs are held out
(bench/README.md).

For each corpus file and each method (1 and 4) it makes the archive with
`arj a -mN` and with `arj_pack -mN` (this project's writer), alternating
the two in every repetition, checks that our archive passes `arj t` and
unpacks byte for byte, and prints sizes, the median wall and CPU times,
the medians of the repetitions' time ratios (each repetition times the
two back to back, so its ratio is steadier than a ratio of medians when
the machine's speed drifts), and the peak resident memory of one extra
run under /usr/bin/time -v.
"""
import filecmp
import os
import shutil
import stat
import statistics
import subprocess
import sys

from bench import BINARY_BYTES, TEXT_BYTES, make_binary, make_text, timed


HEADER_BYTES = 60100000


def concatenated(root, suffixes, skip=0, limit=None):
    """A maker of the regular files under root whose names end in one of
    suffixes, in byte order of their paths, concatenated, less the first
    `skip` bytes, at most `limit` bytes."""
    def make(path):
        names = []
        for folder, _, files in os.walk(root):
            for name in files:
                full = os.path.join(folder, name)
                if name.endswith(suffixes) and stat.S_ISREG(os.lstat(full).st_mode):
                    names.append(full)
        to_skip, left = skip, limit
        with open(path, 'wb') as out:
            for name in sorted(names):
                with open(name, 'rb') as f:
                    data = f.read()
                cut = min(to_skip, len(data))
                data, to_skip = data[cut:], to_skip - cut
                if left is not None:
                    data, left = data[:left], left - min(left, len(data))
                out.write(data)
    return make


# name: (maker, size the file must have or None)
CORPORA = {
    'text': (make_text, TEXT_BYTES),
    'binary': (make_binary, BINARY_BYTES),
    'headers': (concatenated(b'/usr/include', (b'.h',), limit=HEADER_BYTES), None),
    'perl': (concatenated(b'/usr/share/perl', (b'.pm', b'.pod')), None),
    # held out from the method 1 coder's tuning
    'headers-rest': (concatenated(b'/usr/include', (b'.h',), skip=HEADER_BYTES), None),
    'python': (concatenated(b'/usr/lib/python3.11', (b'.py',)), None),
    'docs': (concatenated(b'/usr/share/doc', (b'.txt', b'.html', b'.md')), None),
}


def peak_kb(command):
    verbose = subprocess.run(['/usr/bin/time', '-v'] + command, capture_output=True, text=True)
    return next(int(line.split()[-1]) for line in verbose.stderr.splitlines() if 'Maximum resident set size' in line)


def main():
    arj_pack, work, reps = sys.argv[1], sys.argv[2], int(sys.argv[3])
    names = sys.argv[4:] or list(CORPORA)
    unknown = [name for name in names if name not in CORPORA]
    if unknown:
        sys.exit(f'unknown corpus {unknown[0]}: one of {" ".join(CORPORA)}')
    os.makedirs(work, exist_ok=True)
    print(f'{"corpus":<13}{"m":>2}  {"MB arj":>8}{"MB ours":>9}{"ratio":>7}  '
          f'{"wall s arj":>10}{"ours":>7}{"ratio":>7}  {"cpu s arj":>9}{"ours":>7}{"ratio":>7}  peak KB arj/ours')
    for name in names:
        make, size = CORPORA[name]
        src = os.path.join(work, name + '.dat')
        if not os.path.exists(src) or (size is not None and os.path.getsize(src) != size):
            make(src)
        for method in (1, 4):
            ours = os.path.join(work, f'ours-{name}-m{method}.arj')
            theirs = os.path.join(work, f'arj-{name}-m{method}.arj')
            commands = {
                'arj': ['arj', 'a', '-y', f'-m{method}', '-e', theirs, src],
                'ours': [arj_pack, f'-m{method}', ours, src],
            }
            outputs = {'arj': theirs, 'ours': ours}
            walls = {tool: [] for tool in commands}
            cpus = {tool: [] for tool in commands}
            for _ in range(reps):
                for tool, command in commands.items():
                    if os.path.exists(outputs[tool]):
                        os.remove(outputs[tool])
                    wall, cpu = timed(command)
                    walls[tool].append(wall)
                    cpus[tool].append(cpu)
            peaks = {}
            for tool, command in commands.items():
                if os.path.exists(outputs[tool]):
                    os.remove(outputs[tool])
                peaks[tool] = peak_kb(command)
            out = os.path.join(work, 'out-check')
            shutil.rmtree(out, ignore_errors=True)
            os.makedirs(out)
            subprocess.run(['arj', 'e', '-y', ours, out + '/'], check=True, stdout=subprocess.DEVNULL)
            if not filecmp.cmp(src, os.path.join(out, name + '.dat'), shallow=False):
                sys.exit(f'arj e of {ours} differs from the original')
            shutil.rmtree(out, ignore_errors=True)
            a, o = os.path.getsize(theirs), os.path.getsize(ours)
            w = {t: statistics.median(v) for t, v in walls.items()}
            c = {t: statistics.median(v) for t, v in cpus.items()}
            wr = statistics.median(y / x for x, y in zip(walls['arj'], walls['ours']))
            cr = statistics.median(y / x for x, y in zip(cpus['arj'], cpus['ours']))
            print(f'{name:<13}{method:>2}  {a / 1e6:>8.2f}{o / 1e6:>9.2f}{o / a:>7.3f}  '
                  f'{w["arj"]:>10.3f}{w["ours"]:>7.3f}{wr:>7.2f}  '
                  f'{c["arj"]:>9.3f}{c["ours"]:>7.3f}{cr:>7.2f}  '
                  f'{peaks["arj"]}/{peaks["ours"]}', flush=True)


if __name__ == '__main__':
    main()
