#!/usr/bin/env python3
"""Copies C++ sources into a mirror tree with the non-ASCII text of every string and character
literal written as octal escapes of its code page 932 bytes.

The production build compiles literals to code page 932 with g++'s -fexec-charset=CP932; clang
has no such option, so the fuzz build compiles these copies instead. The bytes come from the same
iconv conversion (glibc's CP932) that g++ uses. Comments keep their UTF-8. Refused, loudly:
non-ASCII text outside literals and comments and in prefixed (L, u, U, u8) literals, whose bytes
do not follow -fexec-charset alone, and raw literals, which this scanner does not read.

usage: cp932_literals.py SOURCE_ROOT MIRROR_ROOT RELATIVE_PATH...
A copy is written only when its text changed, so unchanged sources are not recompiled; copies
of files not named are removed.
"""
import os
import subprocess
import sys


class SourceError(Exception):
    pass


def split_literals(text, path):
    """Yields (is_literal_text, piece): the text inside literal quotes separately from the rest."""
    i, n, start = 0, len(text), 0
    while i < n:
        c = text[i]
        if text.startswith('//', i):
            end = text.find('\n', i)
            i = n if end < 0 else end
        elif text.startswith('/*', i):
            end = text.find('*/', i + 2)
            if end < 0:
                raise SourceError(f'{path}: unterminated comment')
            i = end + 2
        elif c in '"\'':
            j = i
            while j > 0 and (text[j - 1].isalnum() or text[j - 1] in '_.'):
                j -= 1
            token = text[j:i]
            if c == "'" and token[:1].isdigit():
                i += 1  # a digit separator
                continue
            if token.endswith('R'):
                raise SourceError(f'{path}: raw literals are not handled')
            end = i + 1
            while end < n and text[end] != c:
                if text[end] == '\n':
                    raise SourceError(f'{path}: unterminated literal')
                end += 2 if text[end] == '\\' else 1
            body = text[i + 1:end]
            if token in ('L', 'u', 'U', 'u8'):
                if not body.isascii():
                    raise SourceError(f'{path}: non-ASCII text in a {token}-prefixed literal')
            elif not body.isascii():
                yield False, text[start:i + 1]
                yield True, body
                start = end
            i = end + 1
        elif not c.isascii():
            line = text.count('\n', 0, i) + 1
            raise SourceError(f'{path}:{line}: non-ASCII text outside a literal or comment')
        else:
            i += 1
    yield False, text[start:]


def to_cp932(runs):
    """The code page 932 bytes of each text, converted by iconv in one call."""
    if not runs:
        return {}
    joined = '\n'.join(runs).encode('utf-8')
    done = subprocess.run(['iconv', '-f', 'UTF-8', '-t', 'CP932'], input=joined,
                          capture_output=True)
    if done.returncode != 0:
        raise SourceError('iconv: ' + done.stderr.decode(errors='replace').strip())
    converted = done.stdout.split(b'\n')
    if len(converted) != len(runs):
        raise SourceError('iconv: unexpected output')
    return dict(zip(runs, converted))


def non_ascii_runs(body):
    """Splits a literal's text into runs of ASCII and of non-ASCII characters."""
    runs, current, current_ascii = [], '', None
    for ch in body:
        if current and ch.isascii() != current_ascii:
            runs.append(current)
            current = ''
        current += ch
        current_ascii = ch.isascii()
    if current:
        runs.append(current)
    return runs


def main(argv):
    if len(argv) < 3:
        sys.stderr.write(__doc__)
        return 2
    source_root, mirror_root, relative = argv[0], argv[1], argv[2:]
    pieces = {}
    wanted = set()
    for rel in relative:
        with open(os.path.join(source_root, rel), encoding='utf-8', newline='') as f:
            pieces[rel] = list(split_literals(f.read(), rel))
        for is_literal, piece in pieces[rel]:
            if is_literal:
                wanted.update(run for run in non_ascii_runs(piece) if not run.isascii())
    table = to_cp932(sorted(wanted))
    for rel in relative:
        out = []
        for is_literal, piece in pieces[rel]:
            if not is_literal:
                out.append(piece)
                continue
            for run in non_ascii_runs(piece):
                # Always three octal digits, so a digit after the escape stays a digit.
                out.append(run if run.isascii() else ''.join(f'\\{b:03o}' for b in table[run]))
        text = ''.join(out)
        target = os.path.join(mirror_root, rel)
        try:
            with open(target, encoding='utf-8', newline='') as f:
                if f.read() == text:
                    continue
        except FileNotFoundError:
            os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, 'w', encoding='utf-8', newline='') as f:
            f.write(text)
    # A source that went must not stay includable through its old copy.
    for folder, _, names in os.walk(mirror_root):
        for name in names:
            path = os.path.join(folder, name)
            if os.path.relpath(path, mirror_root) not in pieces:
                os.remove(path)
    return 0


if __name__ == '__main__':
    try:
        sys.exit(main(sys.argv[1:]))
    except SourceError as error:
        sys.stderr.write(f'cp932_literals: {error}\n')
        sys.exit(1)
