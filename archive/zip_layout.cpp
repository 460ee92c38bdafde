#include "archive/zip_layout.h"

#include <zlib.h>

#include <cstring>

namespace {

constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr uint32_t kCentralSignature = 0x02014b50;
constexpr uint32_t kZip64EndSignature = 0x06064b50;
constexpr uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr uint32_t kEndSignature = 0x06054b50;
constexpr unsigned kZip64FieldTag = 0x0001;
constexpr size_t kZip64EndRecordSize = 56;
constexpr size_t kZip64LocatorSize = 20;
constexpr unsigned kVersionClassic = 20;
constexpr unsigned kVersionZip64 = 45;
constexpr unsigned kVersionAes = 51;
constexpr unsigned kUnicodePathTag = 0x7075;
constexpr unsigned kAesTag = 0x9901;
constexpr unsigned kVersionMadeBy = 0;  // MS-DOS: external attributes are DOS attribute bits
// Windows NTFS, whose attributes are the same bits. Info-ZIP's unzip turns the names of MS-DOS
// hosts from an OEM code page even where bit 11 says they are UTF-8, but takes NTFS names as
// they are: UTF-8 names say NTFS.
constexpr unsigned kVersionMadeByNtfs = 11 << 8;

// A value that does not fit below the marker gives way to it; 0xFFFFFFFF itself too, as readers
// would take it for one. Likewise 0xFFFF for the entry count.
constexpr uint64_t kMarker32 = 0xFFFFFFFFu;
constexpr uint64_t kMarker16 = 0xFFFF;

uint32_t Fixed32(uint64_t value)
{
    return static_cast<uint32_t>(value < kMarker32 ? value : kMarker32);
}

bool NeedsZip64(const ZipEntryHeader& header)
{
    return header.zip64 || header.headerOffset >= kMarker32;
}

unsigned VersionNeeded(const ZipEntryHeader& header)
{
    if (header.aes)
        return kVersionAes;
    return NeedsZip64(header) ? kVersionZip64 : kVersionClassic;
}

// The fields both headers share from offset 4 of the local header (6 of the central record) up
// to the name's length.
void PutCommonFields(const ZipEntryHeader& header, unsigned char* at)
{
    Put16(at, VersionNeeded(header));
    Put16(at + 2, header.flags);
    Put16(at + 4, header.method);
    Put32(at + 6, header.dosDate);
}

}  // namespace

void Put16(unsigned char* at, uint32_t value)
{
    at[0] = static_cast<unsigned char>(value);
    at[1] = static_cast<unsigned char>(value >> 8);
}

void Put32(unsigned char* at, uint32_t value)
{
    Put16(at, value & 0xFFFF);
    Put16(at + 2, value >> 16);
}

void Put64(unsigned char* at, uint64_t value)
{
    Put32(at, static_cast<uint32_t>(value));
    Put32(at + 4, static_cast<uint32_t>(value >> 32));
}

void MakeLocalHeader(const ZipEntryHeader& header, const char* name, size_t nameSize,
                     const void* extra, size_t extraSize, std::vector<unsigned char>* out)
{
    size_t fieldSize = header.zip64 ? kLocalZip64FieldSize : 0;
    out->assign(kLocalHeaderSize + nameSize + fieldSize + extraSize, 0);
    unsigned char* at = out->data();
    Put32(at, kLocalSignature);
    PutCommonFields(header, at + 4);
    Put16(at + 26, static_cast<uint32_t>(nameSize));
    Put16(at + 28, static_cast<uint32_t>(fieldSize + extraSize));
    if (nameSize != 0)
        memcpy(at + kLocalHeaderSize, name, nameSize);
    at += kLocalHeaderSize + nameSize;
    if (header.zip64) {
        // The markers stand in both size fields; the sizes themselves follow in the field.
        Put32(out->data() + 18, static_cast<uint32_t>(kMarker32));
        Put32(out->data() + 22, static_cast<uint32_t>(kMarker32));
        Put16(at, kZip64FieldTag);
        Put16(at + 2, 16);
        at += kLocalZip64FieldSize;
    }
    if (extraSize != 0)
        memcpy(at, extra, extraSize);
}

int MakeLocalHeaderPatches(const ZipEntryHeader& header, size_t nameSize,
                           LocalHeaderPatch patches[2])
{
    patches[0].offset = 14;
    Put32(patches[0].bytes, header.crc);
    if (!header.zip64) {
        patches[0].size = 12;
        Put32(patches[0].bytes + 4, static_cast<uint32_t>(header.compressed));
        Put32(patches[0].bytes + 8, static_cast<uint32_t>(header.uncompressed));
        return 1;
    }
    patches[0].size = 4;
    // The original size comes first in the field, then the compressed size.
    patches[1].offset = kLocalHeaderSize + nameSize + 4;
    patches[1].size = 16;
    Put64(patches[1].bytes, header.uncompressed);
    Put64(patches[1].bytes + 8, header.compressed);
    return 2;
}

void AppendCentralRecord(const ZipEntryHeader& header, const char* name, size_t nameSize,
                         const void* extra, size_t extraSize, const char* comment,
                         size_t commentSize, std::vector<unsigned char>* central)
{
    // The field holds, in this order, only the values whose fixed field holds the marker.
    unsigned char field[kCentralZip64FieldRoom];
    size_t fieldSize = 0;
    uint64_t values[3] = {header.uncompressed, header.compressed, header.headerOffset};
    for (uint64_t value : values) {
        if (value >= kMarker32) {
            Put64(field + 4 + fieldSize, value);
            fieldSize += 8;
        }
    }
    if (fieldSize != 0) {
        Put16(field, kZip64FieldTag);
        Put16(field + 2, static_cast<uint32_t>(fieldSize));
        fieldSize += 4;
    }

    size_t start = central->size();
    central->resize(start + kCentralHeaderSize + nameSize + fieldSize + extraSize + commentSize);
    unsigned char* at = central->data() + start;
    Put32(at, kCentralSignature);
    Put16(at + 4, (header.flags & 0x800) != 0 ? kVersionMadeByNtfs : kVersionMadeBy);
    PutCommonFields(header, at + 6);
    Put32(at + 16, header.crc);
    Put32(at + 20, Fixed32(header.compressed));
    Put32(at + 24, Fixed32(header.uncompressed));
    Put16(at + 28, static_cast<uint32_t>(nameSize));
    Put16(at + 30, static_cast<uint32_t>(fieldSize + extraSize));
    Put16(at + 32, static_cast<uint32_t>(commentSize));
    Put16(at + 34, 0);  // disk number
    Put16(at + 36, header.internalAttributes);
    Put32(at + 38, header.externalAttributes);
    Put32(at + 42, Fixed32(header.headerOffset));
    at += kCentralHeaderSize;
    const void* parts[] = {name, field, extra, comment};
    size_t sizes[] = {nameSize, fieldSize, extraSize, commentSize};
    for (int i = 0; i < 4; ++i) {
        if (sizes[i] != 0)
            memcpy(at, parts[i], sizes[i]);
        at += sizes[i];
    }
}

namespace {

// A field's tag and length, then `data`.
void AppendField(unsigned tag, const std::string& data, std::string* fields)
{
    unsigned char head[4];
    Put16(head, tag);
    Put16(head + 2, static_cast<uint32_t>(data.size()));
    fields->append(reinterpret_cast<const char*>(head), sizeof head);
    fields->append(data);
}

}  // namespace

void AppendUnicodePathField(const std::string& headerName, const std::string& utf8Name,
                            std::string* fields)
{
    unsigned char head[5];
    head[0] = 1;
    Put32(head + 1, static_cast<uint32_t>(
                        crc32(0, reinterpret_cast<const Bytef*>(headerName.data()),
                              static_cast<uInt>(headerName.size()))));
    AppendField(kUnicodePathTag, std::string(reinterpret_cast<const char*>(head), sizeof head) +
                                     utf8Name, fields);
}

void AppendAesField(unsigned method, std::string* fields)
{
    // AE-2: the CRC-32 field stays 0. A CRC of the plain data would let anyone who guesses a
    // short file's content check the guess without the password, and the authentication code
    // already covers every byte. 7-Zip writes AE-2 as well; 7-Zip and libarchive read it.
    unsigned char data[7] = {0, 0, 'A', 'E', 3, 0, 0};  // vendor version, vendor, AES-256
    Put16(data, 2);
    Put16(data + 5, method);
    AppendField(kAesTag, std::string(reinterpret_cast<const char*>(data), sizeof data), fields);
}

size_t MakeEndRecords(uint64_t entries, uint64_t centralSize, uint64_t centralOffset,
                      size_t commentSize, unsigned char out[kEndRecordsRoom])
{
    memset(out, 0, kEndRecordsRoom);
    unsigned char* at = out;
    if (entries >= kMarker16 || centralSize >= kMarker32 || centralOffset >= kMarker32) {
        // Single disk: the disk numbers stay 0 and the locator counts one disk.
        uint64_t recordOffset = centralOffset + centralSize;
        Put32(at, kZip64EndSignature);
        Put64(at + 4, kZip64EndRecordSize - 12);  // what follows the size field
        Put16(at + 12, kVersionMadeBy);
        Put16(at + 14, kVersionZip64);
        Put64(at + 24, entries);
        Put64(at + 32, entries);
        Put64(at + 40, centralSize);
        Put64(at + 48, centralOffset);
        at += kZip64EndRecordSize;
        Put32(at, kZip64LocatorSignature);
        Put64(at + 8, recordOffset);
        Put32(at + 16, 1);
        at += kZip64LocatorSize;
    }
    Put32(at, kEndSignature);
    uint32_t count = static_cast<uint32_t>(entries < kMarker16 ? entries : kMarker16);
    Put16(at + 8, count);
    Put16(at + 10, count);
    Put32(at + 12, Fixed32(centralSize));
    Put32(at + 16, Fixed32(centralOffset));
    Put16(at + 20, static_cast<uint32_t>(commentSize));
    return static_cast<size_t>(at + kEndRecordSize - out);
}
