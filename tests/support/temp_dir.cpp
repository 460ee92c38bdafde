#include "tests/support/temp_dir.h"

#include <set>

#include "core/file_io.h"
#include "core/paths.h"

// Reading, writing and listing go through the program's own file layer, the same on both systems.

std::string TempDir::Join(const std::string& name) const
{
    return path_ + kPathSeparator + name;
}

std::string TempDir::WriteFile(const std::string& name, const std::string& bytes) const
{
    std::string path = Join(name);
    FileHandle file = CreateForWrite(path.c_str());
    if (file != kInvalidFile) {
        for (size_t done = 0, moved = 1; done < bytes.size() && moved != 0; done += moved)
            moved = WriteBytes(file, bytes.data() + done, bytes.size() - done);
        CloseFile(file);
    }
    return path;
}

std::string TempDir::ListNames() const
{
    std::set<std::string> names;
    ListDirectory(
        path_.c_str(), [&](const char* name, bool) { names.insert(name); },
        [&](const char* shownName) { names.insert(shownName); });
    std::string joined;
    for (const std::string& name : names)
        joined += (joined.empty() ? "" : " ") + name;
    return joined;
}

std::string ReadWholeFile(const std::string& path)
{
    std::string bytes;
    FileHandle file = OpenSourceFile(path.c_str());
    if (file == kInvalidFile)
        return bytes;
    char chunk[65536];
    for (size_t got = 0; ReadChunk(file, chunk, sizeof chunk, &got) && got > 0;)
        bytes.append(chunk, got);
    CloseFile(file);
    return bytes;
}
