#!/usr/bin/env python3
"""Writes the sample project for this checkout: <output dir>/sample.pwp, referring to the files of
samples/files by their absolute paths as Wine sees them (drive Z:).

    sample_project.py <output dir>
"""

import os
import sys

import project_file as pwp

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FILES = os.path.join(ROOT, "samples", "files")


def source(*parts):
    return os.path.join(FILES, *parts)


def main():
    output = sys.argv[1]
    os.makedirs(output, exist_ok=True)
    entries = [
        pwp.File("readme.txt", source("readme.txt")),
        pwp.Folder("docs", level=9, children=[
            pwp.File("manual.txt", source("docs", "manual.txt")),
            pwp.File("日本語.txt", source("docs", "日本語.txt")),
        ]),
        pwp.Folder("src", children=[
            pwp.File("main.c", source("src", "main.c")),
            pwp.File("version.h", source("src", "version.h"), level=0),
        ]),
    ]
    path = os.path.join(output, "sample.pwp")
    pwp.write_project(path, "sample", entries, level=6)
    print(path)


if __name__ == "__main__":
    main()
