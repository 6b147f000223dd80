#!/usr/bin/env python3
"""Puts braces around the statement of every `if` and `else` in the project's C++ files.

clang-tidy's readability-braces-around-statements finds each unbraced statement (through
the build's compile_commands.json, so macros and headers are read as the compiler reads
them); this script applies only the fixes that follow an `if (...)` or an `else`, and puts
each closing brace on its own line, indented as the line that opens it.

    cmake -S . -B build -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
    scripts/brace-ifs.py build

It needs clang-tidy and Python's yaml module (Debian: clang-tidy, python3-yaml); CI does
not run it. Running it again on braced code changes nothing.
"""
import json
import os
import subprocess
import sys
import tempfile
from concurrent.futures import ThreadPoolExecutor

import yaml

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def keyword_before(before):
    """Where the `if` or `else` whose statement starts after `before` is, or -1."""
    before = before.rstrip()
    if before.endswith('else') and not (before[-5:-4].isalnum() or before[-5:-4] == '_'):
        return len(before) - 4
    if not before.endswith(')'):
        return -1
    depth = 0
    for i in range(len(before) - 1, -1, -1):
        depth += {')': 1, '(': -1}.get(before[i], 0)
        if depth == 0:
            word = before[:i].rstrip()
            if word.endswith('if') and not (word[-3:-2].isalnum() or word[-3:-2] == '_'):
                return len(word) - 2
            return -1
    return -1


def fixes_of(build, unit):
    with tempfile.NamedTemporaryFile(suffix='.yaml', delete=False) as out:
        path = out.name
    subprocess.run(['clang-tidy', '-p', build, '--quiet', '--checks=-*,readability-braces-around-statements',
                    '--header-filter=^' + SOURCE + '/(app|core|rpm|engine|format|catalog|tests|bench|fuzz|tools|data)/', '--export-fixes=' + path, unit],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    with open(path) as f:
        data = yaml.safe_load(f) or {}
    os.unlink(path)
    return [d['DiagnosticMessage']['Replacements'] for d in data.get('Diagnostics', [])]


def apply(path, pairs):
    with open(path, 'rb') as f:
        raw = f.read()
    edits = []
    for opening, closing in pairs:
        before = raw[:opening].decode('utf-8')
        keyword = keyword_before(before)
        if keyword < 0:
            continue
        # The closing brace lines up with the line that holds the keyword.
        line = before[before.rfind('\n', 0, keyword) + 1:]
        indent = line[:len(line) - len(line.lstrip())]
        edits.append((opening, b' {'))
        edits.append((closing, ('\n' + indent + '}').encode('utf-8')))
    for offset, insert in sorted(edits, key=lambda e: e[0], reverse=True):
        raw = raw[:offset] + insert + raw[offset:]
    if edits:
        with open(path, 'wb') as f:
            f.write(raw)
    return len(edits) // 2


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else 'build'
    with open(os.path.join(build, 'compile_commands.json')) as f:
        units = sorted({e['file'] for e in json.load(f)
                        if e['file'].startswith(SOURCE + '/') and '/build' not in e['file'][len(SOURCE):]
                        and '_autogen' not in e['file']})
    found = {}
    with ThreadPoolExecutor(max_workers=os.cpu_count() or 2) as pool:
        for replacements in pool.map(lambda u: fixes_of(build, u), units):
            for pair in replacements:
                if len(pair) != 2 or pair[0]['ReplacementText'] != ' {':
                    continue
                key = (pair[0]['FilePath'], pair[0]['Offset'])
                found[key] = (pair[0]['Offset'], pair[1]['Offset'])
    by_file = {}
    for (path, _), pair in found.items():
        by_file.setdefault(path, []).append(pair)
    total = sum(apply(path, pairs) for path, pairs in sorted(by_file.items()))
    print(f'{total} statements braced in {len(by_file)} files')


if __name__ == '__main__':
    main()
