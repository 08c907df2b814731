"""Times our writer against the Debian archiver on the benchmark corpus.

The corpora: bench.py's text-like words and binary records, and the C
headers installed under /usr/include (every *.h file in byte order of
their paths, concatenated, the first 60.1 MB), whose bytes depend on the
headers installed.

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


def make_headers(path):
    """find /usr/include -name '*.h' -type f | LC_ALL=C sort | xargs cat | head -c 60100000"""
    names = []
    for root, _, files in os.walk(b'/usr/include'):
        for name in files:
            full = os.path.join(root, name)
            if name.endswith(b'.h') and stat.S_ISREG(os.lstat(full).st_mode):
                names.append(full)
    written = 0
    with open(path, 'wb') as out:
        for name in sorted(names):
            with open(name, 'rb') as f:
                chunk = f.read(HEADER_BYTES - written)
            out.write(chunk)
            written += len(chunk)
            if written == HEADER_BYTES:
                break


def peak_kb(command):
    verbose = subprocess.run(['/usr/bin/time', '-v'] + command, capture_output=True, text=True)
    return next(int(line.split()[-1]) for line in verbose.stderr.splitlines() if 'Maximum resident set size' in line)


def main():
    arj_pack, work, reps = sys.argv[1], sys.argv[2], int(sys.argv[3])
    os.makedirs(work, exist_ok=True)
    corpora = {'text': (make_text, TEXT_BYTES), 'binary': (make_binary, BINARY_BYTES), 'headers': (make_headers, None)}
    print(f'{"corpus":<8}{"m":>2}  {"MB arj":>8}{"MB ours":>9}{"ratio":>7}  '
          f'{"wall s arj":>10}{"ours":>7}{"ratio":>7}  {"cpu s arj":>9}{"ours":>7}{"ratio":>7}  peak KB arj/ours')
    for name, (make, size) in corpora.items():
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
            print(f'{name:<8}{method:>2}  {a / 1e6:>8.2f}{o / 1e6:>9.2f}{o / a:>7.3f}  '
                  f'{w["arj"]:>10.3f}{w["ours"]:>7.3f}{wr:>7.2f}  '
                  f'{c["arj"]:>9.3f}{c["ours"]:>7.3f}{cr:>7.2f}  '
                  f'{peaks["arj"]}/{peaks["ours"]}', flush=True)


if __name__ == '__main__':
    main()
