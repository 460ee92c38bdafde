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
    // Creates a directory below the directory; returns its path.
    std::string MakeDir(const std::string& name) const;
    // Lists the names directly inside the directory.
    std::string ListNames() const;

private:
    std::string path_;
};

// Reads a whole file; empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);

// Makes a file read-only for everybody (Windows: the read-only attribute).
bool MakeReadOnly(const std::string& path);
// Sets a file's last write time to the given local time.
bool SetLocalWriteTime(const std::string& path, int year, int month, int day, int hour, int minute,
                       int second);
// Creates a file of `size` zero bytes that takes no room on disk (Windows only).
bool MakeSparseFile(const std::string& path, unsigned long long size);
