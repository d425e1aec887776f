#!/usr/bin/env python3
"""Non-blank, non-comment lines of code per top folder, and the tests' share of the product's.

    tools/count-lines.py [ROOT]

C and C++ (// and /* */ comments), CMake, shell and Python (# comments) are counted; a file git
does not track is left out."""
import re, subprocess, sys, os

root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..')
files = subprocess.run(['git', '-C', root, 'ls-files'], capture_output=True, text=True, check=True).stdout.split()

def lines(path):
    try:
        text = open(os.path.join(root, path), encoding='utf-8', errors='replace').read()
    except OSError:
        return 0
    if re.search(r'\.(cpp|h|c|hpp)$', path):
        text = re.sub(r'/\*.*?\*/', '', text, flags=re.S)
        comment = re.compile(r'^\s*//')
    elif re.search(r'(\.(sh|py|cmake)|CMakeLists\.txt|/run)$', path):
        comment = re.compile(r'^\s*#')
    else:
        return 0
    return sum(1 for l in text.splitlines() if l.strip() and not comment.match(l))

count = {}
for f in files:
    top = f.split('/')[0]
    if top in ('src', 'tests', 'bench', 'fuzz', 'tools'):
        count[top] = count.get(top, 0) + lines(f)
for top in sorted(count):
    print(f'{top:8} {count[top]:6}')
print(f'tests / src = {count.get("tests", 0) / max(1, count.get("src", 1)):.2f}')
