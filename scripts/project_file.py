"""Writes packwren project files (.pwp) for files on this machine, to be built under Wine.

A project file is a settings document in code page 932 with CR LF line ends: the identity, the
project's PROPERTY switches, its name, and the entry tree in FILELIST as TAB-separated keyless
lines (password flag, password, level, name or a folder marker, source path).
"""

import os


def windows_path(path):
    """The path under which Wine's drive Z: shows a file of this machine."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Folder:
    def __init__(self, name, level=-1, password=None, children=None):
        self.name, self.level, self.password = name, level, password
        self.children = children if children is not None else []


class File:
    def __init__(self, name, source, level=-1, password=None):
        """`source` is a path on this machine, or a Windows path when it starts with a drive."""
        self.name, self.level, self.password = name, level, password
        self.source = source if source[1:2] == ":" or source == "" else windows_path(source)


def _fields(entry):
    # An own password is flagged "1"; an empty one switches encryption off below.
    if entry.password is None:
        return ["0", "", str(entry.level)]
    return ["1", entry.password, str(entry.level)]


def _filelist(entries, lines):
    for entry in entries:
        if isinstance(entry, Folder):
            lines.append("\t".join(_fields(entry) + [">", entry.name]))
            _filelist(entry.children, lines)
        else:
            lines.append("\t".join(_fields(entry) + [entry.name, entry.source]))
    lines.append("\t\t\t<")


def project_text(name, entries, level=None, password=None, options=None):
    """The document as text. `level` and `password` switch the project's own settings on;
    `options` adds keys (NAMECODE, ENCRYPTION, VERIFY) to its PROPERTY section."""
    lines = [
        "[INFOMATION]",
        "APPLICATIONNAME=packwrenプロジェクト",
        "APPLICATIONVERSION=1.0.0",
        "[PROPERTY]",
        "COMPLEVELENABLE=%d" % (level is not None),
        "COMPRESSLEVEL=%d" % (level if level is not None else -1),
        "PASSWORDENABLE=%d" % (password is not None),
        "PASSWORD=%s" % (password or ""),
    ] + ["%s=%s" % item for item in (options or {}).items()] + [
        "[PROJECT]",
        "PROJECTNAME=%s" % name,
        "[FILELIST]",
    ]
    _filelist(entries, lines)
    return "".join(line + "\r\n" for line in lines)


def write_project(path, name, entries, level=None, password=None, options=None):
    with open(path, "wb") as out:
        out.write(project_text(name, entries, level, password, options).encode("cp932"))


def write_settings(path, level=None, password=None, options=None):
    """An application settings file (packwren.ini) with default level and password."""
    lines = ["[INFOMATION]", "APPLICATIONNAME=packwren設定ファイル", "APPLICATIONVERSION=1.0.0",
             "[PROPERTY]"]
    if level is not None:
        lines += ["COMPLEVELENABLE=1", "COMPRESSLEVEL=%d" % level]
    if password is not None:
        lines += ["PASSWORDENABLE=1", "PASSWORD=%s" % password]
    lines += ["%s=%s" % item for item in (options or {}).items()]
    with open(path, "wb") as out:
        out.write("".join(line + "\r\n" for line in lines).encode("cp932"))
