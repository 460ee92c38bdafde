// The parallel deflate engine against its single-threaded floor: reads every file below a
// directory and raw-deflates it, either with one plain zlib stream per file (the floor, as bench/deflate_floor
// does) or with the engine, whose output is counted and dropped. Nothing is written.
//   parallel_deflate_bench <directory> floor <level>
//   parallel_deflate_bench <directory> engine <level> <threads> [<block size>]
// <threads> 0 takes the engine's default. Prints one line: mode, threads, block size, files, bytes in, bytes
// out, seconds, the process's peak memory in MiB and its processor seconds.
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "archive/parallel_deflate.h"
#include "core/file_io.h"
#include "core/paths.h"

// The process's peak memory, and the processor time it took on all its threads: on a machine
// that others use too, the time shows how much of the work could run side by side.
#ifdef _WIN32
#include <windows.h>
#include <psapi.h>
double PeakMiB()
{
    PROCESS_MEMORY_COUNTERS counters{};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakWorkingSetSize / 1048576.0;
}
double CpuSeconds()
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto seconds = [](const FILETIME& t) {
        return (static_cast<unsigned long long>(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}
#else
#include <sys/resource.h>
// VmHWM rather than ru_maxrss, which a process keeps from the one that started it.
double PeakMiB()
{
    double peak = 0;
    if (FILE* status = fopen("/proc/self/status", "r")) {
        char line[256];
        while (fgets(line, sizeof line, status) != nullptr) {
            if (strncmp(line, "VmHWM:", 6) == 0)
                peak = atof(line + 6) / 1024.0;
        }
        fclose(status);
    }
    return peak;
}
double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}
#endif

namespace {

struct Totals {
    unsigned long long in = 0, out = 0;
    int failed = 0;
};

// Opened by the worker that first reads it, closed when the engine is done with it.
class FileSource : public DeflateSource {
public:
    explicit FileSource(const std::string& path) : path_(path) {}
    ~FileSource() override
    {
        if (file_ != kInvalidFile)
            CloseFile(file_);
    }
    bool Read(void* buffer, size_t count, size_t* done) override
    {
        if (file_ == kInvalidFile)
            file_ = OpenSourceFile(path_.c_str());
        return file_ != kInvalidFile && ReadChunk(file_, buffer, count, done);
    }

private:
    std::string path_;
    FileHandle file_ = kInvalidFile;
};

struct CountingSink : DeflateSink {
    bool BeginEntry(const DeflateResult&) override { return true; }
    bool WriteData(const void*, size_t size) override
    {
        totals->out += size;
        return true;
    }
    bool EndEntry(const DeflateResult& result) override
    {
        totals->in += result.size;
        totals->failed += result.status != DeflateStatus::kDone ? 1 : 0;
        return true;
    }
    Totals* totals;
};

// Every file below the directory, in the order the system lists them, as a project would take
// them in.
void CollectFiles(const std::string& directory, std::vector<std::string>* paths)
{
    ListDirectory(
        directory.c_str(),
        [&](const char* name, bool isDirectory) {
            std::string path(directory.size() + strlen(name) + 2, '\0');
            JoinPath(&path[0], path.size(), directory.c_str(), name);
            path.resize(strlen(path.c_str()));
            if (isDirectory)
                CollectFiles(path, paths);
            else
                paths->push_back(path);
        },
        [](const char*) {});
}

void Floor(const std::vector<std::string>& paths, int level, Totals* totals)
{
    static unsigned char input[16384];
    static unsigned char output[65536];
    z_stream stream{};
    deflateInit2(&stream, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    for (const std::string& path : paths) {
        FileHandle file = OpenSourceFile(path.c_str());
        if (file == kInvalidFile) {
            ++totals->failed;
            continue;
        }
        deflateReset(&stream);
        int flush = Z_NO_FLUSH;
        do {
            size_t got = 0;
            if (!ReadChunk(file, input, sizeof input, &got))
                got = 0;
            totals->in += got;
            flush = got == 0 ? Z_FINISH : Z_NO_FLUSH;
            stream.next_in = input;
            stream.avail_in = static_cast<uInt>(got);
            int code;
            do {
                stream.next_out = output;
                stream.avail_out = sizeof output;
                code = deflate(&stream, flush);
                totals->out += sizeof output - stream.avail_out;
            } while (stream.avail_out == 0 || (flush == Z_FINISH && code != Z_STREAM_END));
        } while (flush != Z_FINISH);
        CloseFile(file);
    }
    deflateEnd(&stream);
}

}  // namespace

int main(int argc, char** argv)
{
    bool engine = argc >= 5 && strcmp(argv[2], "engine") == 0;
    if (!engine && !(argc == 4 && strcmp(argv[2], "floor") == 0)) {
        fprintf(stderr, "usage: parallel_deflate_bench <directory> floor|engine <level> [<threads> [<block>]]\n");
        return 64;
    }
    std::vector<std::string> paths;
    CollectFiles(argv[1], &paths);
    int level = atoi(argv[3]);
    ParallelDeflateSettings settings;
    if (engine) {
        settings.threads = atoi(argv[4]) > 0 ? atoi(argv[4]) : DefaultDeflateThreads();
        if (argc > 5)
            settings.blockSize = strtoul(argv[5], nullptr, 10);
    }
    Totals totals;
    auto start = std::chrono::steady_clock::now();
    if (engine) {
        CountingSink sink;
        sink.totals = &totals;
        ParallelDeflate pool(&sink, settings);
        for (const std::string& path : paths)
            pool.Add(std::make_unique<FileSource>(path), level);
        pool.Finish();
    } else {
        Floor(paths, level, &totals);
    }
    std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    printf("%s %d %zu %zu %llu %llu %.3f %.1f %.3f\n", argv[2], engine ? settings.threads : 1,
           engine ? settings.blockSize : size_t(0), paths.size(), totals.in, totals.out,
           seconds.count(), PeakMiB(), CpuSeconds());
    return totals.failed != 0 ? 1 : 0;
}
