#!/usr/bin/env python3
"""Turns the program's text tables (UTF-8) into C++ byte strings in CP932.

Usage: gen_texts.py OUTDIR SUBSYSTEM TABLE... Each line of a table is
`kName = "text"` with C escapes (\\n, \\", \\\\); blank lines and lines
starting with '#' are skipped. Every table given is read, so that a name is
defined once in the whole program; the output holds the texts of the tables
in src/SUBSYSTEM/ only: OUTDIR/SUBSYSTEM/texts.h declaring
`extern const char kName[];` in namespace text, and OUTDIR/SUBSYSTEM/texts.cpp
defining each as the CP932 bytes, written as octal escapes.
"""
import os
import re
import sys

LINE = re.compile(r'^(k[A-Za-z0-9_]+)\s*=\s*"(.*)"\s*$')


def unescape(s):
    out, i = [], 0
    while i < len(s):
        c = s[i]
        if c == '\\' and i + 1 < len(s):
            n = s[i + 1]
            out.append({'n': '\n', 't': '\t', '"': '"', '\\': '\\'}.get(n, '\\' + n))
            i += 2
        else:
            out.append(c)
            i += 1
    return ''.join(out)


def main():
    outdir, subsystem, sources = sys.argv[1], sys.argv[2], sys.argv[3:]
    entries, seen = [], {}
    for source in sources:
        with open(source, encoding='utf-8') as f:
            for number, line in enumerate(f, 1):
                line = line.rstrip('\n')
                if not line.strip() or line.lstrip().startswith('#'):
                    continue
                m = LINE.match(line)
                if not m:
                    sys.exit(f'{source}:{number}: expected kName = "text"')
                if m.group(1) in seen:
                    sys.exit(f'{source}:{number}: {m.group(1)} is already defined in {seen[m.group(1)]}')
                seen[m.group(1)] = source
                if os.path.basename(os.path.dirname(os.path.abspath(source))) == subsystem:
                    entries.append((m.group(1), unescape(m.group(2)).encode('cp932')))
    outdir = os.path.join(outdir, subsystem)
    os.makedirs(outdir, exist_ok=True)
    header = [f'// Generated from the {subsystem} text tables: its texts as CP932 bytes.',
              '#pragma once', '', 'namespace text {', '']
    body = [f'#include "{subsystem}/texts.h"', '', 'namespace text {', '']
    for name, data in entries:
        header.append(f'extern const char {name}[];')
        escaped = ''.join(f'\\{b:03o}' if (b >= 0x80 or b < 0x20 or b in b'"\\?') else chr(b)
                          for b in data)
        body.append(f'const char {name}[] = "{escaped}";')
    header += ['', '}  // namespace text', '']
    body += ['', '}  // namespace text', '']
    for name, lines in (('texts.h', header), ('texts.cpp', body)):
        path = os.path.join(outdir, name)
        text = '\n'.join(lines)
        if not os.path.exists(path) or open(path).read() != text:
            with open(path, 'w') as f:
                f.write(text)


if __name__ == '__main__':
    main()
