#!/usr/bin/env python3
"""The database-versus-disk comparison on a generated library: dorvil-cli
and the window (offscreen) against the floors measured in the same run,
their findings against the generator's lists, and the peak resident memory
beside the size of the fetched rows.

Run it through the wrapper the build writes (it fills in the paths):
    build/DIR/bench/reconcile/bench_reconcile_compare [--books 500000] [--runs 3]
"""

import os
import sys

import benchkit as kit

MISSING_TITLE = 'Ссылки из базы на несуществующие файлы'
SURPLUS_TITLE = 'Файлы, для которых нет ссылки в базе'
FOUND = 'Найдено файлов - '


def section(lines, title):
    """The lines under a title up to its count line, and that count."""
    start = lines.index(title) + 1
    for end in range(start, len(lines)):
        if lines[end].startswith(FOUND):
            return lines[start:end], int(lines[end][len(FOUND):])
    raise ValueError('no count line after ' + title)


def findings(lines, expected_missing, expected_surplus):
    missing, missing_count = section(lines, MISSING_TITLE)
    surplus, surplus_count = section(lines, SURPLUS_TITLE)
    # The rows are read in storage order, which is BOOKID order here, so the
    # missing records must come in the generator's order; the walk's order
    # depends on the file system, so surplus files are compared sorted.
    if missing == expected_missing:
        missing_equal = 'yes'
    elif sorted(missing) == sorted(expected_missing):
        missing_equal = 'yes as a set, order differs'
    else:
        missing_equal = 'NO (%d not expected, %d expected not listed)' % (
            len(set(missing) - set(expected_missing)), len(set(expected_missing) - set(missing)))
    if sorted(surplus) == expected_surplus:
        surplus_equal = 'yes'
    else:
        surplus_equal = 'NO (%d not expected, %d expected not listed)' % (
            len(set(surplus) - set(expected_surplus)), len(set(expected_surplus) - set(surplus)))
    equal = missing_equal.startswith('yes') and surplus_equal == 'yes' and \
        missing_count == len(missing) and surplus_count == len(surplus)
    return equal, ('missing records %d listed ("%s%d"), %d expected, equal: %s; '
                   'surplus files %d listed ("%s%d"), %d expected, equal: %s' % (
                       len(missing), FOUND, missing_count, len(expected_missing), missing_equal,
                       len(surplus), FOUND, surplus_count, len(expected_surplus), surplus_equal))


def read_lines(path):
    with open(path, encoding='utf-8') as f:
        return f.read().splitlines()


def main():
    a = kit.arguments('Benchmark of the database-versus-disk comparison.')
    print('== comparison benchmark, %d books (%s)' % (a.books, kit.load_text()), flush=True)
    out, manifest = kit.library(a)
    work = os.path.join(a.libs, 'run-%d' % a.books, 'compare')
    os.makedirs(work, exist_ok=True)
    expected_missing = read_lines(os.path.join(out, 'expected', 'missing.txt'))
    expected_surplus = sorted(read_lines(os.path.join(out, 'expected', 'surplus.txt')))
    env, temp = kit.child_environment(work)

    floor = kit.floors(a, out, work)
    fetch_stat = floor['fetch_stat']['median_s']
    walk = floor['walk']['median_s']
    floor_sum = fetch_stat + walk

    print('load before the programs\' runs: %s' % kit.load_text(), flush=True)
    program = os.path.join(work, 'program')
    prepare = lambda: kit.program_folder(program, out)  # moves off, deletion off
    cli_checks = []
    cli = kit.measured(a.runs, [a.cli, '--dir', program, '--run', 'compare'], env, prepare,
                       lambda run: cli_checks.append(findings(run.text(), expected_missing,
                                                              expected_surplus)))
    cli_wall = kit.median([r.wall for r in cli])
    # The first log line is the run header's blank line: what comes before it
    # is start-up (attach, opening the book list), after the last line only
    # the end of the run frame and shutdown.
    startup = kit.median([r.lines[0][0] for r in cli])
    check = kit.median([r.lines[-1][0] - r.lines[0][0] for r in cli])
    # The database pass ends with the first count line, the disk pass with the last.
    first_count = [next(t for t, line in r.lines if line.startswith(FOUND)) for r in cli]
    database_pass = kit.median([t - r.lines[0][0] for t, r in zip(first_count, cli)])
    disk_pass = kit.median([r.lines[-1][0] - t for t, r in zip(first_count, cli)])

    window_log = os.path.join(work, 'window.log')
    window_checks = []
    window = kit.measured(a.runs, [a.window, program, 'compare', window_log], env, prepare,
                          lambda run: window_checks.append(findings(read_lines(window_log),
                                                                    expected_missing,
                                                                    expected_surplus)))
    window_wall = kit.median([r.wall for r in window])
    figures = [r.figures() for r in window]
    click = kit.median([f['click'] for f in figures])
    gap = max(f['max_gap'] for f in figures)
    lead = max(f['lead'] for f in figures)
    tail = max(f['tail'] for f in figures)
    events = int(kit.median([f['events'] for f in figures]))
    worst = max(figures, key=lambda f: f['max_gap'])
    load_after = kit.load_text()

    fetched = kit.fetched_size(a, out, env)
    peak = max(r.peak_rss for r in cli)
    counts = manifest['counts']

    print()
    print('comparison, %d books, %d files walked in %d folders (library %s)' % (
        counts['book_rows'], counts['files_on_disk_walked'], counts['folders_total'], out))
    print('floor (a) fetch of the book SELECT + stat of each file: %.3f s' % fetch_stat)
    print('floor (b) readdir + fstatat walk:                        %.3f s' % walk)
    print('sum of the floors:                                       %.3f s' % floor_sum)
    print('dorvil-cli --run compare, moves off:                     %.3f s (%s; start-up %.3f s, '
          'check %.3f s: database pass %.3f s, disk pass %.3f s)' % (
              cli_wall, kit.spread(cli), startup, check, database_pass, disk_pass))
    print('  ratio to the sum of the floors: %.2f (target <= 1.5: %s)' % (
        cli_wall / floor_sum, kit.verdict(cli_wall / floor_sum, 1.5)))
    print('window offscreen, same run:                              %.3f s (%s; click %.3f s)' % (
        window_wall, kit.spread(window), click))
    print('  ratio to dorvil-cli: %.2f (target <= 1.2: %s); click / dorvil-cli check: %.2f' % (
        window_wall / cli_wall, kit.verdict(window_wall / cli_wall, 1.2), click / check))
    # The click itself came through event processing, so the stretch before
    # the first call and the one after the last count as gaps as well.
    longest = max(gap, lead, tail)
    print('  longest time without event processing: %.1f ms (target <= 50 ms: %s); between two '
          'calls during the run %.1f ms (after call %d), from the click to the first call '
          '%.1f ms, from the last call to the end %.1f ms; %d calls' % (
              longest * 1000, kit.verdict(longest, 0.050), gap * 1000,
              worst['max_gap_after_call'], lead * 1000, tail * 1000, events))
    print('findings equal the generator\'s lists: dorvil-cli %s, window %s' % (
        'yes' if all(ok for ok, _ in cli_checks) else 'NO',
        'yes' if all(ok for ok, _ in window_checks) else 'NO'))
    print('  dorvil-cli: ' + cli_checks[-1][1])
    print('  window:     ' + window_checks[-1][1])
    print('peak resident memory of dorvil-cli: %s; fetched data: %s' % (
        kit.megabytes(peak), fetched))
    print('temporary files left by the runs: %s' % kit.check_temp_empty(temp))
    print('load after the runs: %s' % load_after)
    ok = all(ok for ok, _ in cli_checks + window_checks)
    return 0 if ok else 1


if __name__ == '__main__':
    sys.exit(main())
