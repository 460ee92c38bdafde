#include "archive/archive_job.h"

#include <ctime>

#include "archive/archive_builder.h"
#include "core/format_text.h"
#include "project/archive_settings.h"

bool RunArchiveJob(const char* outputPath, BuildReporter* reporter)
{
    time_t start = time(nullptr);
    reporter->LogLine("ファイル数計測中\r\n");
    int count = CountArchiveFiles();
    char line[64];
    FormatText(line, sizeof line, "ファイル数:%d\r\n", count);
    reporter->LogLine(line);
    int result = 1;
    if (count > 0) {
        reporter->SetFileCount(count);
        reporter->LogLine("圧縮開始\r\n");
        result = BuildArchive(outputPath, reporter, EffectiveArchiveOptions());
    }
    if (result != 0) {
        reporter->LogLine("処理を中断しました\r\n");
        return false;
    }
    FormatText(line, sizeof line, "処理を完了しました(%dsec.)\r\n",
               static_cast<int>(time(nullptr) - start));
    reporter->LogLine(line);
    return true;
}
