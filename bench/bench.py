"""Builds the corpus, makes the archives and times the three extractors.

Wall time is the median of the repetitions (time.perf_counter around the
process), CPU time (user + system) likewise; on a shared machine the CPU
time is the steadier figure. The tools take turns run by run, and every
run writes into a freshly made, empty output folder (memory-backed under
/dev/shm by default). Peak memory comes from one extra run under
/usr/bin/time -v.
Every extraction is compared byte for byte with the original.
"""
import array
import filecmp
import os
import random
import shutil
import statistics
import subprocess
import sys
import time

TEXT_BYTES = 62 * 1000 * 1000
BINARY_BYTES = 60 * 1000 * 1000


def make_text(path):
    rng = random.Random(1)
    words = [''.join(rng.choice('etaoinshrdlucmfwypvbgkqjxz') for _ in range(rng.randint(1, 11)))
             for _ in range(6000)]
    weights = [1.0 / (i + 1) for i in range(len(words))]
    with open(path, 'w') as out:
        written = 0
        while written < TEXT_BYTES:
            line = ' '.join(rng.choices(words, weights, k=12)) + '.\n'
            out.write(line)
            written += len(line)
    os.truncate(path, TEXT_BYTES)


def make_binary(path):
    """Records of counters, small integers and tags; stretches of noise and zeros."""
    rng = random.Random(2)
    with open(path, 'wb') as out:
        written, counter = 0, 0
        while written < BINARY_BYTES:
            kind = rng.random()
            if kind < 0.7:
                a = array.array('I')
                for _ in range(4096):
                    counter += rng.randint(1, 40)
                    a.extend((counter, rng.randint(0, 255), rng.choice((7, 7, 7, 1000, 65535)), 0x12345678))
                chunk = a.tobytes()
            elif kind < 0.9:
                chunk = rng.randbytes(32768)
            else:
                chunk = bytes(rng.randint(1000, 60000))
            out.write(chunk)
            written += len(chunk)
    os.truncate(path, BINARY_BYTES)


def run(command, cwd=None):
    subprocess.run(command, cwd=cwd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def timed(command):
    """Wall seconds and CPU seconds (user + system) of one run."""
    start = time.perf_counter()
    child = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    wall = time.perf_counter() - start
    if status != 0:
        sys.exit(f'failed: {command}')
    return wall, usage.ru_utime + usage.ru_stime


def main():
    iunpack, work, reps = sys.argv[1], sys.argv[2], int(sys.argv[3])
    os.makedirs(work, exist_ok=True)
    corpora = {'text': make_text, 'binary': make_binary}
    for name, make in corpora.items():
        src = os.path.join(work, name + '.dat')
        if not os.path.exists(src) or os.path.getsize(src) != (TEXT_BYTES if name == 'text' else BINARY_BYTES):
            make(src)
        for method in (1, 4):
            arc = os.path.join(work, f'{name}-m{method}.arj')
            if not os.path.exists(arc) or os.path.getmtime(arc) < os.path.getmtime(src):
                if os.path.exists(arc):
                    os.remove(arc)
                run(['arj', 'a', '-y', f'-m{method}', '-e', arc, src])

    extractors = {
        'iunpack': lambda arc, out: [iunpack, 'extract', arc, out],
        '7zz': lambda arc, out: ['7zz', 'e', '-y', '-o' + out, arc],
        'arj': lambda arc, out: ['arj', 'e', '-y', arc, out + '/'],
    }
    print(f'{"archive":<16}{"MB":>6}  {"wall s: iunpack 7zz arj":<24}{"ours/7zz":>9}{"ours/arj":>9}'
          f'  {"cpu s: iunpack 7zz arj":<24}{"ours/7zz":>9}{"ours/arj":>9}  peak KB ours/7zz/arj')
    for name in corpora:
        src = os.path.join(work, name + '.dat')
        for method in (1, 4):
            arc = os.path.join(work, f'{name}-m{method}.arj')
            times = {tool: [] for tool in extractors}
            cpu = {tool: [] for tool in extractors}
            # The tools take turns run by run, so a change in the machine's
            # load falls on all of them alike.
            for _ in range(reps):
                for tool, command in extractors.items():
                    out = os.path.join(work, 'out-' + tool)
                    shutil.rmtree(out, ignore_errors=True)
                    os.makedirs(out)
                    wall, used = timed(command(arc, out))
                    times[tool].append(wall)
                    cpu[tool].append(used)
                    if not filecmp.cmp(src, os.path.join(out, name + '.dat'), shallow=False):
                        sys.exit(f'{tool}: output of {arc} differs from the original')
                    shutil.rmtree(out, ignore_errors=True)
            medians = {tool: statistics.median(times[tool]) for tool in extractors}
            cpus = {tool: statistics.median(cpu[tool]) for tool in extractors}
            peaks = {}
            for tool, command in extractors.items():
                out = os.path.join(work, 'out-' + tool)
                shutil.rmtree(out, ignore_errors=True)
                os.makedirs(out)
                verbose = subprocess.run(['/usr/bin/time', '-v'] + command(arc, out), capture_output=True, text=True)
                peaks[tool] = next(int(line.split()[-1]) for line in verbose.stderr.splitlines()
                                   if 'Maximum resident set size' in line)
                shutil.rmtree(out, ignore_errors=True)
            w, c = medians, cpus
            print(f'{os.path.basename(arc):<16}{os.path.getsize(arc) / 1e6:>6.1f}  '
                  f'{w["iunpack"]:>7.3f}{w["7zz"]:>7.3f}{w["arj"]:>7.3f}   '
                  f'{w["iunpack"] / w["7zz"]:>9.2f}{w["iunpack"] / w["arj"]:>9.2f}  '
                  f'{c["iunpack"]:>7.3f}{c["7zz"]:>7.3f}{c["arj"]:>7.3f}   '
                  f'{c["iunpack"] / c["7zz"]:>9.2f}{c["iunpack"] / c["arj"]:>9.2f}  '
                  f'{peaks["iunpack"]}/{peaks["7zz"]}/{peaks["arj"]}')


if __name__ == '__main__':
    main()
