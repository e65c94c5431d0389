#!/usr/bin/env python3
"""The duplicate checks on a generated library:
- the duplicate-file check (deletion off) through dorvil-cli against the sum
  of its floors measured in the same run: the grouping query, the bare zlib
  extraction of each group's first FB2 entry with the <id> search, and the
  bare fetch of the book SELECT;
- the duplicate-link check (deletion on) through dorvil-cli against the same
  DELETE statements run directly through the client library in one
  transaction, each on a fresh copy of the catalogue;
- their findings against the generator's lists, and the peak resident
  memory beside the size of the fetched rows.

Run it through the wrapper the build writes (it fills in the paths):
    build/DIR/bench/reconcile/bench_reconcile_duplicates [--books 500000] [--runs 3]
"""

import os
import re
import sys

import benchkit as kit

FILES_TITLE = 'Поиск записей в базе, ссылающихся на один файл'
FILE_ID = '  fb2 file id - '
NO_FILE_ID = '  !!!! не могу извлечь ID fb2 файла! - '
RECORD_ID = ' ID - '
GROUPS_FOUND = 'Найдено дублей -'
LINKS_TITLE = 'Поиск дублей bookid,autorid в таблице book_autor'
CLEANED = '  Почищено BOOKID='
ROW_CELL = re.compile(r'(\d+):(.*?):([YN])(?= \d+:|$)')


def expected_groups(path):
    """FILENAME -> (count, the file's id or None, the OLDIDs of its rows sorted)."""
    groups = {}
    with open(path, encoding='utf-8') as f:
        next(f)
        for line in f:
            name, count, file_id, _kind, rows = line.rstrip('\n').split('\t')
            ids = sorted(m.group(2) for m in ROW_CELL.finditer(rows))
            unreadable = file_id in ('<missing>', '<no id>')
            groups[name] = (int(count), None if unreadable else file_id, ids)
    return groups


def listed_groups(lines):
    """The same, as the duplicate-file check's log shows it, and its count line."""
    start = lines.index(FILES_TITLE) + 2  # the title, then the run's date and time
    groups, current, found = {}, None, None
    for line in lines[start:]:
        if line.startswith(GROUPS_FOUND):
            found = int(line[len(GROUPS_FOUND):])
            break
        if line.startswith(FILE_ID):
            current[1] = line[len(FILE_ID):]
        elif line.startswith(NO_FILE_ID):
            current[1] = None
        elif line.startswith('  ') and RECORD_ID in line:
            current[2].append(line.rsplit(RECORD_ID, 1)[1])
        elif not line.startswith(' '):
            name, count = line.rsplit(' - ', 1)
            current = groups[name] = [int(count), None, []]
    return {name: (count, file_id, sorted(ids))
            for name, (count, file_id, ids) in groups.items()}, found


def file_findings(lines, expected):
    listed, found = listed_groups(lines)
    wrong = [name for name in expected if listed.get(name) != expected[name]]
    extra = [name for name in listed if name not in expected]
    ids = sum(1 for g in listed.values() if g[1] is not None)
    equal = not wrong and not extra and found == len(expected)
    text = ('%d groups listed ("%s%s"), %d expected, %d with the file\'s id, %d without; '
            'equal (count, id, the records\' OLDIDs): %s' % (
                len(listed), GROUPS_FOUND, found, len(expected), ids, len(listed) - ids,
                'yes' if equal else 'NO (%d differ, %d not expected, e.g. %s)' % (
                    len(wrong), len(extra), (wrong + extra)[0])))
    return equal, text


def expected_pairs(path):
    with open(path, encoding='utf-8') as f:
        next(f)
        return {(b, au): int(count) for b, au, count, _, _ in (line.split('\t') for line in f)}


def link_findings(lines, expected):
    start = lines.index(LINKS_TITLE) + 2
    listed, cleaned = {}, set()
    for line in lines[start:]:
        m = re.fullmatch(r'BOOKID=(\d+) AUTORID=(\d+) - (\d+)', line)
        if m:
            listed[(m.group(1), m.group(2))] = int(m.group(3))
        elif line.startswith(CLEANED):
            b, au = line[len(CLEANED):].split(' AUTORID=')
            cleaned.add((b, au))
    equal = listed == expected and cleaned == set(expected)
    return equal, '%d pairs listed, %d expected, %d cleaned; equal: %s' % (
        len(listed), len(expected), len(cleaned), 'yes' if equal else 'NO')


def main():
    a = kit.arguments('Benchmark of the duplicate-file and duplicate-link checks.')
    print('== duplicate-checks benchmark, %d books (%s)' % (a.books, kit.load_text()), flush=True)
    out, manifest = kit.library(a)
    work = os.path.join(a.libs, 'run-%d' % a.books, 'duplicates')
    os.makedirs(work, exist_ok=True)
    env, temp = kit.child_environment(work)
    groups = expected_groups(os.path.join(out, 'expected', 'groups.tsv'))
    pairs_file = os.path.join(out, 'expected', 'dup-links.tsv')
    pairs = expected_pairs(pairs_file)

    floor = kit.floors(a, out, work)
    grouping = floor['fetch_groups']['median_s']
    extraction = floor['zlib_extract']['median_s']
    fetch = floor['fetch']['median_s']
    files_floor = grouping + extraction + fetch

    print('load before the programs\' runs: %s' % kit.load_text(), flush=True)
    # The duplicate-file check, deletion off: the catalogue is only read.
    program = os.path.join(work, 'program-files')
    file_checks, temp_left = [], []

    def after_files(run):
        file_checks.append(file_findings(run.text(), groups))
        temp_left.append(kit.check_temp_empty(temp))
    files = kit.measured(a.runs, [a.cli, '--dir', program, '--run', 'duplicate-files'], env,
                         lambda: kit.program_folder(program, out), after_files)
    files_wall = kit.median([r.wall for r in files])
    files_startup = kit.median([r.lines[0][0] for r in files])
    files_check = kit.median([r.lines[-1][0] - r.lines[0][0] for r in files])

    # The duplicate-link check, deletion on, and its floor: each run deletes,
    # so each gets a fresh copy of the catalogue.
    copy = os.path.join(work, 'links.fdb')
    fresh = lambda: kit.fresh_copy(os.path.join(out, 'lib.fdb'), copy)
    link_program = os.path.join(work, 'program-links')
    verified = []
    verify = lambda run: verified.append(
        kit.Run([a.db_probe, 'check-links', copy, pairs_file], env).figures())
    floor_runs = kit.measured(a.runs, [a.db_probe, 'delete-links', copy, pairs_file], env, fresh,
                              verify)
    floor_verified = verified[:]
    verified.clear()
    link_checks = []

    def prepare_links():
        fresh()
        kit.program_folder(link_program, out, database=copy, DelDoubleRec=1)

    def after_links(run):
        link_checks.append(link_findings(run.text(), pairs))
        verify(run)
    links = kit.measured(a.runs, [a.cli, '--dir', link_program, '--run', 'duplicate-links'], env,
                         prepare_links, after_links)
    load_after = kit.load_text()
    links_wall = kit.median([r.wall for r in links])
    links_floor = kit.median([r.wall for r in floor_runs])
    links_startup = kit.median([r.lines[0][0] for r in links])
    links_check = kit.median([r.lines[-1][0] - r.lines[0][0] for r in links])
    floor_inner = kit.median([r.figures()['deletes_and_commit'] for r in floor_runs])

    counts = manifest['counts']
    fetched_text = kit.fetched_size(a, out, env)
    links_ok = lambda v: v['kept_lowest_only'] == v['pairs'] and v['duplicates_left'] == 0
    expected_links = counts['author_links'] - counts['surplus_link_rows']

    print()
    print('duplicate-file check, %d books, %d shared-file groups (%d rows) (library %s)' % (
        counts['book_rows'], counts['shared_groups'], counts['shared_group_rows'], out))
    print('floor grouping query (fbfetch):                        %.3f s' % grouping)
    print('floor zlib extraction of each group\'s first FB2 + <id>: %.3f s' % extraction)
    print('floor fetch of the book SELECT:                        %.3f s' % fetch)
    print('sum of the floors:                                     %.3f s' % files_floor)
    print('dorvil-cli --run duplicate-files, deletion off:        %.3f s (%s; start-up %.3f s, '
          'check %.3f s)' % (files_wall, kit.spread(files), files_startup, files_check))
    print('  ratio to the sum of the floors: %.2f (target <= 1.3: %s)' % (
        files_wall / files_floor, kit.verdict(files_wall / files_floor, 1.3)))
    print('  findings: ' + file_checks[-1][1] + ('' if all(ok for ok, _ in file_checks) else
                                                  '; NOT EQUAL in some run'))
    print('  temporary documents left after each run: %s' % ', '.join(temp_left))
    print('  peak resident memory: %s; fetched data: %s' % (
        kit.megabytes(max(r.peak_rss for r in files)), fetched_text))
    print()
    print('duplicate-link check, %d duplicated pairs (%d surplus rows of %d links)' % (
        counts['duplicate_link_pairs'], counts['surplus_link_rows'], counts['author_links']))
    print('floor: the same %d DELETE statements, one transaction:  %.3f s (%s; deletes + commit '
          '%.3f s)' % (len(pairs), links_floor, kit.spread(floor_runs), floor_inner))
    if all(links_ok(v) for v in floor_verified):
        print('  floor\'s result: every pair keeps its lowest ID only, %d links left' %
              floor_verified[-1]['links'])
    else:
        print('  floor\'s result: WRONG %s' % floor_verified)
    print('dorvil-cli --run duplicate-links, deletion on:          %.3f s (%s; start-up %.3f s, '
          'check %.3f s)' % (links_wall, kit.spread(links), links_startup, links_check))
    print('  ratio to the floor: %.2f (target <= 1.2: %s)' % (
        links_wall / links_floor, kit.verdict(links_wall / links_floor, 1.2)))
    print('  findings: ' + link_checks[-1][1] + '; catalogue after the run: %s' % (
        'every pair keeps its lowest ID only, %d links left (%d expected)' % (
            verified[-1]['links'], expected_links) if all(links_ok(v) for v in verified) else
        'WRONG %s' % verified))
    print('  peak resident memory: %s; fetched data: %s' % (
        kit.megabytes(max(r.peak_rss for r in links)), fetched_text))
    print('load after the runs: %s' % load_after)
    ok = all(ok for ok, _ in file_checks + link_checks) and \
        all(links_ok(v) for v in verified + floor_verified)
    return 0 if ok else 1


if __name__ == '__main__':
    sys.exit(main())
