#include <sys/stat.h>
#include <sys/time.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "tests/support/temp_dir.h"

TempDir::TempDir()
{
    // Below $TMPDIR, as other programs make theirs, or below /tmp when it cannot be made there.
    const char* base = getenv("TMPDIR");
    for (std::string parent : {std::string(base != nullptr ? base : "/tmp"), std::string("/tmp")}) {
        path_ = parent + "/packwren-test-XXXXXX";
        if (mkdtemp(&path_[0]) != nullptr)
            return;
    }
}

TempDir::~TempDir()
{
    if (system(("rm -rf '" + path_ + "'").c_str()) != 0)
        fprintf(stderr, "could not remove %s\n", path_.c_str());
}

std::string TempDir::MakeDir(const std::string& name) const
{
    mkdir(Join(name).c_str(), 0755);
    return Join(name);
}

bool MakeReadOnly(const std::string& path)
{
    return chmod(path.c_str(), 0444) == 0;
}

bool SetLocalWriteTime(const std::string& path, int year, int month, int day, int hour, int minute,
                       int second)
{
    struct tm local = {};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    struct timeval times[2] = {};
    times[0].tv_sec = times[1].tv_sec = mktime(&local);
    return utimes(path.c_str(), times) == 0;
}
