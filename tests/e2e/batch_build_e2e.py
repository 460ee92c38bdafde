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
import unittest
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "scripts"))
import project_file as pwp  # noqa: E402

PACKWREN = None
WINE_RUN = os.path.join(ROOT, "scripts", "wine-run.sh")

GIB = 1 << 30
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
        self.out = os.path.join(self.dir, "出力", "書庫.zip")  # its path in code page 932
        os.mkdir(os.path.dirname(self.out))
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
        return path

    def build(self, entries, timeout=120, **project):
        """Writes the project and builds it into self.out; returns (exit code, what it printed)."""
        path = os.path.join(self.dir, "project.pwp")
        pwp.write_project(path, "e2e", entries, **project)
        return self.run(pwp.windows_path(path), "-o", pwp.windows_path(self.out), timeout=timeout)

    def run(self, *arguments, timeout=60):
        """packwren.exe -q (a window would wait for the time-out); (exit code, output with LF)."""
        run = subprocess.run([WINE_RUN, self.exe, "-q", *arguments], cwd=self.dir,
                             stdout=subprocess.PIPE, timeout=timeout)
        return run.returncode, run.stdout.decode("cp932").replace("\r\n", "\n")


class BatchBuild(unittest.TestCase):
    def test_runs_that_cannot_start_say_why(self):
        """A failed build's log and the old archive are the builder's unit tests' part."""
        box = Sandbox(self)
        for arguments, message in [
                (["missing.pwp", "-o", "out.zip"], "プロジェクトの読込に失敗しました。"),
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
                verified = "検査しました : 2 ファイル\n" if "VERIFY" in options else ""
                self.assertRegex(printed, "^ファイル数計測中\nファイル数:2\n圧縮開始\n%s"
                                          "処理を完了しました\\(\\d+sec\\.\\)\n$" % verified)
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
                                                env=dict(os.environ, LC_ALL="C.UTF-8")).stdout.decode(),
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
