#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

class BuildReporter;
class ZipAesCipher;
class ZipCryptKeys;
struct z_stream_s;

// What the builder wrote into one entry, in the order it wrote them.
struct WrittenEntry {
    std::string name;      // code page 932, as the builder named it
    std::string password;  // empty: not encrypted
};

// Reads a finished archive back as an extractor would, with ZipReader: every entry's data
// decrypted with its own password, inflated and checked. Logs one line per entry that fails (and
// one for an archive whose structure does not hold) and a summary line. True when everything
// holds. Stops, failing, once `abort` is set.
bool VerifyArchive(const char* path, const std::vector<WrittenEntry>& written,
                   BuildReporter* reporter, const std::atomic<int>& abort);

// The bytes of an archive: a file, or memory in the tests, whose first entry starts at Begin().
class ZipSource {
public:
    virtual ~ZipSource() = default;
    virtual uint64_t Begin() const { return 0; }
    virtual uint64_t End() const = 0;
    // `size` bytes from `offset`; the reader asks only for bytes between Begin() and End().
    virtual bool Read(uint64_t offset, void* buffer, size_t size) const = 0;
};

// One entry as its central record and local header describe it.
struct ZipEntryInfo {
    std::string name;
    std::string unicodeName;  // the UTF-8 name of the Unicode Path field (0x7075), if any
    uint32_t version = 0, flags = 0, method = 0, dosDate = 0, crc = 0, external = 0;
    uint64_t compressed = 0, size = 0, offset = 0, dataOffset = 0;
    bool localZip64 = false;  // the local header carries both sizes in its ZIP64 field
    // The AES field (0x9901), if any: AE-1 or AE-2, and the real method behind method 99.
    unsigned aesVersion = 0, aesMethod = 0;
    std::string others;  // the central record's extra fields beside the ZIP64 one
};

// Reads an archive this program wrote and holds it to the layout the writer keeps: entries,
// central directory and end records follow each other without gaps; version needed 45 exactly
// where a ZIP64 field is or a local header lies past 4 GiB (51 for AES); fixed fields hold the
// marker exactly where a value does not fit; the ZIP64 end records are there exactly when a
// value of the end record does not fit; no extra fields but ZIP64, Unicode Path and AES. The
// verify pass and the tests read archives with it. A call that fails names what in `reason`
// (the first failure counts until it is cleared).
class ZipReader {
public:
    ZipReader(const ZipSource* source, const std::atomic<int>& abort);
    // The end records and the central directory.
    bool ReadEnd();
    // The next central record; once one fails, so does every record after it.
    bool NextCentral(ZipEntryInfo* e);
    // The local header must say what the central record says and follow the entry before.
    bool MatchLocal(ZipEntryInfo* e);
    // Decrypts with `password` (empty: none), inflates and checks size, CRC-32 and the AES code;
    // `payload` gets the stored bytes after decryption and `data` the data, when given.
    bool CheckData(const ZipEntryInfo& e, const std::string& password,
                   std::string* payload = nullptr, std::string* data = nullptr);
    bool Fail(const char* why);

    uint64_t count = 0, directoryOffset = 0;
    bool zip64End = false;  // the ZIP64 end record and its locator precede the end record
    const char* reason = nullptr;

private:
    bool ReadAt(uint64_t offset, void* buffer, size_t size);
    bool Stream(uint64_t at, uint64_t remaining, z_stream_s* stream, ZipCryptKeys* keys,
                ZipAesCipher* aes, std::string* payload, std::string* data);

    const ZipSource* source_;
    const std::atomic<int>& abort_;
    std::string directory_;
    size_t at_ = 0;               // the next central record's place in directory_
    uint64_t expectedOffset_ = 0;  // where the next local header must start
    uint64_t read_ = 0;            // central records read
    bool broken_ = false;
    std::vector<unsigned char> in_, out_;
    uint32_t crc_ = 0;
    uint64_t produced_ = 0;
};
