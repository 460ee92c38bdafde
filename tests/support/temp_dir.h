#pragma once
#include <string>

// A fresh directory for one test, removed with everything in it when the object goes.
// Paths use the platform's separator; Join adds one.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }
    std::string Join(const std::string& name) const;
    // Writes bytes to a file below the directory; returns its path.
    std::string WriteFile(const std::string& name, const std::string& bytes) const;
    // Lists the names directly inside the directory.
    std::string ListNames() const;

private:
    std::string path_;
};

// Reads a whole file; empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);
