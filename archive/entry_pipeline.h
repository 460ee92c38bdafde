#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "project/archive_options.h"
#include "archive/parallel_deflate.h"
#include "archive/zip_aes.h"
#include "archive/zip_writer.h"
#include "core/file_io.h"

// Result codes of one file beside minizip's and zlib's own, which pass through unchanged.
#define ZIP_ABORTED (-105)         // the abort was seen while the file's data was read
#define ZIP_SOURCENOTFOUND (-106)  // nothing exists at the source path
#define ZIP_SOURCEINUSE (-107)     // it exists but cannot be opened for reading
#define ZIP_BADNAME (-108)         // unsafe or ambiguous as a name in the archive, or too long
// It grew past 4 GiB while it was read, from a size that was written without ZIP64 sizes.
#define ZIP_SOURCEGREW (-111)

// One thing the walk hands over, in its order: a file to write, or a note that only passes
// through in that order (a file already refused, the end of a folder).
struct ArchiveItem {
    bool write = true;     // a file whose data is read, compressed and written
    int code = 0;          // a note's result; a file's is found by the pipeline
    uint64_t folder = 0;   // the walk's serial of the folder it belongs to (or that ends)
    std::string name;      // in the archive
    std::string sourcePath;
    int level = -1;        // 0 stores, 1 to 9, -1 zlib's default
    std::string password;  // empty: not encrypted

    // Filled in while its data is read (on a worker; the hand-over orders it before the writer).
    SourceFileInfo info;
    uint32_t prepassCrc = 0;  // traditional encryption's header needs the CRC before the data
    // AES: the salt is drawn as the item is added, in order; the keys are derived on the worker.
    ZipAesKeys aesKeys;
    bool aesKeysReady = false;
};

// Where each item comes back, on the pipeline owner's thread and in the order of Add: `code` is 0
// when a file's entry is in the archive. False stops the pipeline: nothing after it is written.
class ItemReporter {
public:
    virtual bool ItemDone(const ArchiveItem& item, int code) = 0;

protected:
    ~ItemReporter() = default;
};

// Writes the files of one build into the open archive in the order they are added, while their
// data is read, checksummed and compressed on worker threads (ParallelDeflate). The archive's bytes
// do not depend on the number of threads. An entry that deflate does not shrink is written
// stored instead (a one-block entry at once, a longer one read again). The abort request
// (RequestEntryAbort) ends the entry being waited for with ZIP_ABORTED; one that comes while an
// item is reported stops quietly after it.
class EntryPipeline : private DeflateSink {
public:
    EntryPipeline(zipFile handle, const ArchiveOptions& options, ItemReporter* reporter, int threads);
    ~EntryPipeline();

    // False once the pipeline has stopped (abort, or the reporter said so).
    bool Add(ArchiveItem item);
    // Writes and reports everything added, unless it stopped.
    void Finish();

private:
    bool BeginEntry(const DeflateResult& known) override;
    bool WriteData(const void* data, size_t size) override;
    bool EndEntry(const DeflateResult& result) override;
    bool Report(int code, bool forget = true);
    void Settle();
    void Stopped();

    zipFile handle_;
    ArchiveOptions options_;
    ItemReporter* reporter_;
    std::deque<ArchiveItem> items_;  // added and not yet reported; a deque keeps them in place
    bool opened_ = false;            // the front file's entry is open in the archive
    int entryCode_ = 0;              // what went wrong with it so far
    bool stopped_ = false;
    bool quiet_ = false;  // stopped by the reporter: the next item is not reported
    std::unique_ptr<ParallelDeflate> engine_;
};

// The abort request of the build: set from any thread, seen within one block or chunk of the file
// being read. Cleared once before a job starts.
void RequestEntryAbort();
void ResetEntryAbort();
const std::atomic<int>& EntryAbortFlag();

// Writes one file as the entry `name` (no password when `password` is none or empty), its name
// and password as `options` say (zipSetArchiveOptions), compressed by the writer on this thread.
// Returns 0 or a result code; on failure nothing of the entry remains in the archive.
int AddFileToArchive(zipFile handle, const char* sourcePath, const char* name, int level,
                     const char* password, const ArchiveOptions& options = ArchiveOptions());

// CRC-32 of the rest of an open file, read through `buffer`. 0, -1 on a read error or
// ZIP_ABORTED.
int ComputeFileCrc(FileHandle source, void* buffer, size_t size, unsigned long* crc);
