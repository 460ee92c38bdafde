#pragma once
#include <string>

// A fresh directory, removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }
    std::string Join(const std::string& name) const;
    // Each returns the path made below the directory.
    std::string WriteFile(const std::string& name, const std::string& bytes) const;
    std::string MakeDir(const std::string& name) const;
    std::string ListNames() const;  // the names directly inside, sorted

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
