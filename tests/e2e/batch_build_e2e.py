#!/usr/bin/env python3
"""packwren.exe in batch mode under Wine, end to end: project file in, ZIP archive out.

Every archive is checked by readers nobody here wrote: Info-ZIP unzip -t, 7-Zip (7zz t) and
Python's zipfile, whose extracted bytes are compared with the source files.

    batch_build_e2e.py <packwren.exe> <job_watch.exe> [unittest arguments]
"""

import collections
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "scripts"))
import project_file as pwp  # noqa: E402

PACKWREN = JOB_WATCH = None
WINE_RUN = os.path.join(ROOT, "scripts", "wine-run.sh")
# Wine and Python must agree on local time for the DOS times to be compared.
ENV = dict(os.environ, TZ="UTC")
os.environ["TZ"] = "UTC"
time.tzset()

GIB = 1 << 30
MTIME = time.mktime((2020, 5, 6, 7, 8, 9, 0, 0, -1))  # an odd second: DOS times count in twos
TEXT = b"".join(b"line %d of some compressible text\r\n" % (i % 97) for i in range(3000))


def noise(size, seed):
    return random.Random(seed).randbytes(size)


# What one entry must look like. `level` None: stored.
Expected = collections.namedtuple("Expected", "name source level password attributes",
                                  defaults=(None, 0x20))


class Sandbox:
    """A temporary directory with a private copy of packwren.exe (it reads packwren.ini beside
    itself) and the sources of one project."""

    def __init__(self, test):
        self.dir = tempfile.mkdtemp(prefix="packwren-e2e-")
        test.addCleanup(shutil.rmtree, self.dir, True)
        self.exe = os.path.join(self.dir, "packwren.exe")
        self.out = os.path.join(self.dir, "out.zip")
        shutil.copy(PACKWREN, self.exe)

    def source(self, name, data, marks=(), size=None):
        """A source file; with `size`, sparse: holes, and 64 KiB of noise at each of `marks`."""
        path = os.path.join(self.dir, "src", name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as out:
            out.write(data)
            for at in marks:
                out.seek(at)
                out.write(noise(65536, at // 65536 + 1))
            if size is not None:
                out.truncate(size)
        os.utime(path, (MTIME, MTIME))
        return path

    def build(self, entries, output="out.zip", level=None, password=None, options=None,
              dialog=False, timeout=120):
        """The batch build; without `dialog` run with -q, so that a window waiting for anybody
        fails by the time-out. Returns (exit code, what it printed, or the dialog's log)."""
        project = os.path.join(self.dir, "project.pwp")
        pwp.write_project(project, "e2e", entries, level, password, options)
        out = os.path.join(self.dir, output)
        os.makedirs(os.path.dirname(out), exist_ok=True)
        arguments = [pwp.windows_path(project), "-o", pwp.windows_path(out)]
        if not dialog:
            return self.run_quiet(*arguments, timeout=timeout)
        log_path = os.path.join(self.dir, "log.txt")
        watch = subprocess.Popen([WINE_RUN, JOB_WATCH, pwp.windows_path(log_path), "120000"],
                                 cwd=self.dir, env=ENV)
        run = subprocess.run([WINE_RUN, self.exe] + arguments, cwd=self.dir, env=ENV,
                             timeout=timeout)
        if watch.wait(timeout=300) != 0:
            raise AssertionError("no dialog waited to be closed (job_watch %d)" % watch.returncode)
        with open(log_path, "rb") as f:
            return run.returncode, f.read().decode("cp932")

    def run_quiet(self, *arguments, timeout=60):
        """packwren.exe -q; returns (exit code, standard output with CR LF as LF)."""
        run = subprocess.run([WINE_RUN, self.exe, "-q", *arguments], cwd=self.dir, env=ENV,
                             stdout=subprocess.PIPE, timeout=timeout)
        return run.returncode, run.stdout.decode("cp932").replace("\r\n", "\n")


class BatchBuild(unittest.TestCase):
    def check_archive(self, path, expected):
        """Readers accept the archive; its entries are exactly `expected`, in order, with the
        sources' bytes, methods, flags, times and attributes."""
        with open(path, "rb") as f:
            data = f.read()
        # Nothing after the end record: a stored rewrite must not leave a longer attempt behind.
        self.assertEqual((data[-22:-18], data[-2:]), (b"PK\x05\x06", b"\x00\x00"))
        self.run_readers(path, expected)
        with zipfile.ZipFile(path) as z:
            infos = z.infolist()
            self.assertEqual([i.filename.encode("cp437").decode("cp932") for i in infos],
                             [e.name for e in expected])
            for info, e in zip(infos, expected):
                with open(e.source, "rb") as f:
                    source = f.read()
                pwd = e.password.encode("cp932") if e.password else None
                self.assertEqual(z.read(info, pwd=pwd), source, e.name)
                encrypted = 1 if e.password else 0
                if e.level is None:
                    self.assertEqual((info.compress_type, info.flag_bits), (0, encrypted), e.name)
                    self.assertEqual(info.compress_size, len(source) + 12 * encrypted, e.name)
                else:
                    flags = {1: 6, 2: 4, 8: 2, 9: 2}.get(e.level, 0)  # the deflate speed bits
                    self.assertEqual((info.compress_type, info.flag_bits), (8, flags | encrypted))
                    # The same bytes zlib makes at that level.
                    deflate = zlib.compressobj(e.level, zlib.DEFLATED, -15)
                    size = len(deflate.compress(source) + deflate.flush()) + 12 * encrypted
                    self.assertEqual(info.compress_size, size, e.name)
                self.assertEqual((info.external_attr, info.date_time, info.create_system),
                                 (e.attributes, (2020, 5, 6, 7, 8, 8), 0), e.name)

    def run_readers(self, path, expected):
        """unzip -t and 7-Zip test the archive, once per password (naming the entries when
        there is more than one)."""
        groups = {}
        for e in expected:
            groups.setdefault(e.password or "", []).append(e.name)
        for password, names in groups.items():
            members = [] if len(groups) == 1 else [n.encode("cp932") for n in names]
            for reader in (["unzip", "-tqq"] + (["-P", password] if password else []),
                           ["7zz", "t"] + (["-p" + password] if password else [])):
                run = subprocess.run(reader + [path] + members, capture_output=True)
                self.assertEqual(run.returncode, 0, reader)

    def test_tree_of_folders_levels_passwords_names_times_and_attributes(self):
        box = Sandbox(self)
        text, empty = box.source("text.txt", TEXT), box.source("empty", b"")
        big = box.source("noise", noise(200000, 7))
        japanese = box.source("データ.txt", "中身です".encode("cp932") * 100)
        read_only = box.source("read-only.txt", TEXT[:5000])
        os.chmod(read_only, 0o444)
        pwp.write_settings(os.path.join(box.dir, "packwren.ini"), level=2)
        code, printed = box.build([
            pwp.File("readme.txt", text),
            pwp.Folder("a", children=[pwp.Folder("b", children=[pwp.File("c.txt", text)])]),
            pwp.Folder("empty-folder", children=[pwp.Folder("emptier")]),
            pwp.File("empty.dat", empty),
            pwp.File("store.txt", text, level=0),
            pwp.Folder("nine", level=9, children=[pwp.File("inherits.txt", text),
                                                  pwp.File("own-1.txt", text, level=1)]),
            pwp.Folder("ソース", children=[pwp.File("表示.txt", japanese)]),
            pwp.File("read-only.txt", read_only),
            pwp.File("noise.bin", big, level=9),  # last: the longer deflated attempt is cut off
        ], output="出力/書庫.zip")
        self.assertEqual(code, 0, printed)
        self.check_archive(os.path.join(box.dir, "出力", "書庫.zip"), [  # packwren.ini's level
            Expected("readme.txt", text, 2), Expected("a/b/c.txt", text, 2),
            Expected("empty.dat", empty, None), Expected("store.txt", text, None),
            Expected("nine/inherits.txt", text, 9), Expected("nine/own-1.txt", text, 1),
            Expected("ソース/表示.txt", japanese, 2),
            Expected("read-only.txt", read_only, 2, attributes=0x21),
            Expected("noise.bin", big, None)])
        # Passwords of the project, a folder and files, below the project's own level.
        code, printed = box.build([
            pwp.File("top.txt", text),
            pwp.Folder("secret", password="folder-pw", children=[
                pwp.File("inherits.txt", text), pwp.File("noise.bin", big),
                pwp.File("own.txt", text, password="file-pw"),
                pwp.File("plain.txt", text, password=""),
                pwp.Folder("open", password="", children=[pwp.File("below.txt", text)])]),
        ], level=8, password="project-pw")
        self.assertEqual(code, 0, printed)
        self.check_archive(box.out, [
            Expected("top.txt", text, 8, "project-pw"),
            Expected("secret/inherits.txt", text, 8, "folder-pw"),
            Expected("secret/noise.bin", big, None, "folder-pw"),
            Expected("secret/own.txt", text, 8, "file-pw"),
            Expected("secret/plain.txt", text, 8), Expected("secret/open/below.txt", text, 8)])

    def test_missing_source_fails_the_build_after_its_folder(self):
        box = Sandbox(self)
        text = box.source("text.txt", TEXT)
        missing = pwp.windows_path(os.path.join(box.dir, "src", "missing.txt"))
        entries = [
            pwp.Folder("F", children=[
                pwp.File("good1.txt", text), pwp.File("missing.txt", missing),
                pwp.File("good2.txt", text),
                pwp.Folder("sub", children=[pwp.File("good3.txt", text)])]),
            pwp.Folder("after", children=[pwp.File("never.txt", text)]),
            pwp.File("never2.txt", text),
        ]
        with open(box.out, "wb") as f:
            f.write(b"the previous archive")
        expected = ("ファイル数計測中\r\nファイル数:6\r\n圧縮開始\r\n"
                    "error : 見つかりません : F/missing.txt(%s)\r\n"
                    "前の書庫はそのまま残しました : %s\r\n"
                    "処理を中断しました\r\n" % (missing, pwp.windows_path(box.out)))
        self.assertEqual(box.build(entries, dialog=True), (1, expected))
        # Unattended, the same lines come on standard output.
        self.assertEqual(box.build(entries), (1, expected.replace("\r\n", "\n")))
        with open(box.out, "rb") as f:
            self.assertEqual(f.read(), b"the previous archive")
        self.assertEqual(sorted(os.listdir(box.dir)),
                         ["log.txt", "out.zip", "packwren.exe", "project.pwp", "src"])

    def test_quiet_runs_that_cannot_build_say_why(self):
        box = Sandbox(self)
        long_path = "C:\\" + "a" * 300 + ".pwp"
        for arguments, message in [
                (["missing.pwp", "-o", "out.zip"], "プロジェクトの読込に失敗しました。"),
                (["missing.pwp", "-o", long_path], "パスが長すぎます。(%s)\n" % long_path),
                (["missing.pwp"], "-q にはプロジェクトファイルと -o の出力ファイルが必要です。\n")]:
            with self.subTest(arguments=arguments[0][:20]):
                code, printed = box.run_quiet(*arguments)
                self.assertEqual(code, 1)
                self.assertIn(message, printed)
        self.assertFalse(os.path.exists(box.out))

    def test_archive_options_for_todays_readers(self):
        """Unicode names (the 0x7075 field, or UTF-8 with bit 11), AES-256 and the read-back, set
        in the project or in packwren.ini, each read by the readers that support it; each build
        replaces the archive of the one before."""
        box = Sandbox(self)
        src = box.source("データ.txt", TEXT[:20000])
        password = "パスワード"  # typed in code page 932; the readers are given it in UTF-8
        entries = [pwp.Folder("日本語", children=[pwp.File("データ.txt", src)]),
                   pwp.File("秘密.txt", src, password=password)]
        names = ["日本語/データ.txt", "秘密.txt"]
        for where, options in [("project", {"NAMECODE": 1, "ENCRYPTION": 1, "VERIFY": 1}),
                               ("packwren.ini", {"NAMECODE": 2, "ENCRYPTION": 1}),
                               ("project", {"NAMECODE": 2, "VERIFY": 1})]:
            with self.subTest(where=where, options=options):
                pwp.write_settings(os.path.join(box.dir, "packwren.ini"),
                                   options=options if where == "packwren.ini" else None)
                code, printed = box.build(entries, options=options if where == "project" else None)
                self.assertEqual(code, 0, printed)
                self.assertEqual("検査しました : 2 ファイル\n" in printed, "VERIFY" in options)
                aes = options.get("ENCRYPTION") == 1
                listing = subprocess.run(["7zz", "l", "-slt", box.out], capture_output=True).stdout
                self.assertEqual([l[7:] for l in listing.decode().splitlines()
                                  if l.startswith("Path = ") and l[7:] != box.out], names)
                self.assertIn(b"Method = AES-256" if aes else b"Method = ZipCrypto", listing)
                # The traditional cipher takes the password's code page 932 bytes, AES takes UTF-8.
                passphrase = password if aes else password.encode("cp932")
                for name in names:
                    got = subprocess.run(["bsdtar", "-xOf", box.out, "--passphrase", passphrase,
                                          name], capture_output=True)
                    self.assertEqual((got.returncode, got.stdout), (0, TEXT[:20000]), name)
                # Info-ZIP unzip shows the Unicode names; it cannot decrypt AES.
                self.assertEqual(subprocess.run(["unzip", "-Z1", box.out], capture_output=True,
                                                env=dict(ENV, LC_ALL="C.UTF-8")).stdout.decode(),
                                 "".join(n + "\n" for n in names))

    # ZIP64 cases. Sparse sources and level 1 keep them within the CI budget: the large file is
    # read and deflated once by the build and once by each reader, and never copied.

    def test_a_file_past_4_gib_at_level_1(self):
        box = Sandbox(self)
        size = 4 * GIB + GIB // 2
        # Noise at the start, across the 4 GiB mark and at the end; holes in between.
        big = box.source("disk.img", b"", [0, 4 * GIB - 32768, size - 65536], size)
        text = box.source("after.txt", TEXT)
        code, printed = box.build([pwp.File("disk.img", big), pwp.File("after.txt", text)],
                                  level=1, timeout=900)
        self.assertEqual(code, 0, printed)
        self.run_readers(box.out, [Expected("disk.img", big, 1), Expected("after.txt", text, 1)])
        with zipfile.ZipFile(box.out) as z:  # the readers checked the data against the CRC-32
            info, after = z.infolist()
            self.assertEqual((info.filename, info.file_size), ("disk.img", size))
            self.assertEqual((info.compress_type, info.flag_bits, info.extract_version), (8, 6, 45))
            # Only the size that does not fit stands in the central record's ZIP64 field.
            self.assertEqual(info.extra, struct.pack("<HHQ", 1, 8, size))
            self.assertEqual((after.extract_version, after.extra, z.read(after)), (20, b"", TEXT))


if __name__ == "__main__":
    PACKWREN, JOB_WATCH = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    unittest.main(argv=[sys.argv[0]] + sys.argv[3:])
