// The floor of the archive benchmark: reads every file of a list and raw-deflates it with zlib,
// as the archive build does, and nothing else (no archive is written). Built with the same
// toolchain and zlib as packwren.exe and run under Wine beside it.
//   deflate_floor.exe <list> <level> [<sizes>]
// <list>: one Windows path per line, code page 932. <sizes>: receives "<deflated size> <path>"
// per file.
#include <windows.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: deflate_floor <list> <level> [<sizes>]\n");
        return 64;
    }
    std::vector<std::string> paths;
    if (FILE* list = fopen(argv[1], "rb")) {
        char line[1024];
        while (fgets(line, sizeof line, list) != nullptr) {
            line[strcspn(line, "\r\n")] = '\0';
            if (line[0] != '\0')
                paths.push_back(line);
        }
        fclose(list);
    }
    FILE* sizes = argc > 3 ? fopen(argv[3], "wb") : nullptr;
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);

    static unsigned char input[16384];
    static unsigned char output[65536];
    z_stream stream{};
    // One compressor for the whole run, reset per file: the cheapest plain way.
    if (deflateInit2(&stream, atoi(argv[2]), Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return 1;
    unsigned long long totalIn = 0, totalOut = 0;
    int failed = 0;
    for (const std::string& path : paths) {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            ++failed;
            continue;
        }
        deflateReset(&stream);
        unsigned long long deflated = 0;
        DWORD got = 0;
        int flush = Z_NO_FLUSH;
        do {
            if (!ReadFile(file, input, sizeof input, &got, nullptr))
                got = 0;
            totalIn += got;
            flush = got == 0 ? Z_FINISH : Z_NO_FLUSH;
            stream.next_in = input;
            stream.avail_in = got;
            int err;
            do {
                stream.next_out = output;
                stream.avail_out = sizeof output;
                err = deflate(&stream, flush);
                deflated += sizeof output - stream.avail_out;
            } while (stream.avail_out == 0 || (flush == Z_FINISH && err != Z_STREAM_END));
        } while (flush != Z_FINISH);
        CloseHandle(file);
        totalOut += deflated;
        if (sizes != nullptr)
            fprintf(sizes, "%llu %s\n", deflated, path.c_str());
    }
    deflateEnd(&stream);
    QueryPerformanceCounter(&end);
    if (sizes != nullptr)
        fclose(sizes);
    printf("%zu files, %llu bytes in, %llu deflated, %d failed, %.3f s\n", paths.size(), totalIn,
           totalOut, failed, double(end.QuadPart - start.QuadPart) / frequency.QuadPart);
    return failed != 0 ? 1 : 0;
}
