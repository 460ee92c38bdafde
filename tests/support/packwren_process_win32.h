#pragma once
#include <string>

#include "tests/support/temp_dir.h"

// Runs packwren.exe as a process of its own, from a private copy in a temporary directory (it
// reads packwren.ini beside itself), with standard output captured.
struct ProcessResult {
    bool started = false;
    bool finished = false;
    unsigned long exitCode = 0;
    std::string output;
};

class PackwrenSandbox {
public:
    PackwrenSandbox();
    const TempDir& Dir() const { return dir_; }
    std::string IniPath() const { return dir_.Join("packwren.ini"); }
    // `arguments` is the command-line tail, quoted as the caller wants it.
    ProcessResult Run(const std::string& arguments, unsigned long timeoutMs = 60000) const;

private:
    TempDir dir_;
    std::string exe_;
};

// The built packwren.exe, as a Windows path.
std::string BuiltPackwrenPath();
