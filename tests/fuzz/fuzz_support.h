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

// Bytes as C escapes, for messages about texts in code page 932 or with control bytes.
inline std::string Escaped(const std::string& bytes)
{
    std::string text;
    for (unsigned char c : bytes) {
        char hex[8];
        snprintf(hex, sizeof hex, c >= 0x20 && c < 0x7F && c != '\\' ? "%c" : "\\x%02X", c);
        text += hex;
    }
    return text;
}

inline void CheckSame(const std::string& got, const std::string& expected, const char* what)
{
    if (got != expected) {
        fprintf(stderr, "check failed: %s\n  got      \"%s\"\n  expected \"%s\"\n", what,
                Escaped(got).c_str(), Escaped(expected).c_str());
        abort();
    }
}

inline void CheckSame(const char* got, const char* expected, const char* what)
{
    Check(got != nullptr, what);
    CheckSame(std::string(got), std::string(expected), what);
}

// A fresh directory for the whole run, removed at exit; each run of a target works inside it
// (through WorkDirectory) and touches nothing outside it. Every save is flushed to disk, so it
// lies on tmpfs where there is one. libFuzzer reads its corpus and writes its findings relative
// to the directory it was started in, so that stays the current one between runs.
class WorkDirectory {
public:
    WorkDirectory()
    {
        static const std::string path = Make();
        previous_ = getcwd(nullptr, 0);
        Check(previous_ != nullptr && chdir(path.c_str()) == 0, "cannot enter the work directory");
    }
    ~WorkDirectory()
    {
        Check(chdir(previous_) == 0, "cannot leave the work directory");
        free(previous_);
    }
    WorkDirectory(const WorkDirectory&) = delete;
    WorkDirectory& operator=(const WorkDirectory&) = delete;

private:
    static std::string Make()
    {
        static char path[] = "/dev/shm/packwren-fuzz-XXXXXX";
        if (mkdtemp(path) == nullptr) {
            memcpy(path, "/tmp", 4);
            Check(mkdtemp(path) != nullptr, "no work directory");
        }
        atexit([] {
            if (system((std::string("rm -rf '") + path + "'").c_str()) != 0)
                fprintf(stderr, "could not remove %s\n", path);
        });
        return path;
    }

    char* previous_;
};

inline void WriteWholeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << bytes;
    Check(file.flush().good(), "cannot write a file in the work directory");
}
