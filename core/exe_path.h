#pragma once

// Sets ExeDirectory from the running executable; false when its path does not fit.
bool ComputeExeDirectory();

// The path of a file next to the executable, or none when it does not fit in 259 bytes.
// Also sets ExeDirectory. The result stays valid until the next call.
const char* BuildExePath(const char* fileName);

// Joins a directory (ending in its separator) and a file name; none when the result is empty or
// longer than 259 bytes. The buffer must hold 260 bytes.
const char* JoinExePath(const char* directory, const char* fileName, char* buffer);
