#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

#include "tests/support/temp_dir.h"

TempDir::TempDir()
{
    char pattern[] = "/tmp/packwren-test-XXXXXX";
    path_ = mkdtemp(pattern);
}

TempDir::~TempDir()
{
    std::string command = "rm -rf '" + path_ + "'";
    if (system(command.c_str()) != 0)
        fprintf(stderr, "could not remove %s\n", path_.c_str());
}

std::string TempDir::Join(const std::string& name) const
{
    return path_ + "/" + name;
}

std::string TempDir::WriteFile(const std::string& name, const std::string& bytes) const
{
    std::string path = Join(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

std::string TempDir::ListNames() const
{
    std::set<std::string> names;
    if (DIR* dir = opendir(path_.c_str())) {
        while (dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.insert(name);
        }
        closedir(dir);
    }
    std::string joined;
    for (const std::string& name : names)
        joined += (joined.empty() ? "" : " ") + name;
    return joined;
}

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}
