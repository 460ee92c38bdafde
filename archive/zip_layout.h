#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The byte layout of the records the ZIP writer puts out, after PKWARE's APPNOTE: local header
// (4.3.7), central directory record (4.3.12), ZIP64 end of central directory record and locator
// (4.3.14, 4.3.15), end record (4.3.16) and the ZIP64 extended information field (4.5.3).
//
// An entry stays in the classic layout (version needed 20, no field of its own) unless it needs
// ZIP64: then its version needed is 45 in both headers. An AES entry needs 51 (WinZip's AE-x
// description), whether it uses ZIP64 or not. The local header carries the ZIP64 field,
// with both sizes, when the entry was opened for ZIP64 (its sizes may reach 4 GiB); the central
// record carries one when a size or the local header's offset does not fit in 32 bits, holding
// only those values. The end record is preceded by the ZIP64 end record and its locator when the
// entry count, the directory's size or its offset does not fit.

void Put16(unsigned char* at, uint32_t value);
void Put32(unsigned char* at, uint32_t value);
void Put64(unsigned char* at, uint64_t value);

constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kCentralHeaderSize = 46;
constexpr size_t kEndRecordSize = 22;
constexpr size_t kLocalZip64FieldSize = 20;  // tag, length, both sizes
// Room a central record may need for its ZIP64 field: both sizes and the offset.
constexpr size_t kCentralZip64FieldRoom = 28;
// The ZIP64 end record and its locator before the end record.
constexpr size_t kEndRecordsRoom = 56 + 20 + kEndRecordSize;

// The largest size an entry without the local ZIP64 field may reach: a fixed field holding
// 0xFFFFFFFF announces the ZIP64 field to readers.
constexpr uint64_t kMaxClassicSize = 0xFFFFFFFEu;

// What the headers of one entry say.
struct ZipEntryHeader {
    bool zip64 = false;  // opened for ZIP64: the local header carries both sizes in the field
    bool aes = false;    // AES-encrypted: method 99, the real one in the 0x9901 field
    unsigned flags = 0;
    unsigned method = 0;
    uint32_t dosDate = 0;
    uint32_t crc = 0;
    uint32_t internalAttributes = 0;
    uint32_t externalAttributes = 0;
    uint64_t headerOffset = 0;
    uint64_t compressed = 0;  // the encryption header included
    uint64_t uncompressed = 0;
};

// The local header (its fixed part, the name, the ZIP64 field when opened for it, then `extra`)
// with CRC-32 and sizes still zero, replacing `out`.
void MakeLocalHeader(const ZipEntryHeader& header, const char* name, size_t nameSize,
                     const void* extra, size_t extraSize, std::vector<unsigned char>* out);

// Where CRC-32 and sizes go in that local header once the data is done: one or two spans, each an
// offset from the header's start and the bytes to put there. Returns the number of spans.
struct LocalHeaderPatch {
    size_t offset;
    size_t size;
    unsigned char bytes[16];
};
int MakeLocalHeaderPatches(const ZipEntryHeader& header, size_t nameSize,
                           LocalHeaderPatch patches[2]);

// Appends the entry's central directory record.
void AppendCentralRecord(const ZipEntryHeader& header, const char* name, size_t nameSize,
                         const void* extra, size_t extraSize, const char* comment,
                         size_t commentSize, std::vector<unsigned char>* central);

// Info-ZIP's Unicode Path field (0x7075): version 1, the CRC-32 of the name bytes the header
// holds, and the name in UTF-8. Appended to `fields`.
void AppendUnicodePathField(const std::string& headerName, const std::string& utf8Name,
                            std::string* fields);
// WinZip's AES field (0x9901) for AE-2 with a 256-bit key and the entry's real method.
void AppendAesField(unsigned method, std::string* fields);
constexpr unsigned kAesMethod = 99;

// The records after the central directory, up to the comment's length field; returns their size.
size_t MakeEndRecords(uint64_t entries, uint64_t centralSize, uint64_t centralOffset,
                      size_t commentSize, unsigned char out[kEndRecordsRoom]);
