#!/usr/bin/env python3
"""Checks that every relative link and image of the given Markdown files
resolves: the file exists, and a #fragment names one of its headings (as
GitHub makes their anchors). Prints each broken link; exits 1 if any."""
import os
import re
import sys

LINK = re.compile(r'!?\[[^\]]*\]\(([^)\s]+)\)')
HEADING = re.compile(r'^#{1,6}\s+(.*?)\s*#*\s*$')
FENCE = re.compile(r'^\s*(```|~~~)')


def text_lines(path):
    """The lines outside fenced code blocks."""
    inside = False
    with open(path, encoding='utf-8') as source:
        for number, line in enumerate(source, 1):
            if FENCE.match(line):
                inside = not inside
                continue
            if not inside:
                yield number, line


def anchor(heading):
    slug = heading.strip().lower()
    slug = re.sub(r'[^\w\- ]', '', slug)
    return slug.replace(' ', '-')


def anchors(path):
    found = set()
    for _, line in text_lines(path):
        match = HEADING.match(line)
        if match:
            base = anchor(match.group(1))
            name, count = base, 1
            while name in found:
                name = f'{base}-{count}'
                count += 1
            found.add(name)
    return found


def broken_links(path):
    folder = os.path.dirname(path)
    for number, line in text_lines(path):
        for target in LINK.findall(re.sub(r'`[^`]*`', '', line)):
            if re.match(r'^[a-z]+:', target):
                continue  # an address outside the repository
            file_part, _, fragment = target.partition('#')
            resolved = os.path.normpath(os.path.join(folder, file_part)) if file_part else path
            if not os.path.exists(resolved):
                yield number, target, 'no such file'
            elif fragment and resolved.endswith('.md') and fragment not in anchors(resolved):
                yield number, target, 'no such heading'


def main(paths):
    failures = 0
    links = 0
    for path in paths:
        for number, target, reason in broken_links(path):
            print(f'{path}:{number}: {target}: {reason}')
            failures += 1
        links += sum(len(LINK.findall(line)) for _, line in text_lines(path))
    print(f'{len(paths)} files, {links} links, {failures} broken')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
