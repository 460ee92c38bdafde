#pragma once
#include <zlib.h>

#include <cstdint>

#include "project/archive_options.h"
#include "archive/zip_output.h"

// A ZIP writer with minizip's names, argument order and result codes for writing a new archive
// (1.01's calls, and 1.1's zipOpenNewFileInZip3_64 for ZIP64), plus zipLastFileGain and
// zipRemoveLastFile, and zipSetArchiveOptions for Unicode names and AES.
//
// What it writes: per entry a local header and the data (no data descriptor; CRC-32 and sizes are
// put into the local header once the data is done), then the central directory and the end
// record. Version made by 0 (MS-DOS; NTFS for UTF-8 names), version needed 20 (45 where ZIP64 is used, 51 for AES).
// Names, extra fields and comments are stored as the given bytes unless zipSetArchiveOptions says
// otherwise. General-purpose flags: bit 0 when encrypted; from the level, bit 1 for 8 or 9, bit 2
// for 2, bits 1 and 2 for 1; bit 11 for UTF-8 names.
//
// ZIP64 (archive/zip_layout.h has the rules) is used only where the classic layout cannot hold a
// value, so an archive below 4 GiB with fewer than 65,535 entries keeps it throughout. Since the
// sizes go into the local header after the data, whether that header carries the ZIP64 field is
// decided when the entry is opened (zipEntryNeedsZip64 helps): the data of an entry opened
// without it fails with ZIP_PARAMERROR once either size would reach 0xFFFFFFFF, which breaks the
// entry (below).
//
// An entry whose data could not be written (zipWriteInFileInZip or the compressor's finish
// failed) is "broken": it never appears in the archive. An explicit zipCloseFileInZip drops it and
// repeats the error; opening the next entry or zipClose drops it quietly, as its failure was
// reported already. An entry that is merely left open (its caller stopped giving data) is finished
// with the data it has, as minizip does.
//
// A failing output (write, seek, truncate or close) is reported as ZIP_ERRNO and is final: every
// later call on that archive fails with ZIP_ERRNO, and zipClose does too, after releasing it.

typedef void* zipFile;

#define ZIP_OK (0)
#define ZIP_EOF (0)
#define ZIP_ERRNO (Z_ERRNO)
#define ZIP_PARAMERROR (-102)
#define ZIP_BADZIPFILE (-103)
#define ZIP_INTERNALERROR (-104)
// A name or an AES password that has no UTF-8 spelling (bytes that are no code page 932 text).
#define ZIP_BADTEXT (-112)

// Only a new archive can be written; zipOpen2 refuses every other mode.
#define APPEND_STATUS_CREATE (0)

struct tm_zip {
    unsigned tm_sec;   // 0-59
    unsigned tm_min;   // 0-59
    unsigned tm_hour;  // 0-23
    unsigned tm_mday;  // 1-31
    unsigned tm_mon;   // 0-11
    unsigned tm_year;  // 1980-2107, or years since 1900 (80-207)
};

struct zip_fileinfo {
    tm_zip tmz_date;        // used only when dosDate is 0
    unsigned long dosDate;  // DOS date in the high 16 bits, DOS time in the low 16 bits
    unsigned long internal_fa;
    unsigned long external_fa;
};

// Stands in for minizip's file-function table: how zipOpen2 gets its output. zopen_file returns an
// output allocated with new, or null; the archive owns it from then on and deletes it in zipClose
// (or at once when zipOpen2 fails).
typedef ZipOutput* (*open_output_func)(void* opaque, const char* filename);
struct zlib_filefunc_def {
    open_output_func zopen_file;
    void* opaque;
};

// Fills in the platform's file output (OpenZipFileOutput: Win32 calls in the Windows build, POSIX
// ones natively), which creates the file and replaces an existing one.
void fill_win32_filefunc(zlib_filefunc_def* pzlib_filefunc_def);

// Opens a new archive at `pathname`. `append` must be APPEND_STATUS_CREATE; `globalcomment` is
// not used. A null table means fill_win32_filefunc's. The archive starts where the output stands
// (offsets in it are absolute). Null on failure.
zipFile zipOpen2(const char* pathname, int append, const char** globalcomment,
                 zlib_filefunc_def* pzlib_filefunc_def);

// How the entries opened from now on are written (all options 0 until this is called):
//  - nameCode 0: the name as given, in code page 932, bit 11 clear. 1: the same, plus Info-ZIP's
//    Unicode Path field (0x7075) with the name in UTF-8 in both headers. 2: the name in UTF-8 and
//    general-purpose bit 11 in both headers; such entries are made by NTFS rather than MS-DOS
//    (archive/zip_layout.cpp says why).
//  - encryption 1, for an entry with a password: AES-256 as WinZip's AE-2 lays it out (method 99,
//    the 0x9901 field with the real method in both headers, version needed 51, CRC-32 0; the data
//    is a random 16-byte salt, the 2-byte password verifier, the encrypted data and a 10-byte
//    authentication code, all counted in the compressed size). The password is taken in code
//    page 932 and derived from in UTF-8; crcForCrypting is not used.
// These fields follow the ZIP64 field and the caller's extra fields. A name or password that does
// not convert fails the entry with ZIP_BADTEXT and leaves no trace. `verify` is not the writer's.
int zipSetArchiveOptions(zipFile file, const ArchiveOptions* options);

// For the next zipOpenNewFileInZip call only: when it opens an AES entry, that entry takes its
// salt and keys from `keys` (DeriveZipAesKeys, from the same password) instead of drawing a salt
// and deriving them itself, so that the derivation can run on another thread beforehand. Null
// takes back keys given before.
struct ZipAesKeys;
int zipSetNextEntryAesKeys(zipFile file, const ZipAesKeys* keys);

// Starts an entry; an entry still open is closed first (see above for a broken one). `method` is
// 0 (stored) or Z_DEFLATED. With `raw` 0 the writer compresses (`windowBits` negative: raw
// deflate); the compressor is set up before anything is written, so a level, memLevel or strategy
// it rejects returns zlib's code and leaves no trace. With `raw` 1 the data comes already in the
// method's form (compressed elsewhere) and only the level's flags are used; it is still encrypted
// here, and zipCloseFileInZipRaw64 gives its original size and CRC-32. With a non-null `password` the entry is encrypted and
// `crcForCrypting` must be the CRC-32 of the data to come. With a nonzero `zip64` the local
// header carries the ZIP64 field and the sizes have no limit. The name and the comment are at most
// 65,535 bytes each (a null name means "-"), and so are the extra fields together with the ZIP64
// field each may need (20 bytes locally, 28 in the central record).
int zipOpenNewFileInZip3_64(zipFile file, const char* filename, const zip_fileinfo* zipfi,
                            const void* extrafield_local, unsigned size_extrafield_local,
                            const void* extrafield_global, unsigned size_extrafield_global,
                            const char* comment, int method, int level, int raw, int windowBits,
                            int memLevel, int strategy, const char* password,
                            unsigned long crcForCrypting, int zip64);

// zipOpenNewFileInZip3_64 without the local ZIP64 field.
int zipOpenNewFileInZip3(zipFile file, const char* filename, const zip_fileinfo* zipfi,
                         const void* extrafield_local, unsigned size_extrafield_local,
                         const void* extrafield_global, unsigned size_extrafield_global,
                         const char* comment, int method, int level, int raw, int windowBits,
                         int memLevel, int strategy, const char* password,
                         unsigned long crcForCrypting);

// 1 when an entry whose source measures `size` bytes before it is read is to be opened with
// zip64: when its data, with deflate's worst case for Z_DEFLATED (zlib's deflateBound), the
// encryption header and a margin for a source that grows while it is read, could reach 4 GiB.
int zipEntryNeedsZip64(uint64_t size, int method, int encrypted);

int zipWriteInFileInZip(zipFile file, const void* buf, unsigned len);

// Finishes an entry opened with `raw`: its data had `uncompressed_size` bytes with CRC-32
// `crc32` before compression. Without the local ZIP64 field a size past 4 GiB breaks the entry
// (ZIP_PARAMERROR). zipCloseFileInZip on a raw entry writes 0 for both, as minizip does.
int zipCloseFileInZipRaw64(zipFile file, uint64_t uncompressed_size, unsigned long crc32);

// Finishes the open entry: flushes the compressor and writes CRC-32 and sizes into its local
// header. ZIP_PARAMERROR when no entry is open.
int zipCloseFileInZip(zipFile file);

// Closes an open entry, writes the central directory, the end record and `global_comment` (null
// for none), cuts the file off after them and releases the output. The handle is gone afterwards
// whatever the result. ZIP_ERRNO: the output failed and the file is no complete archive; another
// nonzero code: the entry left open or the comment could not be written, the archive is complete
// without it.
int zipClose(zipFile file, const char* global_comment);

// For the entry closed last: bytes given to the compressor minus compressed bytes produced (the
// encryption header is not counted), clamped to the int32 range. 0 for a stored entry, before the
// first close, after zipRemoveLastFile and for a null handle.
int32_t zipLastFileGain(zipFile file);

// Forgets the entry written last: the open one if there is one (whether or not its data is
// complete; its compressor state is discarded), otherwise the entry closed last. The write position
// goes back to that entry's local header, its central-directory record is dropped and the count
// decreases by one; the next entry or the central directory is written over it, and zipClose cuts
// off what is left beyond. 0 on success, -1 when the output could not seek back (the archive is
// then failed), ZIP_PARAMERROR for a null handle or an archive without entries.
int zipRemoveLastFile(zipFile file);
