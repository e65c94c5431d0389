"""What both reconcile benchmarks share: the generated library (made once,
reused while its manifest matches), the floors measured in the same run, a
program folder of their own with the settings each run needs, and timed runs
of the programs with their peak resident memory.

The drivers are Python rather than C++ because the scale kit they run is
Python and writes JSON, and because most of their work is starting
processes, timing them and comparing text lists; the parts that need C++
(the window run, the client-library floor) are the two helper programs built
beside the wrappers.
"""

import argparse
import json
import os
import shutil
import statistics
import subprocess
import sys
import threading
import time

# The settings files are code page 1251 with CR LF, as the library manager
# writes them.
INI_ENCODING = 'cp1251'


def arguments(description, default_books=200000):
    ap = argparse.ArgumentParser(description=description)
    ap.add_argument('--books', type=int, default=default_books,
                    help='library size (default %d)' % default_books)
    ap.add_argument('--runs', type=int, default=3,
                    help='measured runs of each program after one warm-up run (default 3)')
    ap.add_argument('--dup-groups', type=int, help='shared-file groups (default books/20)')
    ap.add_argument('--dup-links', type=int,
                    help='duplicated author-link pairs (default books/100)')
    ap.add_argument('--regenerate', action='store_true',
                    help='make the library anew even if it matches')
    # Filled in by the wrapper that the build writes.
    for name in ('cli', 'window', 'db-probe', 'kit', 'libs'):
        ap.add_argument('--' + name, required=True)
    a = ap.parse_args()
    if a.dup_groups is None:
        a.dup_groups = a.books // 20
    if a.dup_links is None:
        a.dup_links = a.books // 100
    return a


def load_text():
    one, five, fifteen = os.getloadavg()
    return 'load average %.2f %.2f %.2f on %d cores' % (one, five, fifteen, os.cpu_count() or 1)


def library(a):
    """The library folder for these arguments, made by the kit unless a
    complete one with the same parameters is there already."""
    out = os.path.join(a.libs, 'books-%d' % a.books)
    wanted = {'books': a.books, 'seed': 1, 'missing_pct': 5.0, 'surplus_pct': 5.0,
              'dup_groups': a.dup_groups, 'dup_links': a.dup_links, 'fb2_kb': 8.0, 'folders': 0,
              'loader': 'external', 'ini_paths': 'windows'}
    manifest_file = os.path.join(out, 'manifest.json')
    if not a.regenerate and os.path.isfile(manifest_file):
        with open(manifest_file, encoding='utf-8') as f:
            manifest = json.load(f)
        if all(manifest['parameters'].get(k) == v for k, v in wanted.items()):
            print('library %s: reused (manifest matches)' % out)
            return out, manifest
    print('library %s: generating (%s)' % (out, ', '.join('%s=%s' % kv for kv in wanted.items())),
          flush=True)
    os.makedirs(a.libs, exist_ok=True)
    cmd = [sys.executable, os.path.join(a.kit, 'make_library.py'), '--books', str(a.books),
           '--out', out, '--seed', '1', '--dup-groups', str(a.dup_groups),
           '--dup-links', str(a.dup_links), '--force']
    start = time.perf_counter()
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)
    print('  generated in %.0f s' % (time.perf_counter() - start))
    with open(manifest_file, encoding='utf-8') as f:
        return out, json.load(f)


def floors(a, out, work):
    """Runs the kit's floor measurements on the library; their results by key."""
    json_file = os.path.join(work, 'floors.json')
    print('floors (the kit\'s floors.py, warm cache, median of %d runs after a warm-up):' % a.runs,
          flush=True)
    result = subprocess.run([sys.executable, os.path.join(a.kit, 'floors.py'), out, '--runs',
                             str(a.runs), '--skip-unzip', '--json', json_file],
                            stdout=subprocess.PIPE, check=True, text=True)
    # The kit's own lines carry the details of each floor (rows, files, ids).
    for line in result.stdout.splitlines():
        if line.startswith('  ('):
            print('  kit:' + line[1:])
    with open(json_file, encoding='utf-8') as f:
        return {r['key']: r for r in json.load(f)['results']}


def read_ini(path):
    values = {}
    with open(path, 'rb') as f:
        for line in f.read().decode(INI_ENCODING).splitlines():
            if '=' in line and not line.lstrip().startswith('['):
                key, value = line.split('=', 1)
                values[key.strip()] = value.strip()
    return values


def write_ini(path, section, pairs):
    text = '[%s]\r\n' % section + ''.join('%s=%s\r\n' % kv for kv in pairs)
    with open(path, 'wb') as f:
        f.write(text.encode(INI_ENCODING))


def program_folder(folder, out, database=None, **compare):
    """A program folder of the benchmark's own: the library's bokvarddb.ini
    (with another database file when given) and a Dorvil.ini with moves off
    and deletion off unless `compare` says otherwise. Written anew before
    each run, since a run saves its preferences back."""
    os.makedirs(folder, exist_ok=True)
    manager = read_ini(os.path.join(out, 'program', 'bokvarddb.ini'))
    write_ini(os.path.join(folder, 'bokvarddb.ini'), 'Common', [
        ('DataBaseFile', database or manager['DataBaseFile']),
        ('MountPoint', manager['MountPoint']), ('WorkMode', manager['WorkMode'])])
    kit = read_ini(os.path.join(out, 'program', 'Dorvil.ini'))
    settings = {'MoveTo': kit['MoveTo'], 'MoveFiles': '0', 'MoveEmptyDir': '0',
                'SaveStructure': '1', 'DelDoubleRec': '0', 'IdNotFound': '0', 'MoveNotFound': '0',
                'UserName': 'SYSDBA', 'Password': 'x'}
    settings.update({k: str(v) for k, v in compare.items()})
    write_ini(os.path.join(folder, 'Dorvil.ini'), 'Compare', list(settings.items()))
    return folder


def child_environment(work):
    """The checks' temporary folder inside the benchmark's own folder, so a
    run neither meets nor leaves files another program put in /tmp/Dorvil."""
    temp = os.path.join(work, 'tmp')
    os.makedirs(temp, exist_ok=True)
    env = dict(os.environ)
    env['TMPDIR'] = temp
    env.setdefault('QT_QPA_PLATFORM', 'offscreen')
    return env, os.path.join(temp, 'Dorvil')


class Run:
    """One process: wall time from start to exit, peak resident memory, and
    its standard output as lines with the moment each arrived."""

    def __init__(self, cmd, env, before=None):
        if before:
            before()
        start = time.perf_counter()
        process = subprocess.Popen(cmd, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.lines = []
        errors = []

        def read_out():
            for raw in process.stdout:
                line = raw.decode('utf-8', 'replace').rstrip('\n')
                self.lines.append((time.perf_counter() - start, line))

        def read_err():
            errors.append(process.stderr.read().decode('utf-8', 'replace'))
        readers = [threading.Thread(target=read_out), threading.Thread(target=read_err)]
        for reader in readers:
            reader.start()
        _, status, usage = os.wait4(process.pid, 0)
        self.wall = time.perf_counter() - start
        process.returncode = os.waitstatus_to_exitcode(status)
        for reader in readers:
            reader.join()
        self.status = process.returncode
        self.stderr = ''.join(errors)
        self.peak_rss = usage.ru_maxrss * 1024  # Linux reports kilobytes
        self.cmd = cmd

    def text(self):
        return [line for _, line in self.lines]

    def figures(self):
        """The name=value pairs of the helpers' last output line."""
        values = {}
        for token in (self.lines[-1][1] if self.lines else '').split():
            if '=' in token:
                key, value = token.split('=', 1)
                values[key] = float(value)
        return values

    def checked(self):
        if self.status != 0:
            sys.stderr.write(self.stderr)
            sys.exit('%s exited with %d' % (' '.join(self.cmd), self.status))
        return self


def measured(runs, cmd, env, before=None, after=None):
    """One warm-up run, then `runs` measured ones (each checked, and passed to
    `after` for its findings)."""
    results = []
    for k in range(runs + 1):
        run = Run(cmd, env, before).checked()
        if after:
            after(run)
        if k:
            results.append(run)
    return results


def median(values):
    return statistics.median(values)


def spread(results):
    walls = [r.wall for r in results]
    return 'median of %d; min %.3f, max %.3f' % (len(walls), min(walls), max(walls))


def verdict(value, target):
    return 'met' if value <= target else 'MISSED'


def megabytes(n):
    return '%.0f MB' % (n / 1e6)


def check_temp_empty(temp_dorvil):
    left = os.listdir(temp_dorvil) if os.path.isdir(temp_dorvil) else []
    return 'none' if not left else '%d (%s ...)' % (len(left), left[0])


def fetched_size(a, out, env):
    """Rows and value bytes of the book list's SELECT, fetched bare."""
    database = os.path.join(out, 'lib.fdb')
    figures = Run([a.db_probe, 'fetched-size', database], env).checked().figures()
    rows, values = figures['rows'], figures['value_bytes']
    return '%d rows, %s of values (%.0f B a row; fixed-width row buffer %d B)' % (
        rows, megabytes(values), values / rows, figures['row_buffer'])


def fresh_copy(source, target):
    """A copy of the catalogue for a run that deletes rows."""
    shutil.copyfile(source, target)
