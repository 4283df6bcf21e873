#!/usr/bin/env python3
"""Writes the large-file corpus: about ten 64 MB files of source text, RTF and
UTF-16LE text, so that the matching cost shows next to the cost of opening files.
usage: make-large-corpus.py FOLDER [MEGABYTES-PER-FILE]"""
import os
import sys

folder = sys.argv[1]
size = int(sys.argv[2] if len(sys.argv) > 2 else 64) << 20
os.makedirs(folder, exist_ok=True)

sample = b""
for name in ("stdio.h", "stdlib.h", "string.h", "unistd.h", "fcntl.h"):
    try:
        with open(os.path.join("/usr/include", name), "rb") as f:
            sample += f.read()
    except OSError:
        pass
if not sample:
    sample = b"static int count(const struct list *head)\n{\n    int n = 0;\n    return n;\n}\n"


def source(n):
    return (sample * (n // len(sample) + 1))[:n]


def rtf(n):
    head = (b"{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}"
            b"{\\colortbl;\\red255\\green0\\blue0;}\\f0\\fs24\n")
    para = (b"\\pard\\li720\\fi-360 The quarterly report lists {\\b every} figure in "
            b"{\\i plain} words, caf\\'e9 and \\rdblquote quotes\\rdblquote .\\tab Done\\par\n")
    body = head + para * ((n - len(head)) // len(para))
    return body + b"}"


def utf16(n):
    return b"\xff\xfe" + source(n // 2 - 1).replace(b"\0", b" ").decode("latin-1").encode("utf-16-le")


makers = [("source", source, "c"), ("document", rtf, "rtf"), ("wide", utf16, "txt")]
for i in range(10):
    stem, make, ext = makers[i % 3]
    path = os.path.join(folder, "%s%d.%s" % (stem, i, ext))
    if not os.path.exists(path) or os.path.getsize(path) < size // 2:
        with open(path, "wb") as f:
            f.write(make(size))
print(folder)
