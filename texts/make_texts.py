#!/usr/bin/env python3
# Turns texts.txt (UTF-8, one text a line) into the header of Shift-JIS byte strings that
# texts/texts.h includes, and a table of every text's name, bytes and UTF-8 for the tests.
# The conversion is glibc's iconv command, the converter the program itself uses; a text that
# CP932 cannot hold, or that does not come back unchanged from CP932, stops the build.
#   make_texts.py texts.txt texts_cp932.h texts_table.inc
import os
import re
import subprocess
import sys

LINE = re.compile(r'(k[A-Za-z0-9]+) "(.*)"$')


def fail(source, number, why):
    sys.exit('%s:%d: %s' % (source, number, why))


def iconv(data, source, target):
    # One call for every text: they are joined by newlines, which no text holds.
    done = subprocess.run(['iconv', '-f', source, '-t', target], input=data, capture_output=True)
    if done.returncode != 0:
        return None
    return done.stdout


def parse(source):
    entries = []  # (kind, payload, line number): ('comment', text), ('blank', ''), ('text', (name, utf8))
    names = set()
    with open(source, encoding='utf-8') as f:
        for number, line in enumerate(f.read().split('\n'), 1):
            if line.startswith('#'):
                entries.append(('comment', line[1:].strip(), number))
            elif not line.strip():
                entries.append(('blank', '', number))
            else:
                match = LINE.match(line)
                if not match:
                    fail(source, number, 'expected: kName "text"')
                name, text = match.groups()
                if name in names:
                    fail(source, number, name + ' is named twice')
                if any(ord(c) < 0x20 for c in text) or re.search(r'\\(?!n)', text):
                    fail(source, number, 'a text holds no control character, and no backslash but in \\n')
                # \n is the one escape: a line break inside a text (a box of several lines).
                text = text.replace('\\n', '\n')
                names.add(name)
                entries.append(('text', (name, text), number))
    while entries and entries[-1][0] == 'blank':
        entries.pop()
    return entries


def convert(source, texts):
    # texts: (name, utf8, line number). Returns each text's CP932 bytes. A text of several lines
    # is converted a line at a time, as its own texts, and joined again.
    lines = [(name, line, number) for name, text, number in texts for line in text.split('\n')]
    parts = convert_lines(source, lines)
    joined = []
    for _, text, _ in texts:
        count = text.count('\n') + 1
        joined.append(b'\n'.join(parts[:count]))
        parts = parts[count:]
    return joined


def convert_lines(source, texts):
    joined = '\n'.join(t[1] for t in texts).encode('utf-8')
    sjis = iconv(joined, 'UTF-8', 'CP932')
    if sjis is None:
        # Find the text at fault, one at a time, to name it.
        for name, text, number in texts:
            if iconv(text.encode('utf-8'), 'UTF-8', 'CP932') is None:
                fail(source, number, name + ' holds a character that CP932 cannot hold')
        fail(source, 0, 'iconv could not convert the texts')
    parts = sjis.split(b'\n')
    if len(parts) != len(texts) or iconv(sjis, 'CP932', 'UTF-8') != joined:
        for (name, text, number), part in zip(texts, parts):
            if iconv(part, 'CP932', 'UTF-8') != text.encode('utf-8'):
                fail(source, number, name + ' does not read back the same from CP932')
        fail(source, 0, 'the texts do not read back the same from CP932')
    return parts


def literal(data):
    # Printable ASCII as it stands, every byte of a Shift-JIS character escaped (its second byte
    # may be ASCII); a literal is split after an escape that a hex digit follows, which the escape
    # would otherwise swallow.
    out = ''
    escaped = False
    trail = False
    for b in data:
        c = chr(b)
        if not trail and 0x20 <= b < 0x7f and c not in '"\\':
            if escaped and c in '0123456789abcdefABCDEF':
                out += '" "'
            out += c
            escaped = False
        else:
            out += '\\x%02x' % b
            escaped = True
            trail = not trail and (0x81 <= b <= 0x9f or 0xe0 <= b <= 0xfc)
            continue
        trail = False
    return '"' + out + '"'


def utf8_literal(text):
    return '"' + text.replace('\\', '\\\\').replace('"', '\\"').replace('\n', '\\n') + '"'


def write_if_changed(path, content):
    # An unchanged header keeps its time, so that nothing that includes it is rebuilt.
    try:
        with open(path, encoding='utf-8') as f:
            if f.read() == content:
                return
    except FileNotFoundError:
        pass
    with open(path + '.tmp', 'w', encoding='utf-8') as f:
        f.write(content)
    os.replace(path + '.tmp', path)


def main():
    source, header, table = sys.argv[1:4]
    entries = parse(source)
    texts = [(p[0], p[1], n) for kind, p, n in entries if kind == 'text']
    sjis = dict(zip((t[0] for t in texts), convert(source, texts)))

    # The file's opening comments, up to the first blank line, describe texts.txt itself.
    while entries and entries[0][0] == 'comment':
        entries.pop(0)
    out = ['#pragma once',
           '// Generated from texts/texts.txt by texts/make_texts.py: edit the texts there.',
           '#include <string_view>', '', 'namespace tolvane {', '']
    for kind, payload, _ in entries:
        if kind == 'comment':
            out.append(('// ' + payload).rstrip())
        elif kind == 'blank':
            if out[-1] != '':
                out.append('')
        else:
            name, text = payload
            out.append('// "%s"' % text.replace('\n', '\\n'))
            out.append('inline constexpr std::string_view %s = %s;' % (name, literal(sjis[name])))
    out += ['', '}  // namespace tolvane', '']
    write_if_changed(header, '\n'.join(out))

    rows = ['// Generated from texts/texts.txt by texts/make_texts.py: each text\'s name, its',
            '// Shift-JIS bytes and its UTF-8 as written there.']
    for name, text, _ in texts:
        rows.append('{"%s", %s, %s},' % (name, name, utf8_literal(text)))
    write_if_changed(table, '\n'.join(rows) + '\n')


if __name__ == '__main__':
    main()
