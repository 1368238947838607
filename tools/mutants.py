#!/usr/bin/env python3
"""Draws a random sample of single faults over the program's sources for tools/mutate.sh.

Each fault is one small edit at one site: a comparison, logical or arithmetic operator
swapped, a numeric constant nudged, a boolean flipped, a negation dropped. Sites are taken
from code only (comments, string and character literals, preprocessor lines and
static_assert are skipped), so every fault changes what the program does unless it is
equivalent. The sample depends only on the seed and the sources, so a run can be repeated.

Usage: tools/mutants.py SEED COUNT  (prints COUNT faults in the seed's order, one per line,
tab-separated: file, line number, column, old text, new text, what). A fault that does not
compile (a '*' that was a dereference, a '<' of a template) is left out by tools/mutate.sh, which
takes the next one, so ask for more than the sample needs.
"""
import pathlib
import random
import re
import sys

ROOTS = ["lib/src", "app", "app/core", "app/cli"]
SUFFIXES = {".cpp", ".h"}

# Operator swaps: the text found and what it becomes.
SWAPS = {
    "<=": ["<", ">"], ">=": [">", "<"], "<": ["<=", ">"], ">": [">=", "<"],
    "==": ["!="], "!=": ["=="], "&&": ["||"], "||": ["&&"],
    "+": ["-"], "-": ["+"], "*": ["/"], "/": ["*"],
    "true": ["false"], "false": ["true"],
}
TOKEN = re.compile(
    r"(?P<num>(?<![\w.])(?:\d+\.\d*(?:[eE][-+]?\d+)?|\d+[eE][-+]?\d+|\d+)(?![\w.]))"
    r"|(?P<op><=|>=|==|!=|&&|\|\||(?<![-+<>=!&|*/])[<>](?![<>=])|(?<![-+=*/])[-+*/](?![-+=*/>]))"
    r"|(?P<word>\btrue\b|\bfalse\b)"
    r"|(?P<neg>!(?!=))")

# A function parameter declared as an array, `(const double in[3]` or `, T name[2]`, up to
# its bound: the pattern must end at the bound's "]".
ARRAY_PARAMETER = re.compile(
    r"[(,]\s*(?:const\s+)?[A-Za-z_][\w:]*\s*[*&]?\s+[*&]?[A-Za-z_]\w*\s*\[\s*\d+\s*\]$")


def code_only(text):
    """The text with comments and literals blanked, keeping every offset."""
    out = list(text)
    i, n = 0, len(text)
    while i < n:
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
        elif text[i] in "\"'":
            quote, j = text[i], i + 1
            while j < n and text[j] != quote and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            j += 1
        elif text[i] == "R" and text.startswith('R"', i):
            k = text.find("(", i)
            delim = ")" + text[i + 2:k] + '"'
            j = text.find(delim, k)
            j = n if j < 0 else j + len(delim)
        else:
            i += 1
            continue
        for k in range(i, min(j, n)):
            if out[k] != "\n":
                out[k] = " "
        i = j
    return "".join(out)


def sites(path):
    text = path.read_text(encoding="utf-8")
    code = code_only(text)
    for number, line in enumerate(code.split("\n"), start=1):
        stripped = line.strip()
        skip = (stripped.startswith("#") or "static_assert" in line or "include" in line
                or stripped.startswith("template") or "operator" in line)
        if not skip:
            for m in TOKEN.finditer(line):
                kind = m.lastgroup
                old = m.group(kind)
                if kind == "op" and old in "<>" and re.search(r"\w\s*<\s*[\w:]+\s*>", line):
                    continue  # a template argument list, not a comparison
                if kind == "num" and ARRAY_PARAMETER.search(line[:m.end() + 1]):
                    continue  # an array parameter's bound: C++ ignores it
                if kind == "num":
                    value = float(old)
                    if "." in old or "e" in old.lower():
                        news = [repr(value * (1 + 1e-6)) if value else "1e-9"]
                    else:
                        news = [str(int(old) + 1)] + ([str(int(old) - 1)] if int(old) else [])
                elif kind == "neg":
                    news = [""]
                else:
                    news = SWAPS.get(old, [])
                for new in news:
                    yield number, m.start() + 1, old, new, kind


def main():
    seed, count = int(sys.argv[1]), int(sys.argv[2])
    files = sorted({p for root in ROOTS for p in pathlib.Path(root).glob("*")
                    if p.suffix in SUFFIXES and p.is_file()})
    by_kind = {}
    for p in files:
        for s in sites(p):
            by_kind.setdefault(s[4], []).append((str(p), *s))
    # Each kind of fault as likely as the others, so the constants, which outnumber the
    # operators, do not make up most of a sample.
    rng = random.Random(seed)
    kinds = sorted(by_kind)
    drawn = set()
    picks = []
    while len(picks) < count and len(drawn) < sum(map(len, by_kind.values())):
        pool = by_kind[rng.choice(kinds)]
        i = rng.randrange(len(pool))
        if (id(pool), i) not in drawn:
            drawn.add((id(pool), i))
            picks.append(pool[i])
    for file, line, col, old, new, kind in picks:
        what = f"{kind} {old!s} -> {new or '(dropped)'}"
        print("\t".join([file, str(line), str(col), old, new, what]))


if __name__ == "__main__":
    main()
