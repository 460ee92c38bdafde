#pragma once
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

// A failed check ends the run with a message; libFuzzer keeps the input that caused it.
inline void Check(bool ok, const char* what)
{
    if (!ok) {
        fprintf(stderr, "check failed: %s\n", what);
        abort();
    }
}

// Each run works inside one fresh directory of the process (on tmpfs where there is one; every
// save is flushed to disk), removed at exit. libFuzzer resolves its corpus and findings against
// the directory it was started in, so that stays the current one between runs.
class WorkDirectory {
public:
    WorkDirectory() : previous_(getcwd(nullptr, 0))
    {
        static char path[] = "/dev/shm/packwren-fuzz-XXXXXX";
        static const bool made = [] {
            if (mkdtemp(path) == nullptr)
                Check(mkdtemp(strcpy(path, "/tmp/packwren-fuzz-XXXXXX")) != nullptr, "no dir");
            return atexit([] { system((std::string("rm -rf '") + path + "'").c_str()); }) == 0;
        }();
        Check(made && previous_ != nullptr && chdir(path) == 0, "cannot enter the work directory");
    }
    ~WorkDirectory()
    {
        Check(chdir(previous_) == 0, "cannot leave the work directory");
        free(previous_);
    }

private:
    char* previous_;
};

inline void WriteWholeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    Check((file << bytes).flush().good(), "cannot write a file in the work directory");
}
