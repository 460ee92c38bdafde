#pragma once
#include <atomic>
#include <string>
#include <vector>

class BuildReporter;

// What the builder wrote into one entry, in the order it wrote them.
struct WrittenEntry {
    std::string name;      // code page 932, as the builder named it
    std::string password;  // empty: not encrypted
};

// Reads a finished archive back as an extractor would, independently of how it was written: the
// end records (ZIP64 ones included), every central record against its local header, and every
// entry's data decrypted with its own password, inflated and checked against its size, CRC-32
// and, for AES entries, the authentication code. Logs one line per entry that fails (and one for
// an archive whose structure does not hold) and a summary line. True when everything holds.
// Stops, failing, once `abort` is set.
bool VerifyArchive(const char* path, const std::vector<WrittenEntry>& written,
                   BuildReporter* reporter, const std::atomic<int>& abort);
