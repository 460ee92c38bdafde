#pragma once

class BuildReporter;

// One build as the user follows it in the log: the file count, the start, the builder's lines,
// and how it ended with the elapsed seconds. Shared by the progress dialog's worker and the
// unattended batch mode. An abort is not cleared here (see ResetArchiveAbort). True when the
// archive was built.
bool RunArchiveJob(const char* outputPath, BuildReporter* reporter);
