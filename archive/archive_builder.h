#pragma once
#include <cstddef>

#include "project/archive_options.h"
#include "archive/entry_pipeline.h"

// Turns the project tree into one ZIP archive: one entry per file entry, named by its folders
// joined with "/", at its effective level and password, stored when deflate does not shrink it.
// One build at a time; the abort request may come from any thread.

// Where a build reports: a line for each file that failed, and a step for each file reached.
class BuildReporter {
public:
    virtual void LogLine(const char* line) = 0;
    virtual void Step() = 0;
    // The number of steps to come, once the files are counted.
    virtual void SetFileCount(int count) {}

protected:
    ~BuildReporter() = default;
};

// The number of file entries in the project (folders do not count).
int CountArchiveFiles();

// Builds the archive at `outputPath`. It is written into a new file beside the target, which
// replaces the target only when the whole archive is complete; otherwise that file goes and the
// target stays as it was. 0 when every file entry was written and the archive is in place; 1 when
// the build was aborted, a file failed (the walk then stops after that file's folder), the output
// is the project file or a source of the project, or the archive could not be created or put in
// place (said once, with the output path). A file that failed leaves no entry behind.
// With `options.verify` the finished archive is read back (VerifyArchive) before it may replace
// the target; an archive that fails that check is treated as a failed build.
int BuildArchive(const char* outputPath, BuildReporter* reporter, const ArchiveOptions& options = {});

// Clears an abort request: called once before a job starts, so that an abort asked for at any
// moment after it, while the files are counted too, stops the build.
void ResetArchiveAbort();
// Asks the build under way (or about to start) to stop: before the next entry, or within one
// chunk of the file being read.
void RequestArchiveAbort();

// How many threads read and compress: 0 (the default) one per logical processor, at least two.
// The archive's bytes are the same for every number.
void SetArchiveThreads(int threads);

// Test seam: archives are written through `def` instead of the platform's files; none restores
// them.
void SetArchiveOutputForTesting(const zlib_filefunc_def* def);
// Test seam: called with the finished temporary archive just before it is read back.
void SetBeforeVerifyForTesting(void (*hook)(const char* path));
