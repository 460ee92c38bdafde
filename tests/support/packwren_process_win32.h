#pragma once
// Runs programs as processes of their own with standard output captured: packwren.exe from a
// private copy in a temporary directory (it reads packwren.ini beside itself).
#include <string>

#include "tests/support/temp_dir.h"

struct ProcessResult {
    bool finished = false;
    unsigned long exitCode = 0;
    std::string output;
};

// `commandLine` quoted as the caller wants it; the program is killed after the time.
ProcessResult RunProcess(const std::string& commandLine, const std::string& directory,
                         unsigned long timeoutMs = 60000);
// The built packwren.exe as a Windows path.
std::string BuiltPackwrenPath();

class PackwrenSandbox {
public:
    PackwrenSandbox();
    const TempDir& Dir() const { return dir_; }
    std::string IniPath() const { return dir_.Join("packwren.ini"); }
    ProcessResult Run(const std::string& arguments) const
    {
        return RunProcess("\"" + dir_.Join("packwren.exe") + "\" " + arguments, dir_.Path());
    }

private:
    TempDir dir_;
};
