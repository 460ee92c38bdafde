#!/usr/bin/env python3
"""packwren.exe -q under Wine, end to end: a project file and packwren.ini in; exit code, log and
ZIP archive out. The builder's rules are the unit tests' part; this checks that the real program
applies them, with readers nobody here wrote (Info-ZIP unzip, 7-Zip, bsdtar, Python's zipfile).

    batch_build_e2e.py <packwren.exe> [unittest arguments]
"""

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

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "scripts"))
import project_file as pwp  # noqa: E402

PACKWREN = None
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

    def build(self, entries, output="out.zip", timeout=120, **project):
        """Writes the project and builds it; returns (exit code, what it printed)."""
        path = os.path.join(self.dir, "project.pwp")
        pwp.write_project(path, "e2e", entries, **project)
        out = os.path.join(self.dir, output)
        os.makedirs(os.path.dirname(out), exist_ok=True)
        return self.run(pwp.windows_path(path), "-o", pwp.windows_path(out), timeout=timeout)

    def run(self, *arguments, timeout=60):
        """packwren.exe -q, so that a window waiting for anybody fails by the time-out; returns
        (exit code, standard output with CR LF as LF)."""
        run = subprocess.run([WINE_RUN, self.exe, "-q", *arguments], cwd=self.dir, env=ENV,
                             stdout=subprocess.PIPE, timeout=timeout)
        return run.returncode, run.stdout.decode("cp932").replace("\r\n", "\n")


class BatchBuild(unittest.TestCase):
    def test_levels_and_passwords_come_from_the_project_file_and_packwren_ini(self):
        """The builder's rules are unit-tested; here the project file's entries and its PROPERTY
        section and packwren.ini beside the program reach the build, into a Japanese folder."""
        box = Sandbox(self)
        text, big = box.source("text.txt", TEXT), box.source("noise", noise(200000, 7))
        japanese = box.source("データ.txt", "中身です".encode("cp932") * 100)
        pwp.write_settings(os.path.join(box.dir, "packwren.ini"), level=2)
        code, printed = box.build([
            pwp.File("readme.txt", text), pwp.File("store.txt", text, level=0),
            pwp.Folder("nine", level=9, children=[pwp.File("own-1.txt", text, level=1)]),
            pwp.Folder("ソース", password="", children=[pwp.File("表示.txt", japanese)]),
            pwp.File("own.txt", text, password="file-pw"),
            pwp.File("noise.bin", big, level=9),  # last: the longer deflated attempt is cut off
        ], output="出力/書庫.zip", password="project-pw")
        self.assertEqual(code, 0, printed)
        self.assertRegex(printed, "^ファイル数計測中\nファイル数:6\n圧縮開始\n"
                                  "処理を完了しました\\(\\d+sec\\.\\)\n$")
        # Name, source, level (None: stored), password; packwren.ini's level where none is set.
        expected = [("readme.txt", text, 2, "project-pw"), ("store.txt", text, None, "project-pw"),
                    ("nine/own-1.txt", text, 1, "project-pw"), ("ソース/表示.txt", japanese, 2, None),
                    ("own.txt", text, 2, "file-pw"), ("noise.bin", big, None, "project-pw")]
        path = os.path.join(box.dir, "出力", "書庫.zip")
        with open(path, "rb") as f:
            data = f.read()
        # Nothing after the end record: a stored rewrite must not leave a longer attempt behind.
        self.assertEqual((data[-22:-18], data[-2:]), (b"PK\x05\x06", b"\x00\x00"))
        with zipfile.ZipFile(path) as z:
            infos = z.infolist()
            self.assertEqual([i.filename.encode("cp437").decode("cp932") for i in infos],
                             [e[0] for e in expected])
            for info, (name, source, level, password) in zip(infos, expected):
                with open(source, "rb") as f:
                    self.assertEqual(z.read(info, pwd=password and password.encode()), f.read())
                speed = {1: 6, 2: 4}.get(level, 0)  # the deflate speed bits tell the level
                self.assertEqual((info.compress_type, info.flag_bits, info.date_time),
                                 (0 if level is None else 8, speed | bool(password),
                                  (2020, 5, 6, 7, 8, 8)), name)

    def test_runs_that_fail_say_why_and_keep_the_old_archive(self):
        box = Sandbox(self)
        text = box.source("text.txt", TEXT)
        missing = pwp.windows_path(os.path.join(box.dir, "src", "missing.txt"))
        with open(box.out, "wb") as f:
            f.write(b"the previous archive")
        self.assertEqual(box.build([
            pwp.Folder("F", children=[
                pwp.File("good1.txt", text), pwp.File("missing.txt", missing),
                pwp.Folder("sub", children=[pwp.File("good2.txt", text)])]),
            pwp.File("never.txt", text),
        ]), (1, "ファイル数計測中\nファイル数:4\n圧縮開始\n"
                "error : 見つかりません : F/missing.txt(%s)\n前の書庫はそのまま残しました : %s\n"
                "処理を中断しました\n" % (missing, pwp.windows_path(box.out))))
        with open(box.out, "rb") as f:
            self.assertEqual(f.read(), b"the previous archive")
        self.assertEqual(sorted(os.listdir(box.dir)),
                         ["out.zip", "packwren.exe", "project.pwp", "src"])  # no temporary file
        long_path = "C:\\" + "a" * 300 + ".pwp"
        for arguments, message in [
                (["missing.pwp", "-o", "out.zip"], "プロジェクトの読込に失敗しました。"),
                (["missing.pwp", "-o", long_path], "パスが長すぎます。(%s)\n" % long_path),
                (["missing.pwp"], "-q にはプロジェクトファイルと -o の出力ファイルが必要です。\n")]:
            code, printed = box.run(*arguments)
            self.assertEqual((code, message in printed), (1, True), arguments[-1][:20])

    def test_archive_options_from_the_project_or_packwren_ini_for_todays_readers(self):
        """Unicode names (the 0x7075 field, or UTF-8 with bit 11), AES-256 and the read-back;
        each build replaces the archive of the one before."""
        box = Sandbox(self)
        src = box.source("データ.txt", TEXT[:20000])
        password = "パスワード"  # typed in code page 932; AES takes it in UTF-8
        entries = [pwp.Folder("日本語", children=[pwp.File("データ.txt", src)]),
                   pwp.File("秘密.txt", src, password=password)]
        names = ["日本語/データ.txt", "秘密.txt"]
        for where, options in [("project", {"NAMECODE": 1, "ENCRYPTION": 1, "VERIFY": 1}),
                               ("packwren.ini", {"NAMECODE": 2, "ENCRYPTION": 1}),
                               ("project", {"NAMECODE": 2, "VERIFY": 1})]:
            with self.subTest(where=where, options=options):
                in_ini = where == "packwren.ini"
                pwp.write_settings(os.path.join(box.dir, "packwren.ini"),
                                   options=options if in_ini else None)
                code, printed = box.build(entries, options=None if in_ini else options)
                self.assertEqual(code, 0, printed)
                self.assertEqual("検査しました : 2 ファイル\n" in printed, "VERIFY" in options)
                # bsdtar decrypts both ciphers: the traditional one with the password's code
                # page 932 bytes, AES with its UTF-8; unzip shows the Unicode names.
                aes = options.get("ENCRYPTION") == 1
                passphrase = password if aes else password.encode("cp932")
                for name in names:
                    got = subprocess.run(["bsdtar", "-xOf", box.out, "--passphrase", passphrase,
                                          name], capture_output=True)
                    self.assertEqual((got.returncode, got.stdout), (0, TEXT[:20000]), name)
                listing = subprocess.run(["7zz", "l", "-slt", box.out], capture_output=True).stdout
                self.assertIn(b"Method = AES-256" if aes else b"Method = ZipCrypto", listing)
                self.assertEqual(subprocess.run(["unzip", "-Z1", box.out], capture_output=True,
                                                env=dict(ENV, LC_ALL="C.UTF-8")).stdout.decode(),
                                 "".join(n + "\n" for n in names))

    def test_a_sparse_file_past_4_gib_at_level_1_takes_zip64_where_needed_only(self):
        box = Sandbox(self)
        size = 4 * GIB + GIB // 2
        # Noise at the start, across the 4 GiB mark and at the end; holes in between.
        big = box.source("disk.img", b"", [0, 4 * GIB - 32768, size - 65536], size)
        text = box.source("after.txt", TEXT)
        code, printed = box.build([pwp.File("disk.img", big), pwp.File("after.txt", text)],
                                  level=1, timeout=900)
        self.assertEqual(code, 0, printed)
        for reader in (["unzip", "-tqq"], ["7zz", "t"]):  # both check the data against the CRC
            self.assertEqual(subprocess.run(reader + [box.out], capture_output=True).returncode, 0)
        with zipfile.ZipFile(box.out) as z:
            info, after = z.infolist()
            self.assertEqual((info.file_size, info.flag_bits, info.extract_version), (size, 6, 45))
            # Only the size that does not fit stands in the central record's ZIP64 field.
            self.assertEqual(info.extra, struct.pack("<HHQ", 1, 8, size))
            self.assertEqual((after.extract_version, after.extra, z.read(after)), (20, b"", TEXT))


if __name__ == "__main__":
    PACKWREN = os.path.abspath(sys.argv[1])
    unittest.main(argv=[sys.argv[0]] + sys.argv[2:])
