#pragma once
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "tests/support/temp_dir.h"

// A failed check ends the run with a message; libFuzzer keeps the input that caused it.
inline void Check(bool ok, const char* what)
{
    if (!ok) {
        fprintf(stderr, "check failed: %s\n", what);
        abort();
    }
}

// Runs work in one directory of the process, on tmpfs where there is one (saves are flushed); the
// start directory, which libFuzzer resolves its corpus and findings against, is current between.
class WorkDirectory {
public:
    WorkDirectory() : previous_(getcwd(nullptr, 0))
    {
        Check(previous_ != nullptr && chdir(Dir().Path().c_str()) == 0, "cannot enter the folder");
    }
    ~WorkDirectory()
    {
        Check(chdir(previous_) == 0, "cannot leave the work directory");
        free(previous_);
    }
    static const TempDir& Dir()
    {
        static const bool tmpfs = setenv("TMPDIR", "/dev/shm", 0) == 0;  // else TempDir takes /tmp
        static const TempDir dir;
        Check(tmpfs, "cannot set TMPDIR");
        return dir;
    }

private:
    char* previous_;
};
