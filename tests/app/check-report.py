#!/usr/bin/env python3
"""Checks a dorvil-cli run report against its shape and against the run's
log (the program's standard output, UTF-8). Prints every difference and
exits 1 when there is one.

    check-report.py REPORT.json LOG.txt
"""
import json
import re
import sys

problems = []


def expect(condition, what):
    if not condition:
        problems.append(what)


def typed(value, kind, where):
    expect(isinstance(value, kind) and not (kind is int and isinstance(value, bool)),
           '%s: %r is no %s' % (where, value, kind.__name__))


def strings(check, key):
    typed(check.get(key), list, key)
    for item in check.get(key) or []:
        typed(item, str, key)
    return check.get(key) or []


def moves(check):
    for move in strings_or_objects(check, 'moves'):
        typed(move.get('source'), str, 'move source')
        typed(move.get('target'), str, 'move target')
        typed(move.get('moved'), bool, 'move moved')
        if move.get('moved') is False:
            typed(move.get('reason'), str, 'move reason')
    return check.get('moves') or []


def strings_or_objects(check, key):
    typed(check.get(key), list, key)
    return [item for item in check.get(key) or [] if isinstance(item, dict)]


def runs(log, title):
    """The lines of each run of the check with this title, in order; a run
    ends where the next check's header begins."""
    titles = {t for t, _ in TITLES.values()}
    found, current = [], None
    for i, line in enumerate(log):
        starts = line in titles and i > 0 and log[i - 1] == ''
        if starts:
            if current is not None and current and current[-1] == '':
                current.pop()
            current = [] if line == title else None
            if current is not None:
                found.append(current)
        elif current is not None:
            current.append(line)
    if current and current[-1] == '':
        current.pop()
    return found


def compare(check, lines):
    missing_title = 'Ссылки из базы на несуществующие файлы'
    surplus_title = 'Файлы, для которых нет ссылки в базе'
    missing = strings(check, 'missing')
    surplus = strings(check, 'surplus')
    empty = strings(check, 'emptyFolders')
    moved = moves(check)
    start = lines.index(missing_title) + 1
    end = next(i for i in range(start, len(lines)) if lines[i].startswith('Найдено файлов - '))
    expect(lines[start:end] == missing, 'missing records differ from the log')
    expect(check['counts']['missing'] == len(missing), 'count of missing records')
    walk = lines[lines.index(surplus_title) + 1:] if surplus_title in lines else []
    empty_lines = [l for l in walk if ' - пустая директория. Переношу в - ' in l]
    listed = [l for l in walk if not l.startswith('Найдено файлов - ') and not l.startswith('!!!')
              and l not in empty_lines and not l.startswith('Поиск прерван')]
    expect(listed == surplus, 'surplus files differ from the log: %r %r' % (listed, surplus))
    expect([l.split(' - пустая директория')[0] for l in empty_lines] == empty,
           'empty folders differ from the log')
    failed = [l for l in walk if l.startswith('!!!')]
    expect(check['counts']['notMoved'] == len(failed) == sum(not m['moved'] for m in moved),
           'moves that failed')
    expect(check['counts']['moved'] == sum(m['moved'] for m in moved), 'count of moves')


def duplicate_files(check, lines):
    groups = strings_or_objects(check, 'groups')
    group_lines = [l for l in lines if re.match(r'.* - \d+$', l) and not l.startswith('  ')]
    expect([g.get('file') for g in groups] == [l.rsplit(' - ', 1)[0] for l in group_lines],
           'groups differ from the log')
    expect(int(lines[-1].split('-')[-1]) == len(groups) == check['counts']['groups'],
           'count of groups')
    deleted = 0
    for group in groups:
        typed(group.get('idRead'), bool, 'idRead')
        typed(group.get('id' if group.get('idRead') else 'reason'), str, 'id or reason')
        for record in strings_or_objects(group, 'records'):
            typed(record.get('bookId'), int, 'bookId')
            typed(record.get('kept'), bool, 'kept')
        for change in strings_or_objects(group, 'changes'):
            expect(change.get('action') in ('delete', 'update'), 'change action')
            deleted += change['action'] == 'delete' and change['done']
    expect(sum(1 for l in lines if l.startswith('  Запись с ID ') and l.endswith(' удалена'))
           == deleted == check['counts']['deleted'], 'deleted records')
    if check.get('moves'):
        moves(check)


def duplicate_links(check, lines):
    pairs = strings_or_objects(check, 'pairs')
    pair_lines = [l for l in lines if l.startswith('BOOKID=')]
    expect(['BOOKID=%d AUTORID=%d - %d' % (p['bookId'], p['autorId'], p['links']) for p in pairs]
           == pair_lines, 'pairs differ from the log')
    expect(sum(1 for l in lines if l.startswith('  Почищено BOOKID='))
           == sum(p['cleaned'] for p in pairs) == check['counts']['cleaned'], 'cleaned pairs')


TITLES = {'compare': ('Сверка базы с файлами', compare),
          'duplicate-files': ('Поиск записей в базе, ссылающихся на один файл', duplicate_files),
          'duplicate-links': ('Поиск дублей bookid,autorid в таблице book_autor', duplicate_links)}


def main():
    with open(sys.argv[1], encoding='utf-8') as f:
        report = json.load(f)
    with open(sys.argv[2], encoding='utf-8') as f:
        log = f.read().splitlines()
    typed(report.get('checks'), list, 'checks')
    seen = {}
    for check in report.get('checks', []):
        name = check.get('check')
        expect(name in TITLES, 'unknown check %r' % name)
        if name not in TITLES:
            continue
        typed(check.get('ranToEnd'), bool, 'ranToEnd')
        typed(check.get('counts'), dict, 'counts')
        title, verify = TITLES[name]
        index = seen.get(title, 0)
        seen[title] = index + 1
        found = runs(log, title)
        expect(index < len(found), 'no run of %s in the log' % name)
        if index < len(found):
            verify(check, found[index][1:])  # past the date line
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
