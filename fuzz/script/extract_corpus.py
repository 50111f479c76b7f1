#!/usr/bin/env python3
"""Writes the seed corpus of fuzz_script: every script text quoted in the script tests and benchmarks.

Run: python3 fuzz/script/extract_corpus.py [output folder, default fuzz/script/corpus]
A script text is a run of adjacent C++ string literals that contains "begin" or "end".
"""
import hashlib
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parents[2]
SOURCES = sorted(ROOT.glob('tests/script/*.cpp')) + sorted(ROOT.glob('tests/script/*.h')) + \
    sorted(ROOT.glob('bench/script/*.h')) + sorted(ROOT.glob('tests/actions/OBScript*_test.cpp'))
LITERAL = r'(?:u8|u|L)?"(?:[^"\\\n]|\\.)*"'
RUN = re.compile(r'(?:%s\s*)+' % LITERAL)
ESCAPES = {'n': '\n', 't': '\t', 'r': '\r', '"': '"', "'": "'", '\\': '\\', '0': '\0'}


def unescape(body):
    out, i = [], 0
    while i < len(body):
        c = body[i]
        if c == '\\' and i + 1 < len(body):
            nxt = body[i + 1]
            if nxt == 'x':
                m = re.match(r'[0-9a-fA-F]+', body[i + 2:])
                out.append(chr(int(m.group(0), 16)) if m else 'x')
                i += 2 + (len(m.group(0)) if m else 0)
                continue
            out.append(ESCAPES.get(nxt, nxt))
            i += 2
            continue
        out.append(c)
        i += 1
    return ''.join(out)


def scripts(text):
    for run in RUN.finditer(text):
        parts = re.findall(LITERAL, run.group(0))
        joined = ''.join(unescape(p[p.index('"') + 1:-1]) for p in parts)
        if re.search(r'\b(begin|end)\b', joined, re.I) and len(joined) > 8:
            yield joined


def main():
    out = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else ROOT / 'fuzz/script/corpus'
    out.mkdir(parents=True, exist_ok=True)
    count = 0
    for source in SOURCES:
        for script in scripts(source.read_text(encoding='utf-8', errors='replace')):
            data = script.encode('utf-8', errors='surrogatepass')
            (out / (hashlib.sha1(data).hexdigest()[:16] + '.pas')).write_bytes(data)
            count += 1
    print(f'{count} scripts written to {out}')


if __name__ == '__main__':
    main()
