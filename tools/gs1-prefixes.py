#!/usr/bin/python3
"""Writes the ranges of GS1's list of prefixes, as jodal/biip keeps it, in the shape of
tests/data/gs1-prefixes.tsv (first prefix, last prefix, GS1's own words), or, given that file,
says whether its first three columns still match them.

biip (https://github.com/jodal/biip, Apache License 2.0) keeps the list that GS1 publishes at
https://www.gs1.org/standards/id-keys/company-prefix as a prefix trie in
src/biip/gs1_prefixes/_prefix_trie.json.lzma; unpack it first:
    git -C BIIP show HEAD:src/biip/gs1_prefixes/_prefix_trie.json.lzma | xz -d > trie.json

usage: gs1-prefixes.py trie.json [gs1-prefixes.tsv]
"""
import json
import sys


def ranges(trie):
    leaves = []

    def walk(node, prefix):
        for digit, child in sorted(node.items()):
            if isinstance(child, dict):
                walk(child, prefix + digit)
            else:
                leaves.append((prefix + digit, child[1]))

    walk(trie, "")
    rows = []
    for prefix, usage in leaves:
        last = rows[-1] if rows else None
        if last and last[2] == usage and len(prefix) == len(last[1]) and int(prefix) == int(last[1]) + 1:
            last[1] = prefix
        else:
            rows.append([prefix, prefix, usage])
    return rows


def main():
    with open(sys.argv[1], encoding="utf-8") as f:
        derived = ranges(json.load(f))
    if len(sys.argv) == 2:
        for row in derived:
            print("\t".join(row))
        return 0
    with open(sys.argv[2], encoding="utf-8") as f:
        kept = [line.rstrip("\n").split("\t")[:3] for line in f if line.strip() and not line.startswith("#")]
    if kept == derived:
        print(f"{len(kept)} ranges, the same as the list's")
        return 0
    for a, b in zip(kept, derived):
        if a != b:
            print(f"kept {a}, list {b}")
    if len(kept) != len(derived):
        print(f"{len(kept)} ranges kept, {len(derived)} in the list")
    return 1


if __name__ == "__main__":
    sys.exit(main())
